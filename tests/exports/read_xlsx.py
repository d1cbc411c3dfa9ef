# Prints what a workbook holds as JSON, for the export tests: sheet names, every cell of
# the used area with its value, type, font, fill, borders and number format, column widths.
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
cells = {}
for row in sheet.iter_rows(min_row=1, max_row=sheet.max_row, max_col=sheet.max_column):
    for c in row:
        cells[c.coordinate] = {
            "value": c.value,
            "type": type(c.value).__name__,
            "bold": bool(c.font.b),
            "fill": c.fill.fgColor.rgb if c.fill.fill_type == "solid" else None,
            "border": [c.border.left.style, c.border.right.style, c.border.top.style,
                       c.border.bottom.style],
            "format": c.number_format,
        }
widths = {k: d.width for k, d in sheet.column_dimensions.items()}
print(json.dumps({"sheets": book.sheetnames, "rows": sheet.max_row, "cols": sheet.max_column,
                  "cells": cells, "widths": widths}, ensure_ascii=False))
