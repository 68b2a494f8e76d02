#!/usr/bin/env python3
"""Writes a small ICC v2 display profile with Adobe RGB (1998)'s primaries and gamma: the
wide-gamut profile a camera or an editor embeds, made here without any colour library.
Usage: make_wide_profile.py OUT.icc"""
import struct
import sys

def s15(v):
    return struct.pack(">i", int(round(v * 65536)))

def xyz(x, y, z):
    return b"XYZ " + b"\0" * 4 + s15(x) + s15(y) + s15(z)

def desc(text):
    ascii_text = text.encode("ascii") + b"\0"
    body = b"desc" + b"\0" * 4 + struct.pack(">I", len(ascii_text)) + ascii_text
    return body + b"\0" * 8 + b"\0" * 3 + b"\0" * 67  # no Unicode, no ScriptCode

def text(t):
    return b"text" + b"\0" * 4 + t.encode("ascii") + b"\0"

def curve(gamma):
    return b"curv" + b"\0" * 4 + struct.pack(">IH", 1, int(round(gamma * 256))) + b"\0\0"

# Adobe RGB (1998) colorants adapted to D50, as the published profile states them.
tags = [
    (b"desc", desc("Quillet check wide gamut")),
    (b"cprt", text("No copyright, test profile")),
    (b"wtpt", xyz(0.96420, 1.00000, 0.82491)),
    (b"rXYZ", xyz(0.60974, 0.31111, 0.01947)),
    (b"gXYZ", xyz(0.20528, 0.62567, 0.06087)),
    (b"bXYZ", xyz(0.14919, 0.06322, 0.74457)),
    (b"rTRC", curve(563 / 256)),
    (b"gTRC", curve(563 / 256)),
    (b"bTRC", curve(563 / 256)),
]
table = struct.pack(">I", len(tags))
data = b""
offset = 128 + 4 + 12 * len(tags)
for sig, body in tags:
    while (offset + len(data)) % 4:
        data += b"\0"
    table += sig + struct.pack(">II", offset + len(data), len(body))
    data += body
size = 128 + len(table) + len(data)
header = struct.pack(">I", size) + b"lcms" + struct.pack(">I", 0x02100000) + b"mntrRGB XYZ "
header += struct.pack(">6H", 2024, 1, 1, 0, 0, 0) + b"acsp" + b"APPL" + b"\0" * 4
header += b"\0" * 8 + b"\0" * 8 + struct.pack(">I", 0) + s15(0.9642) + s15(1.0) + s15(0.8249)
header += b"\0" * 4 + b"\0" * 16
header += b"\0" * (128 - len(header))
with open(sys.argv[1], "wb") as out:
    out.write(header + table + data)
