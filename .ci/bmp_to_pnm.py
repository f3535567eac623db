"""Writes a 24-bit bitmap as a binary PPM (or, with --gray, the first byte of
each pixel as a PGM), top row first: the form the example consumer reads."""
import struct
import sys


def main(argv):
    gray = argv[0] == "--gray"
    source, target = argv[1:] if gray else argv
    data = open(source, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    row_bytes = (3 * width + 3) // 4 * 4
    rows = [data[offset + y * row_bytes:offset + y * row_bytes + 3 * width] for y in range(abs(height))]
    if height > 0:
        rows.reverse()  # bottom-up: the file's first row is the picture's last
    with open(target, "wb") as out:
        out.write(b"P5\n" if gray else b"P6\n")
        out.write(b"%d %d\n255\n" % (width, abs(height)))
        for row in rows:
            out.write(row[0::3] if gray else b"".join(row[i:i + 3][::-1] for i in range(0, len(row), 3)))


if __name__ == "__main__":
    main(sys.argv[1:])
