"""PDF writer benchmark: a long text document written by bench/pdf_bench.cpp, beside
LibreOffice turning the same text into a PDF in the same run.

    python3 bench/run_pdf_bench.py [runs] [pages ...]

Builds bench/pdf_bench.cpp natively with optimisation (no sanitizers), runs it once per
size (100 and 1000 pages by default, best of `runs`), and checks each file with the
independent readers: `qpdf --check`, `pdfinfo` (page count), `pdftotext` (the last page's
heading) and `pdffonts` (every font embedded as a subset). The text extracted from the
largest file is then converted to PDF by `soffice --headless --convert-to pdf` (a private
profile, started once before timing so its first-run setup is not counted), timed with its
peak memory by /usr/bin/time. Prints a Markdown table for docs/benchmarks.md.
"""

import pathlib
import re
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "build" / "bench-pdf"
EXE = OUT / "pdf_bench"
SOURCES = ["bench/pdf_bench.cpp", "src/print/pdf_writer.cpp", "src/print/font_provider.cpp", "src/print/truetype.cpp"]


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


def build():
    OUT.mkdir(parents=True, exist_ok=True)
    run(["g++", "-std=c++20", "-O2", "-DNDEBUG", "-Isrc", *SOURCES, "-lz", "-o", str(EXE)], cwd=ROOT)


def check(path, pages):
    if "No syntax or stream encoding errors" not in run(["qpdf", "--check", str(path)]):
        raise RuntimeError(f"qpdf finds errors in {path}")
    if not re.search(rf"^Pages:\s+{pages}$", run(["pdfinfo", str(path)]), re.M):
        raise RuntimeError(f"{path} does not have {pages} pages")
    last = run(["pdftotext", "-f", str(pages), "-l", str(pages), str(path), "-"])
    if f"Ledger page {pages}" not in last:
        raise RuntimeError(f"{path}: last page reads {last[:80]!r}")
    for line in run(["pdffonts", str(path)]).splitlines()[2:]:
        if not re.search(r"\byes\s+yes\s+yes\s+\d+\s+0$", line) or line[6] != "+":
            raise RuntimeError(f"{path}: font not embedded as a subset: {line}")


def bench_writer(pages, runs):
    best = None
    path = OUT / f"bench-{pages}.pdf"
    for _ in range(runs):
        # Peak memory as /usr/bin/time sees it: a process forked from Python would count
        # Python's own pages too.
        done = subprocess.run(["/usr/bin/time", "-f", "peak_rss_kb=%M", str(EXE), str(pages), str(path)], check=True,
                              capture_output=True, text=True)
        figures = dict(line.split("=", 1) for line in (done.stdout + done.stderr).split())
        if best is None or float(figures["seconds"]) < float(best["seconds"]):
            best = figures
    check(path, pages)
    return best


def bench_libreoffice(pages, runs):
    soffice = shutil.which("soffice")
    if not soffice:
        return None
    text = OUT / f"text-{pages}.txt"
    text.write_text(run(["pdftotext", "-layout", str(OUT / f"bench-{pages}.pdf"), "-"]), encoding="utf-8")
    profile = f"-env:UserInstallation=file://{OUT / 'lo-profile'}"
    command = [soffice, profile, "--headless", "--convert-to", "pdf", "--outdir", str(OUT / "lo"), str(text)]
    subprocess.run(command, check=True, capture_output=True)  # first run: profile setup
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "peak_rss_kb=%M", *command], check=True, capture_output=True,
                              text=True)
        elapsed = time.perf_counter() - start
        rss = int(re.search(r"peak_rss_kb=(\d+)", done.stderr).group(1))
        if best is None or elapsed < best[0]:
            best = (elapsed, rss)
    lo_pages = int(re.search(r"^Pages:\s+(\d+)$", run(["pdfinfo", str(OUT / "lo" / text.with_suffix(".pdf").name)]),
                             re.M).group(1))
    return best + (lo_pages,)


def main():
    args = [int(a) for a in sys.argv[1:]]
    runs = args[0] if args else 3
    sizes = args[1:] or [100, 1000]
    build()
    print("| Pages | Total s | Pages/s | Writer alone s | Writer pages/s | File KB | Peak RSS MB |")
    print("| ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
    for pages in sizes:
        f = bench_writer(pages, runs)
        print(f"| {pages} | {float(f['seconds']):.2f} | {float(f['pages_per_second']):.0f} | "
              f"{float(f['writer_seconds']):.2f} | {float(f['writer_pages_per_second']):.0f} | "
              f"{int(f['bytes']) / 1024:.0f} | {int(f['peak_rss_kb']) / 1024:.1f} |")
    lo = bench_libreoffice(sizes[-1], runs)
    if lo:
        seconds, rss, lo_pages = lo
        print(f"\nLibreOffice, the same text as a plain text file ({lo_pages} pages as it lays them out): "
              f"{seconds:.2f} s, {lo_pages / seconds:.0f} pages/s, peak RSS {rss / 1024:.0f} MB.")


if __name__ == "__main__":
    main()
