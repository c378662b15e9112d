"""Workbook checks with readers that are not the program's own.

Run with /usr/bin/python3 (Debian's openpyxl and xmllint):
  xlsx_readers.py xmllint BOOK            xmllint --noout on every XML part
  xlsx_readers.py make-report-template BOOK
                                          a report template as a spreadsheet
                                          program writes one: shared strings,
                                          styles and number formats, formulas,
                                          merged cells, column widths, a
                                          defined name, document properties
  xlsx_readers.py check-report BOOK TEMPLATE
                                          BOOK is TEMPLATE after one report
                                          run (routine 7, one segment of three
                                          10 us pulses every 20 us)
  xlsx_readers.py report-cells BOOK SHEET REF VALUE [REF VALUE ...]
                                          openpyxl reads BOOK and finds each
                                          cell's value (compared as text;
                                          None for an empty cell)
  xlsx_readers.py make-trial-template BOOK
                                          a styled template for the counting
                                          and trial routines: data from row 3,
                                          column 2 (B); R1 routine 1 and R7
                                          routine 7 on sheet 2 "Counts", R2
                                          routine 2, R3 routine 3 and R9
                                          routine 9 on the trial sheets 3-5
                                          ("Trial 1" to "Trial 3"), R8 routine
                                          8 on sheet 6 "Groups"; every data
                                          sheet has a merged title, a formula,
                                          filled and formatted cells inside
                                          the blocks the routines clear
  xlsx_readers.py check-trial-kept BOOK TEMPLATE
                                          BOOK is TEMPLATE after report runs:
                                          the parts besides the sheets, the
                                          sheet names, titles, merges,
                                          formulas, fills and formats stay
Prints one line per fault and exits 1 when there is any, else prints "ok".
"""

import os
import subprocess
import sys
import tempfile
import zipfile

faults = []


def expect(cond, text):
    if not cond:
        faults.append(text)


def xmllint(book):
    with zipfile.ZipFile(book) as z, tempfile.TemporaryDirectory() as tmp:
        for name in z.namelist():
            if not (name.endswith(".xml") or name.endswith(".rels")):
                continue
            path = os.path.join(tmp, "part.xml")
            with open(path, "wb") as f:
                f.write(z.read(name))
            run = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
            expect(run.returncode == 0, "xmllint refuses %s: %s" % (name, run.stderr.strip()))


def make_report_template(book):
    import openpyxl
    from openpyxl.styles import Border, Font, PatternFill, Side
    from openpyxl.workbook.defined_name import DefinedName

    wb = openpyxl.Workbook()
    defs = wb.active
    defs.title = "Definitions"
    defs["A1"] = 2          # first data row
    defs["A2"] = 1          # first data column
    defs["A3"] = 2          # definition 1: sheet 2, tag T7, routine 7
    defs["B3"] = "T7"
    defs["C3"] = 7
    defs["D3"] = "=C3*2"
    defs["B1"] = "Report layout"
    defs["B1"].font = Font(italic=True)

    rep = wb.create_sheet("Report")
    rep["A1"] = "Pulse report"
    rep["A1"].font = Font(bold=True, size=14)
    rep.merge_cells("A1:D1")
    fill = PatternFill("solid", fgColor="FFFF00")
    thin = Side(style="thin")
    for col in "ABCD":
        rep[col + "2"].fill = fill
        rep[col + "2"].border = Border(bottom=thin)
    rep["B2"] = "old"       # overwritten by the report
    rep["C2"].number_format = "0.0"
    rep["D2"] = 7
    rep["D2"].number_format = "#,##0"
    rep["F1"] = "Pulses"
    rep["F2"] = "=SUM(B2:B10)"
    rep["F3"] = "keep"
    rep.column_dimensions["A"].width = 18
    rep.column_dimensions["C"].width = 25
    wb.defined_names.append(DefinedName("ReportData", attr_text="Report!$A$2:$D$10"))
    wb.properties.title = "Pulse report template"
    wb.properties.creator = "Test Lab"
    wb.save(book)
    as_desktop_program(book)


MAIN_NS = b"http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL_NS = b"http://schemas.openxmlformats.org/officeDocument/2006/relationships"
SHEET_CT = b"application/vnd.openxmlformats-officedocument.spreadsheetml."


def as_desktop_program(book):
    """Rewrites openpyxl's package as desktop spreadsheet programs write
    theirs: texts in a shared string table, a calculation chain of the
    formula cells, and an XML declaration on every part."""
    import re

    with zipfile.ZipFile(book) as z:
        parts = {name: z.read(name) for name in z.namelist()}
    strings = []

    def shared(m):
        if m.group(2) not in strings:
            strings.append(m.group(2))
        return m.group(1) + b' t="s"><v>%d</v></c>' % strings.index(m.group(2))

    inline = re.compile(rb'(<c [^>]*?) t="inlineStr"><is><t[^>]*>(.*?)</t></is></c>')
    chain = b""
    for i, name in enumerate(sorted(n for n in parts if n.startswith("xl/worksheets/sheet"))):
        parts[name] = inline.sub(shared, parts[name])
        for ref in re.findall(rb'<c r="([A-Z]+[0-9]+)"[^>]*><f>', parts[name]):
            chain += b'<c r="%s" i="%d"/>' % (ref, i + 1)
    parts["xl/sharedStrings.xml"] = (b'<sst xmlns="%s" count="%d" uniqueCount="%d">' % (MAIN_NS, len(strings), len(strings))
                                     + b"".join(b"<si><t>%s</t></si>" % t for t in strings) + b"</sst>")
    parts["xl/calcChain.xml"] = b'<calcChain xmlns="%s">%s</calcChain>' % (MAIN_NS, chain)
    rels = b""
    types = b""
    for n, (part, kind) in enumerate([("sharedStrings.xml", b"sharedStrings"), ("calcChain.xml", b"calcChain")]):
        rels += b'<Relationship Id="rIdX%d" Type="%s/%s" Target="%s"/>' % (n, REL_NS, kind, part.encode())
        types += b'<Override PartName="/xl/%s" ContentType="%s%s+xml"/>' % (part.encode(), SHEET_CT, kind)
    parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace(b"</Relationships>", rels + b"</Relationships>")
    parts["[Content_Types].xml"] = parts["[Content_Types].xml"].replace(b"</Types>", types + b"</Types>")
    decl = b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    with zipfile.ZipFile(book, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            if not data.startswith(b"<?xml"):
                data = decl + data
            z.writestr(name, data)


def check_report(book, template):
    import openpyxl

    xmllint(book)
    with zipfile.ZipFile(book) as out, zipfile.ZipFile(template) as tpl:
        expect({"xl/sharedStrings.xml", "xl/calcChain.xml"} <= set(tpl.namelist()), "template lacks its tables")
        written = {"xl/workbook.xml", "xl/worksheets/sheet2.xml"}
        out_names = set(out.namelist())
        for name in tpl.namelist():
            expect(name in out_names, "part %s is gone" % name)
            if name in out_names and name not in written:
                expect(out.read(name) == tpl.read(name), "part %s was changed" % name)

    wb = openpyxl.load_workbook(book)
    expect(wb.sheetnames == ["Definitions", "Report"], "sheets: %r" % wb.sheetnames)
    defs, rep = wb["Definitions"], wb["Report"]
    expect(defs["D3"].value == "=C3*2", "Definitions!D3: %r" % defs["D3"].value)
    expect(defs["B1"].font.i, "Definitions!B1 lost its italics")

    cells = {"A2": 1, "B2": 3, "C2": 10, "D2": 50000}
    for ref, value in cells.items():
        expect(rep[ref].value == value, "Report!%s: %r, not %r" % (ref, rep[ref].value, value))
        expect(rep[ref].fill.fgColor.rgb == "00FFFF00", "Report!%s lost its fill" % ref)
        expect(rep[ref].border.bottom.style == "thin", "Report!%s lost its border" % ref)
    expect(rep["C2"].number_format == "0.0", "Report!C2 format: %r" % rep["C2"].number_format)
    expect(rep["D2"].number_format == "#,##0", "Report!D2 format: %r" % rep["D2"].number_format)
    expect(rep["A1"].value == "Pulse report" and rep["A1"].font.b, "Report!A1 title or its bold font lost")
    expect(rep["F2"].value == "=SUM(B2:B10)", "Report!F2: %r" % rep["F2"].value)
    expect(rep["F3"].value == "keep", "Report!F3: %r" % rep["F3"].value)
    expect([str(r) for r in rep.merged_cells.ranges] == ["A1:D1"], "merges: %r" % rep.merged_cells.ranges)
    expect(rep.column_dimensions["A"].width == 18, "width A: %r" % rep.column_dimensions["A"].width)
    expect(rep.column_dimensions["C"].width == 25, "width C: %r" % rep.column_dimensions["C"].width)
    names = wb.defined_names
    dn = names.get("ReportData") if hasattr(names, "get") else names["ReportData"]
    expect(dn is not None and dn.attr_text == "Report!$A$2:$D$10", "defined name ReportData lost")
    expect(wb.properties.title == "Pulse report template", "title: %r" % wb.properties.title)
    expect(wb.properties.creator == "Test Lab", "creator: %r" % wb.properties.creator)


TRIAL_SHEETS = ["Definitions", "Counts", "Trial 1", "Trial 2", "Trial 3", "Groups"]


def make_trial_template(book):
    import openpyxl
    from openpyxl.styles import Font, PatternFill

    wb = openpyxl.Workbook()
    defs = wb.active
    defs.title = TRIAL_SHEETS[0]
    defs["A1"] = 3          # first data row
    defs["A2"] = 2          # first data column
    for row, (sheet, tag, routine) in enumerate([(2, "R1", 1), (3, "R2", 2), (3, "R3", 3), (3, "R9", 9),
                                                 (6, "R8", 8), (2, "R7", 7)], start=3):
        defs.cell(row, 1, sheet)
        defs.cell(row, 2, tag)
        defs.cell(row, 3, routine)
    fill = PatternFill("solid", fgColor="FFCC99")
    for name in TRIAL_SHEETS[1:]:
        ws = wb.create_sheet(name)
        ws["J1"] = name + " notes"
        ws["J1"].font = Font(bold=True)
        ws.merge_cells("J1:L1")
        ws["J3"] = "=COUNT(B3:B22)"
        for ref in ("C3", "D4", "E5", "H3"):
            ws[ref].fill = fill
        ws["E3"].number_format = "0.0"
        ws["C3"] = "stale"    # inside every cleared block
        ws["H4"] = "stale"
    wb.save(book)
    as_desktop_program(book)


def check_trial_kept(book, template):
    import openpyxl

    xmllint(book)
    with zipfile.ZipFile(book) as out, zipfile.ZipFile(template) as tpl:
        out_names = set(out.namelist())
        for name in tpl.namelist():
            expect(name in out_names, "part %s is gone" % name)
            if name in out_names and not name.startswith("xl/worksheets/") and name not in (
                    "xl/workbook.xml", "xl/calcChain.xml"):
                expect(out.read(name) == tpl.read(name), "part %s was changed" % name)
    wb = openpyxl.load_workbook(book)
    expect(wb.sheetnames == TRIAL_SHEETS, "sheets: %r" % wb.sheetnames)
    for name in TRIAL_SHEETS[1:]:
        ws = wb[name]
        expect(ws["J1"].value == name + " notes" and ws["J1"].font.b, "%s!J1 title or its bold font lost" % name)
        expect([str(r) for r in ws.merged_cells.ranges] == ["J1:L1"], "%s merges: %r" % (name, ws.merged_cells.ranges))
        expect(ws["J3"].value == "=COUNT(B3:B22)", "%s!J3: %r" % (name, ws["J3"].value))
        for ref in ("C3", "D4", "E5", "H3"):
            expect(ws[ref].fill.fgColor.rgb == "00FFCC99", "%s!%s lost its fill" % (name, ref))
        expect(ws["E3"].number_format == "0.0", "%s!E3 format: %r" % (name, ws["E3"].number_format))
    defs = wb[TRIAL_SHEETS[0]]
    expect(defs["B3"].value == "R1" and defs["C6"].value == 9, "definitions changed")


def report_cells(book, sheet, checks):
    import openpyxl

    wb = openpyxl.load_workbook(book)
    ws = wb[sheet]
    for ref, want in zip(checks[0::2], checks[1::2]):
        got = ws[ref].value
        expect(str(got) == want, "%s!%s: %r, not %r" % (sheet, ref, got, want))


def main(argv):
    if len(argv) == 3 and argv[1] == "xmllint":
        xmllint(argv[2])
    elif len(argv) == 3 and argv[1] == "make-report-template":
        make_report_template(argv[2])
    elif len(argv) == 4 and argv[1] == "check-report":
        check_report(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "make-trial-template":
        make_trial_template(argv[2])
    elif len(argv) == 4 and argv[1] == "check-trial-kept":
        check_trial_kept(argv[2], argv[3])
    elif len(argv) >= 6 and len(argv) % 2 == 0 and argv[1] == "report-cells":
        report_cells(argv[2], argv[3], argv[4:])
    else:
        print(__doc__)
        return 2
    for f in faults:
        print(f)
    if faults:
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
