#!/usr/bin/env python3
"""Converts a 24-bit bottom-up BMP (54-byte header) into a PNG, standard library only."""
import struct
import sys
import zlib


def convert(source: str, target: str) -> None:
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    row_bytes = (3 * width + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        stored = height - 1 - y if height > 0 else y  # the file's first row is the bottom line
        row = data[offset + stored * row_bytes: offset + stored * row_bytes + 3 * width]
        rgb = bytearray(3 * width)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    convert(sys.argv[1], sys.argv[2])
