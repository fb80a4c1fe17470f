#!/usr/bin/python3
"""Describes .xls workbooks as xlrd reads them, one fact per line, for the native tests.

    xls_dump.py [--brief] FILE...
    xls_dump.py --stream FILE RAW

Per file: `file NAME`, then per sheet `sheet INDEX NAME ROWS COLS`, `frozen ROWS COLS`
(when frozen), `width COL WIDTH`, `height ROW TWIPS CUSTOM`, and per non-empty cell
`cell SHEET ROW COL TYPE VALUE | font NAME TWIPS bold italic underline #RRGGBB | fill
#RRGGBB|none | align H V | format TEXT | prefix 0|1`. Colours are resolved through the
workbook's palette. Texts are written with Python's repr, so any character shows.
--brief leaves out the rows of a sheet past its first 40, except its last 5, and the row heights.
--stream reads the compound file's Workbook stream with xlrd's own compound file reader
and compares it with the bytes of RAW: `same N` or `differs at OFFSET (sizes A B)`.

"""
import sys

import xlrd
import xlrd.compdoc

TYPES = {1: "text", 2: "number", 3: "date", 4: "bool", 5: "error", 6: "blank"}


def colour(book, index):
    rgb = book.colour_map.get(index)
    return "#%02X%02X%02X" % rgb if rgb else "auto(%d)" % index


def describe(book, cell):
    xf = book.xf_list[cell.xf_index]
    font = book.font_list[xf.font_index]
    fill = colour(book, xf.background.pattern_colour_index) if xf.background.fill_pattern == 1 else "none"
    value = repr(cell.value) if cell.ctype in (1, 2, 3, 5) else ""
    return "%s %s | font %s %d %d %d %d %s | fill %s | align %d %d | format %s | prefix %d" % (
        TYPES.get(cell.ctype, "?"), value, font.name, font.height, font.bold, font.italic,
        font.underline_type, colour(book, font.colour_index), fill, xf.alignment.hor_align,
        xf.alignment.vert_align, book.format_map[xf.format_key].format_str, xf.lotus_123_prefix)


def dump(path, brief):
    book = xlrd.open_workbook(path, formatting_info=True)
    print("file", path)
    for index, sheet in enumerate(book.sheets()):
        print("sheet %d %r %d %d" % (index, sheet.name, sheet.nrows, sheet.ncols))
        if sheet.panes_are_frozen:
            print("frozen %d %d" % (sheet.horz_split_pos, sheet.vert_split_pos))
        for col, info in sorted(sheet.colinfo_map.items()):
            print("width %d %d" % (col, info.width))
        if not brief:
            for row, info in sorted(sheet.rowinfo_map.items()):
                print("height %d %d %d" % (row, info.height, info.height_mismatch))
        for row in range(sheet.nrows):
            if brief and 40 <= row < sheet.nrows - 5:
                continue
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                if cell.ctype != 0:
                    print("cell %d %d %d %s" % (index, row, col, describe(book, cell)))


def compare_stream(path, raw_path):
    with open(path, "rb") as f:
        doc = xlrd.compdoc.CompDoc(f.read())
    stream = doc.get_named_stream("Workbook")
    with open(raw_path, "rb") as f:
        raw = f.read()
    if stream == raw:
        print("same %d" % len(raw))
        return
    at = next((i for i, (a, b) in enumerate(zip(stream, raw)) if a != b), min(len(stream), len(raw)))
    print("differs at %d (sizes %d %d)" % (at, len(stream), len(raw)))


if sys.argv[1] == "--stream":
    compare_stream(sys.argv[2], sys.argv[3])
else:
    brief = sys.argv[1] == "--brief"
    for name in sys.argv[2 if brief else 1:]:
        dump(name, brief)
