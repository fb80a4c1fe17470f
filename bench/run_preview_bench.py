"""Preview paint benchmark: one page of 1,000 table cells painted at 100 % by the preview's
paint routine (bench/preview_paint_bench.cpp), under Wine on an X server.

    xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/run_preview_bench.py [runs]

Builds the benchmark (win64), runs it in the private prefix and prints a Markdown row for
docs/benchmarks.md. The budget is 50 ms a page; the script fails above it.
"""

import pathlib
import re
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402

BUDGET_MS = 50


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "preview_paint_bench", "-j1"],
                   check=True, capture_output=True)
    winehost.ensure_prefix()
    winehost.install_fonts()
    exe = winehost.BUILD / "win64" / "preview_paint_bench.exe"
    code, output = winehost.run([winehost.win_path(exe), str(runs)], timeout=600)
    values = dict(re.findall(r"^(\w+)=([\d.]+)", output, re.M))
    if code != 0 or "median_ms" not in values:
        raise SystemExit(f"the benchmark failed ({code}):\n{output}")
    print("| cells (text runs) on the page | drawing operations | runs | best | median |")
    print("|---:|---:|---:|---:|---:|")
    print(f"| {values['text_runs_on_page']} | {values['ops_on_page']} | {values['runs']} | "
          f"{values['best_ms']} ms | {values['median_ms']} ms |")
    if float(values["median_ms"]) > BUDGET_MS:
        raise SystemExit(f"over the budget of {BUDGET_MS} ms")


if __name__ == "__main__":
    main()
