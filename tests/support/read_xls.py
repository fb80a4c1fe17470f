#!/usr/bin/python3
"""Describes an .xls file as xlrd reads it, one fact a line, for the workbook tests.

    read_xls.py WORKBOOK OUTPUT

Lines (UTF-8), positions 0-based:
    sheet S name=N rows=R cols=C frozen=ROWS,COLS
    width S C CHARACTERS          (only for columns with a width of their own)
    height S R POINTS             (for rows the file describes)
    cell S R C TYPE VALUE | font=NAME size=PT b=0/1 i=0/1 u=0/1 colour=RRGGBB fill=RRGGBB/none h=.. v=.. format=F quote=0/1
A file xlrd cannot read gives one line: error TEXT.
"""
import sys

import xlrd

H = {0: "general", 1: "left", 2: "centre", 3: "right"}
V = {0: "top", 1: "centre", 2: "bottom"}
TYPES = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_BLANK: "blank",
         xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_DATE: "date", xlrd.XL_CELL_EMPTY: "empty",
         xlrd.XL_CELL_ERROR: "error"}


def colour(book, index):
    rgb = book.colour_map.get(index)
    return "%02X%02X%02X" % rgb if rgb else "none"


def number(value):
    return repr(round(value, 10)).rstrip("0").rstrip(".") if isinstance(value, float) else str(value)


def describe(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    out = []
    for s, sheet in enumerate(book.sheets()):
        frozen = "%d,%d" % (sheet.horz_split_pos, sheet.vert_split_pos) if sheet.panes_are_frozen else "0,0"
        out.append("sheet %d name=%s rows=%d cols=%d frozen=%s" % (s, sheet.name, sheet.nrows, sheet.ncols, frozen))
        for c in sorted(sheet.colinfo_map):
            out.append("width %d %d %s" % (s, c, number(round(sheet.colinfo_map[c].width / 256.0, 2))))
        for r in sorted(sheet.rowinfo_map):
            out.append("height %d %d %s" % (s, r, number(sheet.rowinfo_map[r].height / 20.0)))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                fill = colour(book, xf.background.pattern_colour_index) if xf.background.fill_pattern else "none"
                value = cell.value.replace("\n", "\\n") if cell.ctype == xlrd.XL_CELL_TEXT else number(cell.value)
                out.append(
                    "cell %d %d %d %s %s | font=%s size=%s b=%d i=%d u=%d colour=%s fill=%s h=%s v=%s format=%s quote=%d"
                    % (s, r, c, TYPES[cell.ctype], value, font.name, number(font.height / 20.0), font.bold,
                       font.italic, 1 if font.underline_type else 0, colour(book, font.colour_index), fill,
                       H.get(xf.alignment.hor_align, "other"), V.get(xf.alignment.vert_align, "other"),
                       book.format_map[xf.format_key].format_str or "General", xf.lotus_123_prefix))
    return out


def main():
    try:
        lines = describe(sys.argv[1])
    except Exception as error:  # the test shows what xlrd said
        lines = ["error %s: %s" % (type(error).__name__, error)]
    with open(sys.argv[2] + ".part", "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    import os
    os.replace(sys.argv[2] + ".part", sys.argv[2])


if __name__ == "__main__":
    main()
