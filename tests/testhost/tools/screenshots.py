#!/usr/bin/env python3
"""Renders docs/screenshots/ from the test host: the sample grid's Picture and the chart's
bitmap and metafile copies (the metafile as played into a bitmap).

Run after building build/win64, with an X display for Wine:
    xvfb-run -a python3 tests/testhost/tools/screenshots.py

The pictures come from the tests that check them (testhost_tests.exe keeps a copy of what
it checked in %TESTHOST_KEEP%); this script only converts them to PNG.
"""
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[3]
sys.path.insert(0, str(ROOT / "scripts"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import bmp_to_png  # noqa: E402
import winehost  # noqa: E402

SHOTS = {  # kept file -> (PNG name, enlargement)
    "sample-grid.bmp": ("sample-grid-picture.png", 2),
    "chart.bmp": ("chart-bitmap.png", 1),
    "chart-emf.bmp": ("chart-metafile.png", 1),
}


def main():
    exe = winehost.BUILD / "win64" / "testhost_tests.exe"
    if not exe.exists():
        sys.exit(f"{exe} is missing: build the win64 preset first")
    target = ROOT / "docs" / "screenshots"
    target.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as keep:
        env = winehost.env()
        env["TESTHOST_KEEP"] = winehost.win_path(keep)
        winehost.ensure_prefix()
        run = subprocess.run(["wine", winehost.win_path(exe), "--gtest_filter=GridPicture.SampleGrid*:Chart.*Copy*"],
                             env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        if run.returncode != 0:
            sys.exit(run.stdout)
        for kept, (name, scale) in SHOTS.items():
            width, height, rows = bmp_to_png.enlarge(*bmp_to_png.read_bmp(str(pathlib.Path(keep) / kept)), scale)
            bmp_to_png.write_png(str(target / name), width, height, rows)
            print(f"wrote {target / name} ({width}x{height})")


if __name__ == "__main__":
    main()
