#!/usr/bin/python3
"""Describes .xls workbooks as xlrd reads them, one fact per line, for the native tests.

    xls_dump.py [--brief] FILE...
    xls_dump.py --stream FILE RAW
    xls_dump.py --index FILE

Per file: `file NAME`, then per sheet `sheet INDEX NAME ROWS COLS`, `frozen ROWS COLS`
(when frozen), `width COL WIDTH`, `height ROW TWIPS CUSTOM`, and per non-empty cell
`cell SHEET ROW COL TYPE VALUE | font NAME TWIPS bold italic underline #RRGGBB | fill
#RRGGBB|none | align H V | format TEXT | prefix 0|1`. Colours are resolved through the
workbook's palette. Texts are written with Python's repr, so any character shows.
--brief leaves out the rows of a sheet past its first 40, except its last 5, and the row heights.
--stream reads the compound file's Workbook stream with xlrd's own compound file reader
and compares it with the bytes of RAW: `same N` or `differs at OFFSET (sizes A B)`.
--index follows each sheet's INDEX record to its DEFCOLWIDTH and DBCELL records, and each
DBCELL back to its ROW records and to the first cell of each row: `index SHEET ok BLOCKS`,
or `index SHEET bad: WHAT`.

"""
import struct
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


CELLS = {0x0203, 0x027E, 0x00FD, 0x0201, 0x0205}


def check_index(stream, at):
    """Checks the sheet whose BOF is at `at`; returns the number of blocks or raises."""
    records = {}
    pos = at
    while True:
        rtype, size = struct.unpack_from("<HH", stream, pos)
        records[pos] = (rtype, stream[pos + 4:pos + 4 + size])
        pos += 4 + size
        if rtype == 0x000A:
            break
    positions = sorted(records)
    index_type, index = records[positions[1]]
    assert index_type == 0x020B, "no INDEX after BOF"
    rw_mic, rw_mac, def_col_width = struct.unpack_from("<III", index, 4)
    dbcells = struct.unpack_from("<%dI" % ((len(index) - 16) // 4), index, 16)
    assert records.get(def_col_width, (0,))[0] == 0x0055, "ibXF is not a DEFCOLWIDTH record"
    dims = next(body for rtype, body in records.values() if rtype == 0x0200)
    assert struct.unpack_from("<II", dims) == (rw_mic, rw_mac), "INDEX rows differ from DIMENSIONS"
    found = [p for p in positions if records[p][0] == 0x00D7]
    assert list(dbcells) == found, "INDEX lists %s, DBCELL records are at %s" % (dbcells, found)
    for db in dbcells:
        body = records[db][1]
        first_row = db - struct.unpack_from("<I", body)[0]
        offsets = struct.unpack_from("<%dH" % ((len(body) - 4) // 2), body, 4)
        cell = first_row + 20
        for i, offset in enumerate(offsets):
            rtype, row = records.get(first_row + 20 * i, (0, b""))
            assert rtype == 0x0208, "DBCELL at %d: no ROW record %d" % (db, i)
            number, col_mic, col_mac = struct.unpack_from("<HHH", row)
            cell += offset
            if col_mac > col_mic:
                ctype, cbody = records.get(cell, (0, b"\0\0"))
                assert ctype in CELLS and struct.unpack_from("<H", cbody)[0] == number, \
                    "DBCELL at %d: row %d's first cell is not at %d" % (db, number, cell)
    return len(dbcells)


def check_indexes(path):
    with open(path, "rb") as f:
        stream = xlrd.compdoc.CompDoc(f.read()).get_named_stream("Workbook")
    book = xlrd.open_workbook(file_contents=stream, on_demand=True)
    for index, (at, name) in enumerate(zip(book._sh_abs_posn, book.sheet_names())):
        try:
            print("index %d ok %d" % (index, check_index(stream, at)))
        except (AssertionError, struct.error) as problem:
            print("index %d bad: %s" % (index, problem))


if sys.argv[1] == "--index":
    check_indexes(sys.argv[2])
elif sys.argv[1] == "--stream":
    compare_stream(sys.argv[2], sys.argv[3])
else:
    brief = sys.argv[1] == "--brief"
    for name in sys.argv[2 if brief else 1:]:
        dump(name, brief)
