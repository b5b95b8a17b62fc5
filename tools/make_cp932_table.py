#!/usr/bin/env python3
"""Writes catalogue/Cp932Table.inc: the CP932 decoding table compiled into
the program, taken from this machine's CP932 converter (glibc iconv).

Every single byte from 0x80 and every lead byte with every trail byte from
0x40 is given to the converter alone; what decodes to exactly one UTF-16
unit is entered, anything else is 0 (no character). Bytes below 0x80 are
ASCII and not in the table.

    tools/make_cp932_table.py [--out FILE]   (default: catalogue/Cp932Table.inc)

tests/catalogue/UnitFileTest.cpp checks the compiled table against the
converter of the machine the tests run on.
"""

import argparse
import ctypes
import os
import sys

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = range(0x40, 0x100)


class Converter:
    def __init__(self):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        self.libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
        self.cd = self.libc.iconv_open(b"UTF-16LE", b"CP932")
        if self.cd is None or self.cd == ctypes.c_void_p(-1).value:
            sys.exit("this machine's iconv has no CP932 converter")

    def decode(self, data):
        """The one UTF-16 unit the bytes decode to, or 0."""
        inbuf = ctypes.create_string_buffer(data, len(data))
        outbuf = ctypes.create_string_buffer(8)
        inptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        outptr = ctypes.c_char_p(ctypes.addressof(outbuf))
        inleft = ctypes.c_size_t(len(data))
        outleft = ctypes.c_size_t(8)
        rc = self.libc.iconv(self.cd, ctypes.byref(inptr), ctypes.byref(inleft),
                             ctypes.byref(outptr), ctypes.byref(outleft))
        self.libc.iconv(self.cd, None, None, None, None)
        if rc == ctypes.c_size_t(-1).value or inleft.value != 0 or outleft.value != 6:
            return 0
        return int.from_bytes(outbuf.raw[:2], "little")


def rows(values, per_line=12):
    return ["    " + ", ".join("0x%04X" % v for v in values[i:i + per_line]) + ","
            for i in range(0, len(values), per_line)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--out", default=os.path.join(root, "catalogue", "Cp932Table.inc"))
    args = parser.parse_args()

    conv = Converter()
    single = [0 if b in LEADS else conv.decode(bytes([b])) for b in range(0x80, 0x100)]
    pairs = [conv.decode(bytes([lead, trail])) for lead in LEADS for trail in TRAILS]

    lines = [
        "// CP932 to UTF-16, written by tools/make_cp932_table.py from the system's",
        "// CP932 converter; do not edit. 0 is no character.",
        "",
        "// The bytes 0x80 to 0xFF alone (0 for the lead bytes).",
        "inline constexpr char16_t kCp932Single[128] = {",
    ] + rows(single) + [
        "};",
        "",
        "// Lead bytes 0x81 to 0x9F, then 0xE0 to 0xFC; for each, the trail bytes",
        "// 0x40 to 0xFF.",
        "inline constexpr char16_t kCp932Pairs[%d] = {" % len(pairs),
    ] + rows(pairs) + ["};", ""]
    with open(args.out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines))
    print("%s: %d characters" % (args.out, sum(1 for v in single + pairs if v)))


if __name__ == "__main__":
    main()
