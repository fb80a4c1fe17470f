"""A picture of a page (HTML or MHTML) as Debian's headless Chromium draws it, with a
throw-away profile and nothing fetched from the network.

    python3 scripts/chromium_shot.py PAGE PNG [WIDTHxHEIGHT]

An MHTML archive is drawn from a copy in an empty folder, so every picture it shows came
out of the archive itself.
"""

import pathlib
import shutil
import subprocess
import sys
import tempfile


def shoot(page, png, size="1000x800"):
    page = pathlib.Path(page).resolve()
    png = pathlib.Path(png).resolve()
    with tempfile.TemporaryDirectory() as scratch:
        if page.suffix.lower() in (".mhtml", ".mht"):
            page = pathlib.Path(shutil.copy(page, pathlib.Path(scratch) / page.name))
        width, height = size.split("x")
        subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update", "--disable-sync",
                        "--hide-scrollbars", f"--user-data-dir={scratch}/profile", f"--screenshot={png}",
                        f"--window-size={width},{height}", page.as_uri()],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    if not png.exists():
        raise SystemExit(f"Chromium drew no picture of {page}")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    shoot(*sys.argv[1:])
