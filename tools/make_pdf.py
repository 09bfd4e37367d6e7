#!/usr/bin/env python3
"""Writes a PDF of several text pages, padded with an unused stream of random
bytes to about the size asked for (a document large enough to be sent in many
pieces, which pdftotext still reads).

  make_pdf.py out.pdf pages megabytes
"""
import os
import sys


def make_pdf(pages, size):
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [%s] /Count %d >>" % (
                   b" ".join(b"%d 0 R" % (4 + 2 * i) for i in range(pages)), pages),
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    for i in range(pages):
        text = b"BT /F1 24 Tf 72 720 Td (Vellumix test page %d of %d) Tj ET" % (i + 1, pages)
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                       b"/Resources << /Font << /F1 3 0 R >> >> >>" % (5 + 2 * i))
        objects.append(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))
    padding = os.urandom(max(0, size - 1000 * pages - 1000))
    objects.append(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(padding), padding))
    out, offsets = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"), []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % at for at in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as f:
        f.write(make_pdf(int(sys.argv[2]), int(float(sys.argv[3]) * 1e6)))
