#!/usr/bin/env python3
"""Converts a 24-bit BMP into an RGB PNG, optionally scaled down, with the Python standard library only.

    python3 docs/bmp_to_png.py [--width N] IN.bmp OUT.png

--width N scales the picture to N pixels wide (height in proportion) by averaging the source
pixels each output pixel covers, so that fine print turns gray instead of flickering.
"""
import argparse
import struct
import zlib


def read_bmp(source: str):
    """Returns width, height and the rows top to bottom as lists of [r, g, b, r, g, b, ...]."""
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise SystemExit(f"{source}: {bits} bits per pixel, only 24-bit bitmaps are read")
    row_bytes = (3 * width + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        stored = height - 1 - y if height > 0 else y  # bottom-up files store the lowest line first
        bgr = data[offset + stored * row_bytes: offset + stored * row_bytes + 3 * width]
        rgb = bytearray(3 * width)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(rgb)
    return width, abs(height), rows


def coverage(source_size: int, target_size: int):
    """For each target index the (source index, weight) pairs it covers; the weights add up to 1."""
    scale = source_size / target_size
    spans = []
    for t in range(target_size):
        start, end = t * scale, (t + 1) * scale
        pairs = []
        s = int(start)
        while s < end and s < source_size:
            part = min(end, s + 1) - max(start, s)
            if part > 1e-12:
                pairs.append((s, part / scale))
            s += 1
        spans.append(pairs)
    return spans


def scale_rows(width: int, height: int, rows, target_width: int):
    """Area-averages the picture down (or up) to target_width, keeping its proportions."""
    target_height = max(1, round(height * target_width / width))
    across, down = coverage(width, target_width), coverage(height, target_height)
    narrow = []
    for row in rows:  # first each row to the new width, then the rows to the new height
        out = []
        for pairs in across:
            for c in range(3):
                out.append(sum(row[3 * s + c] * w for s, w in pairs))
        narrow.append(out)
    scaled = []
    for pairs in down:
        line = [0.0] * (3 * target_width)
        for s, w in pairs:
            source = narrow[s]
            line = [a + b * w for a, b in zip(line, source)]
        scaled.append(bytearray(min(255, int(v + 0.5)) for v in line))
    return target_width, target_height, scaled


def write_png(target: str, width: int, height: int, rows) -> None:
    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)  # filter type 0 on every line
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


def main() -> None:
    parser = argparse.ArgumentParser(description="24-bit BMP to PNG, optionally scaled.")
    parser.add_argument("--width", type=int, help="width of the PNG in pixels (height in proportion)")
    parser.add_argument("source")
    parser.add_argument("target")
    args = parser.parse_args()
    width, height, rows = read_bmp(args.source)
    if args.width and args.width != width:
        width, height, rows = scale_rows(width, height, rows, args.width)
    write_png(args.target, width, height, rows)


if __name__ == "__main__":
    main()
