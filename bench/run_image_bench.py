"""Image conversion benchmark: the component's load-and-save time per format on one
2000 x 1500 picture, beside ImageMagick's `convert` on the same file in the same run.

    xvfb-run -a python3 bench/run_image_bench.py [runs]

Builds bench/image_convert_bench.cpp (win64), runs it under Wine in the private prefix,
then times /usr/bin/convert on the source.png the benchmark wrote. Prints a Markdown
table for docs/benchmarks.md and refreshes docs/screenshots/gif-table.png and
gif-photo.png from the sample GIFs.
"""

import pathlib
import re
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402

CONVERT = "/usr/bin/convert"
COMPARE = "/usr/bin/compare"
IDENTIFY = "/usr/bin/identify"
OUT = winehost.BUILD / "bench-image"
SCREENSHOTS = winehost.ROOT / "docs" / "screenshots"

# Our format name, ImageMagick's arguments for the same output.
FORMATS = [
    ("load only", ["null:"]),
    ("BMP", ["BMP3:" + str(OUT / "im.bmp")]),
    ("GIF", [str(OUT / "im.gif")]),
    ("TGA", [str(OUT / "im.tga")]),
    ("TIFF", ["-compress", "None", str(OUT / "im.tif")]),
    ("PNG", [str(OUT / "im.png")]),
    ("JPEG 90", ["-quality", "90", str(OUT / "im.jpg")]),
]


def best_of(runs, args):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = (time.perf_counter() - start) * 1000
        best = elapsed if best is None else min(best, elapsed)
    return best


def difference(metric, a, b, blur=None):
    """ImageMagick's `compare` figure for two pictures, optionally both blurred first (what
    the eye sees of dithering at a normal viewing distance)."""
    if blur:
        blurred = []
        for i, picture in enumerate((a, b)):
            target = OUT / f"blurred-{i}.png"
            subprocess.run([CONVERT, str(picture), "-blur", f"0x{blur}", str(target)], check=True)
            blurred.append(target)
        a, b = blurred
    p = subprocess.run([COMPARE, "-metric", metric, str(a), str(b), "null:"], stderr=subprocess.PIPE, text=True)
    return p.stderr.split()[0]


def palette_quality():
    """The sample GIFs against ImageMagick's GIFs of the same pictures."""
    for name in ("table", "photo"):
        subprocess.run([CONVERT, str(OUT / f"{name}.png"), str(OUT / f"im-{name}.gif")], check=True)
    colours = subprocess.run([IDENTIFY, "-format", "%k", str(OUT / "table.png")], stdout=subprocess.PIPE,
                             text=True).stdout
    print(f"Table sample ({colours} colours): pixels changed, component "
          f"{difference('AE', OUT / 'table.png', OUT / 'gif-table.gif')}, ImageMagick "
          f"{difference('AE', OUT / 'table.png', OUT / 'im-table.gif')}.")
    print("Photograph sample, mean absolute error (0..65535 scale) per pixel / after a 1.5 px blur: component "
          f"{difference('MAE', OUT / 'photo.png', OUT / 'gif-photo.gif')} / "
          f"{difference('MAE', OUT / 'photo.png', OUT / 'gif-photo.gif', 1.5)}, ImageMagick "
          f"{difference('MAE', OUT / 'photo.png', OUT / 'im-photo.gif')} / "
          f"{difference('MAE', OUT / 'photo.png', OUT / 'im-photo.gif', 1.5)}.")


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "image_convert_bench", "-j1"],
                   check=True, stdout=subprocess.DEVNULL)
    OUT.mkdir(parents=True, exist_ok=True)
    winehost.ensure_prefix()
    exe = winehost.BUILD / "win64" / "image_convert_bench.exe"
    code, output = winehost.run([winehost.win_path(exe), winehost.win_path(OUT), str(runs)], timeout=900)
    if code != 0:
        sys.exit("benchmark failed:\n" + output)
    ours = {m.group(1).strip(): (float(m.group(2)), int(m.group(3)))
            for m in re.finditer(r"^(\S.{0,9})\s+(\d+) ms\s+(\d+) bytes", output, re.M)}

    startup = best_of(runs, [CONVERT, "-size", "1x1", "xc:white", "null:"])
    source = str(OUT / "source.png")
    print(f"Source: {source}, 2000 x 1500, {runs} runs each, best run shown. "
          f"ImageMagick's process start alone: {startup:.0f} ms (included in its figures).\n")
    print("| Output | Component, ms | File, bytes | ImageMagick, ms | File, bytes |")
    print("|---|---:|---:|---:|---:|")
    for name, args in FORMATS:
        theirs = best_of(runs, [CONVERT, source, *args])
        target = pathlib.Path(args[-1].split(":", 1)[-1]) if args[-1] != "null:" else None
        size = target.stat().st_size if target else 0
        ms, our_size = ours[name]
        print(f"| {name} | {ms:.0f} | {our_size or '-'} | {theirs:.0f} | {size or '-'} |")

    print()
    palette_quality()
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    for name in ("gif-table", "gif-photo"):
        subprocess.run([CONVERT, str(OUT / f"{name}.gif"), str(SCREENSHOTS / f"{name}.png")], check=True)


if __name__ == "__main__":
    main()
