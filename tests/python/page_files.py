# Page files the tests need and Pillow does not write (2- and 4-bit gray and 16-bit colour PNG,
# tiled, inverted-gray, 16-bit colour and turned TIFF), built field by field.
import struct
import zlib

import numpy as np


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes(samples, colour_type, bit_depth=8, trns=None):
    """A PNG of `samples` (uint8 values below 2**bit_depth, or uint16 for 16 bits), no palette."""
    height, width = samples.shape[:2]
    if bit_depth < 8:
        per_byte = 8 // bit_depth
        padded = np.zeros((height, -(-width // per_byte) * per_byte), np.uint8)
        padded[:, :width] = samples
        groups = padded.reshape(height, -1, per_byte).astype(np.uint16)
        shifts = bit_depth * np.arange(per_byte - 1, -1, -1)
        rows = (groups << shifts).sum(axis=2).astype(np.uint8)
    else:
        rows = samples.astype(">u2" if bit_depth == 16 else np.uint8).reshape(height, -1).view(np.uint8)
    raw = b"".join(b"\0" + row.tobytes() for row in rows)
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    chunks = [_chunk(b"IHDR", ihdr)]
    if trns is not None:
        chunks.append(_chunk(b"tRNS", struct.pack(">" + "H" * len(trns), *trns)))
    chunks += [_chunk(b"IDAT", zlib.compress(raw)), _chunk(b"IEND", b"")]
    return b"\x89PNG\r\n\x1a\n" + b"".join(chunks)


SHORT, LONG, RATIONAL = 3, 4, 5


def _blocks(samples, tile, rows):
    """The page's stored blocks, raw: strips of `rows` rows, or tile x tile tiles padded with zeros."""
    if tile is None:
        return [samples[top:top + rows].tobytes() for top in range(0, samples.shape[0], rows)]
    height, width = samples.shape[:2]
    padded = np.zeros((-(-height // tile) * tile, -(-width // tile) * tile) + samples.shape[2:], samples.dtype)
    padded[:height, :width] = samples
    return [padded[top:top + tile, left:left + tile].tobytes()
            for top in range(0, padded.shape[0], tile) for left in range(0, padded.shape[1], tile)]


def tiff_bytes(pages):
    """A little-endian TIFF of the pages: dicts of samples (H, W[, C], uint8 or uint16 in host order),
    photometric, and optionally tile (a side) or rows (a strip's, 16 by default), deflate (bool),
    blocks (the stored strips, made elsewhere: a JPEG stream ...) and tags {tag: (type, [values])}."""
    out = bytearray(b"II*\0\0\0\0\0")
    link = 4  # where the offset of the next directory goes
    for page in pages:
        samples = page["samples"]
        height, width = samples.shape[:2]
        spp = samples.shape[2] if samples.ndim == 3 else 1
        rows = page.get("rows", 16)
        blocks = page.get("blocks") or _blocks(samples, page.get("tile"), rows)
        if page.get("deflate"):
            blocks = [zlib.compress(block) for block in blocks]
        offsets = []
        for block in blocks:
            offsets.append(len(out))
            out += block + b"\0" * (len(block) & 1)
        tags = {256: (LONG, [width]), 257: (LONG, [height]), 258: (SHORT, [8 * samples.itemsize] * spp),
                259: (SHORT, [8 if page.get("deflate") else 1]), 262: (SHORT, [page["photometric"]]),
                277: (SHORT, [spp]), 284: (SHORT, [1])}
        if page.get("tile"):
            tags.update({322: (LONG, [page["tile"]]), 323: (LONG, [page["tile"]]), 324: (LONG, offsets),
                         325: (LONG, [len(b) for b in blocks])})
        else:
            tags.update({273: (LONG, offsets), 278: (LONG, [rows]), 279: (LONG, [len(b) for b in blocks])})
        tags.update(page.get("tags", {}))
        struct.pack_into("<I", out, link, len(out))
        directory = len(out)
        out += struct.pack("<H", len(tags)) + b"\0" * (12 * len(tags)) + b"\0\0\0\0"
        for i, (tag, (kind, values)) in enumerate(sorted(tags.items())):
            data = struct.pack("<" + {SHORT: "H", LONG: "I", RATIONAL: "II"}[kind] * len(values),
                               *[v for value in values for v in (value if kind == RATIONAL else (value,))])
            if len(data) > 4:
                where = len(out)
                out += data + b"\0" * (len(data) & 1)
                data = struct.pack("<I", where)
            struct.pack_into("<HHI4s", out, directory + 2 + 12 * i, tag, kind, len(values), data.ljust(4, b"\0"))
        link = directory + 2 + 12 * len(tags)
    return bytes(out)
