"""Table PDF benchmark: the component's ExportPDF of the test host's grid against the cost
of only reading that grid, beside reportlab (its canvas and its platypus tables) writing
the same rows and LibreOffice converting the same rows from a CSV file, in the same run.

    python3 bench/run_pdf_table_bench.py [runs] [rows ...]

Builds bench/delimited_bench.cpp (win64) and runs it with the method PDF under Wine in the
private prefix (10000 and 100000 rows by default, best of `runs` exports each). The file is
checked with qpdf --check, pdfinfo and pdftotext (the last row's first cell). The peers run
as Linux programs timed with their peak memory by /usr/bin/time: reportlab from Debian's
python3-reportlab (/usr/bin/python3), drawing with the same Liberation Sans, the same
letter pages, margins, row height and column width, the header row on every page and the
columns that do not fit on a second band of pages; and `soffice --headless --convert-to
pdf` of the rows as a CSV file. Prints a Markdown table for docs/benchmarks.md.
"""

import csv
import pathlib
import re
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402
from run_delimited_bench import grid_rows  # noqa: E402

OUT = winehost.BUILD / "bench-pdf-table"
EXE = winehost.BUILD / "win64" / "delimited_bench.exe"
FONTS = "/usr/share/fonts/truetype/liberation2"
SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, with python3-reportlab

# The component's page: letter, 0.75 inch margins, 12 pt rows, 60 pt columns, Tahoma 8 pt
# cells (Liberation Sans here), the title at the top and "Page n" at the foot.
PAGE_W, PAGE_H, MARGIN, ROW_H, COL_W, FONT_SIZE = 612, 792, 54, 12, 60, 8


def run_child(args, timeout=3600):
    """Seconds and the child's peak resident memory in MB, as GNU time reports it."""
    report = OUT / "time.txt"
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(report)] + args, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=timeout)
    elapsed = time.perf_counter() - start
    return elapsed, int(report.read_text().split()[-1]) / 1024


def pages_of(path):
    return int(re.search(r"^Pages:\s+(\d+)$", subprocess.run(["pdfinfo", str(path)], capture_output=True,
                                                              text=True).stdout, re.M).group(1))


def check_export(rows):
    path = OUT / "bench.pdf"
    if "No syntax or stream encoding errors" not in subprocess.run(["qpdf", "--check", str(path)],
                                                                   capture_output=True, text=True).stdout:
        raise RuntimeError(f"qpdf finds errors in {path}")
    pages = pages_of(path)
    text = subprocess.run(["pdftotext", str(path), "-"], capture_output=True, text=True).stdout
    if f"R{rows - 1}C0" not in text:
        raise RuntimeError(f"{path} lacks the last row")
    return pages, path.stat().st_size / 1e6


def reportlab_canvas(rows, target):
    """Cells drawn one by one, the header row on every page, grid lines per row and column."""
    from reportlab.pdfbase import pdfmetrics
    from reportlab.pdfbase.ttfonts import TTFont
    from reportlab.pdfgen import canvas
    pdfmetrics.registerFont(TTFont("Sans", f"{FONTS}/LiberationSans-Regular.ttf"))
    pdfmetrics.registerFont(TTFont("SansBold", f"{FONTS}/LiberationSans-Bold.ttf"))
    data = list(grid_rows(rows))
    header, body = data[0], data[1:]
    per_band = int((PAGE_W - 2 * MARGIN) // COL_W)
    bands = [range(b, min(b + per_band, len(header))) for b in range(0, len(header), per_band)]
    per_page = int((PAGE_H - 2 * MARGIN - 40) // ROW_H) - 1
    c = canvas.Canvas(target, pagesize=(PAGE_W, PAGE_H), pageCompression=1)
    page = 0
    for band in bands:
        for start in range(0, len(body), per_page):
            page += 1
            c.setFont("SansBold", 10)
            c.drawString(MARGIN, PAGE_H - MARGIN, "Bench")
            c.setFont("Sans", 9)
            c.drawRightString(PAGE_W - MARGIN, MARGIN - 20, f"Page {page}")
            top = PAGE_H - MARGIN - 30
            chunk = [header] + body[start:start + per_page]
            for i, row in enumerate(chunk):
                y = top - (i + 1) * ROW_H
                c.setFont("SansBold" if i == 0 else "Sans", FONT_SIZE)
                for j, col in enumerate(band):
                    c.drawString(MARGIN + j * COL_W + 3, y + 3, row[col])
            width = len(band) * COL_W
            for i in range(len(chunk) + 1):
                c.line(MARGIN, top - i * ROW_H, MARGIN + width, top - i * ROW_H)
            for j in range(len(band) + 1):
                c.line(MARGIN + j * COL_W, top, MARGIN + j * COL_W, top - len(chunk) * ROW_H)
            c.showPage()
    c.save()


def reportlab_platypus(rows, target):
    """A LongTable with its header row repeated and a grid; platypus does not continue a wide
    table on further pages, so its columns are 50 pt to fit the page."""
    from reportlab.lib import colors
    from reportlab.lib.pagesizes import letter
    from reportlab.pdfbase import pdfmetrics
    from reportlab.pdfbase.ttfonts import TTFont
    from reportlab.platypus import LongTable, SimpleDocTemplate, TableStyle
    pdfmetrics.registerFont(TTFont("Sans", f"{FONTS}/LiberationSans-Regular.ttf"))
    pdfmetrics.registerFont(TTFont("SansBold", f"{FONTS}/LiberationSans-Bold.ttf"))
    table = LongTable(list(grid_rows(rows)), colWidths=[50] * 10, rowHeights=ROW_H, repeatRows=1)
    table.setStyle(TableStyle([("FONT", (0, 0), (-1, -1), "Sans", FONT_SIZE), ("FONT", (0, 0), (-1, 0), "SansBold"),
                               ("GRID", (0, 0), (-1, -1), 0.5, colors.grey)]))
    doc = SimpleDocTemplate(target, pagesize=letter, leftMargin=MARGIN, rightMargin=MARGIN, topMargin=MARGIN,
                            bottomMargin=MARGIN)
    doc.build([table], onFirstPage=lambda c, d: None,
              onLaterPages=lambda c, d: c.drawRightString(PAGE_W - MARGIN, MARGIN - 20, f"Page {d.page}"))


def run_peers(rows):
    results = {}
    for kind in ("canvas", "platypus"):
        target = OUT / f"reportlab-{kind}.pdf"
        try:
            seconds, mb = run_child([SYSTEM_PYTHON, __file__, f"--{kind}", str(rows), str(target)], timeout=600)
            results[kind] = (seconds, mb, pages_of(target))
        except subprocess.TimeoutExpired:
            results[kind] = None
    source = OUT / "peer.csv"
    with open(source, "w", newline="", encoding="utf-8") as f:
        csv.writer(f).writerows(grid_rows(rows))
    profile = OUT / "lo-profile"
    command = ["soffice", f"-env:UserInstallation=file://{profile}", "--headless", "--convert-to", "pdf",
               "--outdir", str(OUT / "lo"), str(source)]
    if not profile.exists():
        subprocess.run(command, check=True, capture_output=True)  # first run: the profile's setup
    seconds, mb = run_child(command)
    results["libreoffice"] = (seconds, mb, pages_of(OUT / "lo" / "peer.pdf"))
    return results


def main():
    if sys.argv[1:2] in (["--canvas"], ["--platypus"]):
        writer = reportlab_canvas if sys.argv[1] == "--canvas" else reportlab_platypus
        return writer(int(sys.argv[2]), sys.argv[3])
    args = sys.argv[1:]
    runs = int(args[0]) if args else 1
    sizes = [int(a) for a in args[1:]] or [10_000, 100_000]
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "delimited_bench", "-j1"],
                   check=True, stdout=subprocess.DEVNULL)
    OUT.mkdir(parents=True, exist_ok=True)
    winehost.ensure_prefix()
    winehost.register_all("win64")

    def peer(result, rows):
        if result is None:
            return "over 10 min"
        seconds, mb, pages = result
        return f"{rows / seconds:,.0f} ({pages / seconds:,.0f}; {mb:.0f})"

    print("| Rows x 10 | Pages | Export, rows/s | Pages/s | Host-read floor, rows/s | Ratio to floor "
          "| Export's own peak, KB | File, MB | reportlab canvas, rows/s (pages/s; peak MB) "
          "| reportlab platypus | LibreOffice from CSV |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for rows in sizes:
        code, out = winehost.run([str(EXE), str(rows), "PDF", winehost.win_path(OUT), str(runs)], timeout=7200)
        if code != 0:
            raise RuntimeError(f"delimited_bench {rows} PDF failed ({code}):\n{out}")
        f = dict(line.partition("=")[::2] for line in out.splitlines() if "=" in line)
        pages, size_mb = check_export(rows)
        peers = run_peers(rows)
        seconds = float(f["export_s"])
        print(f"| {rows:,} | {pages:,} | {float(f['export_rows_per_s']):,.0f} | {pages / seconds:,.0f} "
              f"| {float(f['floor_rows_per_s']):,.0f} | {f['ratio_to_floor']} | {f['export_working_set_kb']} "
              f"| {size_mb:.1f} | {peer(peers['canvas'], rows)} | {peer(peers['platypus'], rows)} "
              f"| {peer(peers['libreoffice'], rows)} |", flush=True)
        print(f"<!-- {rows}: export {seconds} s, floor {f['floor_s']} s, host calls per cell "
              f"{f['host_calls_per_cell']}; peers (s, MB, pages) {peers} -->", flush=True)


if __name__ == "__main__":
    main()
