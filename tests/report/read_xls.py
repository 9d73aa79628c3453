"""Dumps an .xls workbook as JSON for the workbook writer's tests.

Run with /usr/bin/python3 (Debian's python3-xlrd). The cells, fonts, formats,
merges, widths, heights, sheets and names come from xlrd; the page setup, the
string table layout and the longest record body (xlrd takes records of any
length), which xlrd does not report, from the records of the Workbook stream
as xlrd's compound-file reader hands it over.
"""
import io
import json
import struct
import sys

import xlrd
from xlrd import compdoc

CELL_TYPES = {xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_TEXT: "text",
              xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_BLANK: "blank"}
HORIZONTAL = {0: "general", 1: "left", 2: "center", 3: "right"}
VERTICAL = {0: "top", 1: "center", 2: "bottom"}


def records(stream):
    pos = 0
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        yield pos, rid, stream[pos + 4:pos + 4 + size]
        pos += 4 + size
        if rid == 0x000A and pos >= len(stream.rstrip(b"\0")):
            break


def header_footer(body):
    if not body:
        return ""
    count, flags = struct.unpack_from("<HB", body)
    raw = body[3:]
    return raw[:count * 2].decode("utf-16-le") if flags & 1 else raw[:count].decode("latin-1")


def raw_layout(data, strings):
    doc = compdoc.CompDoc(data, logfile=io.StringIO())
    stream = doc.get_named_stream("Workbook")
    pages = []
    continues = 0
    extsst_ok = None
    after_sst = False
    longest = 0
    for pos, rid, body in records(stream):
        longest = max(longest, len(body))
        if rid == 0x0809 and struct.unpack_from("<H", body, 2)[0] == 0x0010:
            pages.append({})
        page = pages[-1] if pages else None
        if rid == 0x00FC:
            after_sst = True
        elif rid == 0x003C and after_sst:
            continues += 1
        elif rid != 0x003C:
            after_sst = False
        if rid == 0x00FF:
            per_bucket = struct.unpack_from("<H", body)[0]
            extsst_ok = True
            for k in range((len(body) - 2) // 8):
                ib, cb_offset = struct.unpack_from("<IH", body, 2 + k * 8)
                owner = struct.unpack_from("<H", stream, ib - cb_offset)[0]
                length = struct.unpack_from("<H", stream, ib)[0]
                if owner not in (0x00FC, 0x003C) or length != len(strings[k * per_bucket]):
                    extsst_ok = False
        if page is None:
            continue
        if rid == 0x0015:
            page["footer"] = header_footer(body)
        elif rid in (0x0026, 0x0027, 0x0028, 0x0029):
            side = {0x0026: "left", 0x0027: "right", 0x0028: "top", 0x0029: "bottom"}[rid]
            page[side + "_cm"] = round(struct.unpack_from("<d", body)[0] * 2.54, 4)
        elif rid == 0x00A1:
            paper, scale, _, _, _, flags = struct.unpack_from("<6H", body)
            page["paper"] = paper
            page["scale"] = scale
            page["landscape"] = not (flags & 0x0002)
            page["settings_valid"] = not (flags & 0x0004)
    return pages, continues, extsst_ok, longest


def main(path):
    log = io.StringIO()
    # on_demand keeps the string table, which the EXTSST check compares against.
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, on_demand=True)
    strings = list(book._sharedstrings)
    with open(path, "rb") as f:
        pages, continues, extsst_ok, longest = raw_layout(f.read(), strings)
    sheets = []
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        cells = []
        for row in range(sheet.nrows):
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                border = xf.border
                cells.append({
                    "row": row, "col": col, "type": CELL_TYPES.get(cell.ctype, str(cell.ctype)),
                    "value": cell.value,
                    "font": [font.name, font.height, bool(font.bold), font.weight, font.character_set],
                    "h": HORIZONTAL.get(xf.alignment.hor_align), "v": VERTICAL.get(xf.alignment.vert_align),
                    "wrap": bool(xf.alignment.text_wrapped), "indent": xf.alignment.indent_level,
                    "borders": [border.left_line_style, border.right_line_style,
                                border.top_line_style, border.bottom_line_style],
                })
        sheets.append({
            "name": sheet.name,
            "cells": cells,
            "merges": sorted([lo, hi - 1, clo, chi - 1] for lo, hi, clo, chi in sheet.merged_cells),
            "widths": {str(c): info.width for c, info in sorted(sheet.colinfo_map.items())},
            "heights": {str(r): info.height for r, info in sorted(sheet.rowinfo_map.items())},
            "page": pages[index] if index < len(pages) else {},
        })
    names = []
    for name in book.name_obj_list:
        sheet, rlo, rhi, clo, chi = name.area2d()
        sheet = sheet.number
        names.append({"name": name.name, "scope": name.scope, "sheet": sheet,
                      "range": [rlo, rhi - 1, clo, chi - 1]})
    json.dump({"sheets": sheets, "names": names, "sst_continues": continues,
               "extsst_ok": extsst_ok, "longest_record": longest, "warnings": log.getvalue()}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
