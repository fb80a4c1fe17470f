"""Workbook export benchmark: the component's ExportXLS of the test host's grid against the
cost of only reading that grid, beside xlwt writing the same rows and LibreOffice converting
the same rows from a CSV file, in the same run.

    python3 bench/run_xls_bench.py [runs] [rows ...]

Builds bench/delimited_bench.cpp (win64) and runs it with the method XLS under Wine in the
private prefix (100000 and 1000000 rows by default, best of `runs` exports each). The
workbook it wrote is read back with xlrd, sheet by sheet, and compared with the rows the
grid holds (run_delimited_bench.py's grid_rows): 65,536 rows on the first sheet, then the
header row and 65,535 rows on each further sheet. xlwt writes the same rows in the same
sheets; LibreOffice (soffice --headless --convert-to xls) converts the rows as a CSV file
and keeps what one .xls sheet holds. Prints a Markdown table for docs/benchmarks.md.
"""

import csv
import pathlib
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402
from run_delimited_bench import grid_rows  # noqa: E402

OUT = winehost.BUILD / "bench-xls"
EXE = winehost.BUILD / "win64" / "delimited_bench.exe"
SHEET_ROWS = 65536


def sheets_of(rows):
    """The grid's rows split as the exporter splits them: header repeated on every sheet."""
    data = grid_rows(rows)
    header = next(data)
    sheet = [header]
    for row in data:
        if len(sheet) == SHEET_ROWS:
            yield sheet
            sheet = [header]
        sheet.append(row)
    yield sheet


def as_cell(text):
    """What the workbook holds for a grid text: whole and decimal numbers as numbers."""
    try:
        return float(text) if text and not text.startswith("0") or text == "0" else text
    except ValueError:
        return text


def check_workbook(rows):
    import xlrd
    path = OUT / "bench.xls"
    book = xlrd.open_workbook(str(path), on_demand=True)
    expected_sheets = list(sheets_of(rows)) if rows <= 200_000 else None
    total = 0
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        expected = expected_sheets[index] if expected_sheets else None
        for r in range(sheet.nrows):
            got = [c.value for c in sheet.row(r)] + [""] * (10 - sheet.row_len(r))
            if expected is not None and got != [as_cell(v) for v in expected[r]]:
                raise RuntimeError(f"{path} sheet {index} row {r}: {got} instead of {expected[r]}")
        total += sheet.nrows - (1 if index else 0)
        book.unload_sheet(index)
    if total != rows:
        raise RuntimeError(f"{path} holds {total} grid rows instead of {rows}")
    return book.nsheets


def write_xlwt(rows, target):
    import xlwt
    book = xlwt.Workbook()
    for index, sheet_rows in enumerate(sheets_of(rows)):
        sheet = book.add_sheet("Sheet1" if index == 0 else f"Sheet1 ({index + 1})")
        for r, row in enumerate(sheet_rows):
            for c, text in enumerate(row):
                value = as_cell(text)
                if value != "":
                    sheet.write(r, c, value)
    book.save(target)


def run_child(args):
    """Seconds and the child's peak resident memory in MB, as GNU time reports it."""
    report = OUT / "time.txt"
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(report)] + args, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=3600)
    elapsed = time.perf_counter() - start
    return elapsed, int(report.read_text().split()[-1]) / 1024


def run_peers(rows):
    xlwt_s, xlwt_mb = run_child(["/usr/bin/python3", __file__, "--xlwt", str(rows), str(OUT / "xlwt.xls")])
    source = OUT / "peer.csv"
    with open(source, "w", newline="", encoding="utf-8") as f:
        csv.writer(f).writerows(grid_rows(rows))
    profile = OUT / "lo-profile"
    lo_s, lo_mb = run_child(["soffice", f"-env:UserInstallation=file://{profile}", "--headless", "--convert-to", "xls",
                             "--outdir", str(OUT), str(source)])
    return xlwt_s, xlwt_mb, lo_s, lo_mb


def main():
    if sys.argv[1:2] == ["--xlwt"]:
        return write_xlwt(int(sys.argv[2]), sys.argv[3])
    args = sys.argv[1:]
    runs = int(args[0]) if args else 1
    sizes = [int(a) for a in args[1:]] or [100_000, 1_000_000]
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "delimited_bench", "-j1"],
                   check=True, stdout=subprocess.DEVNULL)
    OUT.mkdir(parents=True, exist_ok=True)
    winehost.ensure_prefix()
    winehost.register_all("win64")

    print("| Rows x 10 | Sheets | Export, rows/s | Host-read floor, rows/s | Ratio to floor | Host calls per cell "
          "| Export's own peak, KB | File, MB | xlwt, rows/s (peak MB) | LibreOffice from CSV, rows/s (peak MB) |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for rows in sizes:
        code, out = winehost.run([str(EXE), str(rows), "XLS", winehost.win_path(OUT), str(runs)], timeout=7200)
        if code != 0:
            raise RuntimeError(f"delimited_bench {rows} XLS failed ({code}):\n{out}")
        f = dict(line.partition("=")[::2] for line in out.splitlines() if "=" in line)
        size_mb = (OUT / "bench.xls").stat().st_size / 1e6
        sheets = check_workbook(rows)
        xlwt_s, xlwt_mb, lo_s, lo_mb = run_peers(rows)
        print(f"| {rows:,} | {sheets} | {float(f['export_rows_per_s']):,.0f} | {float(f['floor_rows_per_s']):,.0f} "
              f"| {f['ratio_to_floor']} | {f['host_calls_per_cell']} | {f['export_working_set_kb']} "
              f"| {size_mb:.1f} | {rows / xlwt_s:,.0f} ({xlwt_mb:.0f}) | {rows / lo_s:,.0f} ({lo_mb:.0f}) |", flush=True)
        print(f"<!-- {rows}: export {f['export_s']} s, floor {f['floor_s']} s, xlwt {xlwt_s:.1f} s, "
              f"LibreOffice {lo_s:.1f} s -->", flush=True)


if __name__ == "__main__":
    main()
