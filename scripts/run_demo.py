"""Registers the 64-bit component in the private prefix and runs the demo host,
which exports its own grid with every table method into out/demo/."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import winehost  # noqa: E402


def main():
    out = winehost.ROOT / "out" / "demo"
    out.mkdir(parents=True, exist_ok=True)
    winehost.ensure_prefix()
    winehost.register_all("win64")
    demo = winehost.ROOT / "examples" / "demo.vbs"
    code, text = winehost.run([winehost.system_tool("cscript.exe", "win64"), "//nologo",
                               winehost.win_path(demo), winehost.win_path(out),
                               winehost.win_path(winehost.ROOT / "examples" / "sample-grid.txt")])
    print(text, end="")
    winehost.stop_server()
    print(f"Output folder: {out}")
    return code


if __name__ == "__main__":
    sys.exit(main())
