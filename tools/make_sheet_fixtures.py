#!/usr/bin/env python3
"""Make the .xls workbooks of the personnel tests and the README's sample
personnel sheet.

Each workbook is written here as a flat OpenDocument spreadsheet (FODS) and
converted to Excel 97 (.xls) by LibreOffice running headless in a private
profile. The names are made up for these files.

Usage: tools/make_sheet_fixtures.py [--soffice PROGRAM]
Writes tests/data/people/*.xls and docs/sample-people.xls.
Standard library only; needs LibreOffice Calc (Debian: libreoffice-calc-nogui).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape, quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

HEADER = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>
"""
FOOTER = "</office:spreadsheet></office:body></office:document>\n"


class Formula:
    """A formula cell with the value a spreadsheet program would show."""

    def __init__(self, formula, value):
        self.formula = formula
        self.value = value


def cell(value):
    if value is None or value == "":
        return "<table:table-cell/>"
    if isinstance(value, Formula):
        kind = "string" if isinstance(value.value, str) else "float"
        shown = (' office:string-value=%s' % quoteattr(value.value)) if kind == "string" else (
            ' office:value="%s"' % value.value)
        return '<table:table-cell table:formula=%s office:value-type="%s"%s><text:p>%s</text:p></table:table-cell>' % (
            quoteattr("of:=" + value.formula), kind, shown, escape(str(value.value)))
    if isinstance(value, (int, float)):
        return '<table:table-cell office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>' % (
            value, value)
    return '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % escape(value)


def workbook(sheets):
    parts = [HEADER]
    for name, rows in sheets:
        parts.append("<table:table table:name=%s>\n" % quoteattr(name))
        for row in rows:
            parts.append("<table:table-row>%s</table:table-row>\n" % "".join(cell(v) for v in row))
        parts.append("</table:table>\n")
    parts.append(FOOTER)
    return "".join(parts)


FIXTURES = {
    # The reader's cases: sheet names, quoting, one column, values of each kind.
    "tests/data/people/sheets.xls": [
        ("Sheet1", [["姓名", "简称"], ["张三", "ZS"]]),
        ("OneColumn", [["姓名"], ["张三"], ["李四"]]),
        ("Values", [["编号", "证件号", "小数", "公式", "", "备注"],
                    [1001, 12345678901, 2.5, Formula("[.A2]+1", 1002), "x", "末列"]]),
    ],
    # Names, then an empty row, then a name past it; the second column holds
    # old initials (LISI) that the import must not take over.
    "tests/data/people/people-gap.xls": [
        ("Sheet1", [["姓名", "简称"], ["张三", "ZS"], ["李四", "LISI"], ["", ""], ["王五", "WW"]]),
    ],
    "tests/data/people/people.xls": [
        ("Sheet1", [["姓名"], ["张三"], ["李四"]]),
    ],
    "tests/data/people/wrong-header.xls": [
        ("Sheet1", [["名字"], ["张三"]]),
    ],
    # A name made by a formula: the reader sees an empty cell there.
    "tests/data/people/formula-names.xls": [
        ("Sheet1", [["姓名"], ["张三"], [Formula('"李"&"四"', "李四")], ["王五"]]),
    ],
    # The README's sample: a personnel sheet a new user can import.
    "docs/sample-people.xls": [
        ("Sheet1", [["姓名", "部门"], ["张伟", "办公室"], ["王芳", "办公室"], ["李娜", "立案庭"], ["刘洋", "立案庭"],
                    ["陈静", "刑事审判庭"], ["杨帆", "刑事审判庭"], ["赵磊", "民事审判庭"], ["黄丽", "民事审判庭"],
                    ["周强", "执行局"], ["吴敏", "执行局"], ["欧阳明", "研究室"], ["司马云", "研究室"],
                    ["曾晓红", "政治部"], ["单国庆", "政治部"], ["解东升", "行政装备处"], ["乐天", "行政装备处"]]),
    ],
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--soffice", default="soffice")
    args = parser.parse_args()
    if not shutil.which(args.soffice):
        sys.exit("make_sheet_fixtures: %s not found (install libreoffice-calc-nogui)" % args.soffice)

    with tempfile.TemporaryDirectory(prefix="regdesk-fixtures-") as work:
        profile = os.path.join(work, "profile")
        for index, (target, sheets) in enumerate(sorted(FIXTURES.items())):
            source = os.path.join(work, "f%d.fods" % index)
            with open(source, "w", encoding="utf-8") as out:
                out.write(workbook(sheets))
            subprocess.run([args.soffice, "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                            "--convert-to", "xls:MS Excel 97", "--outdir", work, source],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            produced = os.path.join(work, "f%d.xls" % index)
            # soffice exits 0 when it fails: the file is the proof.
            if not os.path.isfile(produced) or os.path.getsize(produced) == 0:
                sys.exit("make_sheet_fixtures: LibreOffice did not convert %s" % target)
            destination = os.path.join(ROOT, target)
            os.makedirs(os.path.dirname(destination), exist_ok=True)
            shutil.move(produced, destination)
            print("wrote", target)


if __name__ == "__main__":
    main()
