"""Pillow images as the project's readers decode their files.

whiten_image(Image.open(path)) must give the bytes whiten-pages writes for the
file, so Pillow's samples are brought to the readers' rules (man whiten-pages):
alpha and a PNG's transparent colour composited on white, CMYK turned to RGB,
16-bit samples cut to their high byte, a JPEG's or TIFF's orientation applied.
Where Pillow's samples no longer hold what the readers read, the image is
refused with a pointer to whiten.read_pages rather than whitened otherwise.
"""

from __future__ import annotations

import numpy

_SIXTEEN_BIT_GRAY = ("I;16", "I;16B", "I;16L", "I;16N")
_JPEG = ("JPEG", "MPO")
_TIFF_ORIENTATION, _TIFF_PHOTOMETRIC, _TIFF_EXTRA_SAMPLES = 274, 262, 338
_EXIF_ORIENTATION = 0x0112
_MINISWHITE, _ASSOCIATED_ALPHA = 0, 1


class _NotAsTheReaders(ValueError):
    """Pillow's samples of this image are not those the project's readers give."""

    def __init__(self, what):
        super().__init__(f"whiten_image: {what}; whiten.read_pages(path) reads the file as whiten-pages does")


def _on_white(colours, alpha):
    """The readers' compositing: (v a + 255 (255 - a) + 127) // 255, in integers."""
    v = colours.astype(numpy.uint32)
    a = alpha.astype(numpy.uint32)
    if v.ndim == 3:
        a = a[..., None]
    return ((v * a + 255 * (255 - a) + 127) // 255).astype(numpy.uint8)


def _cmyk_to_rgb(cmyk):
    """The readers' R = ((255 - C)(255 - K) + 127) // 255, for plain (not inverted) samples."""
    c = cmyk.astype(numpy.uint32)
    return (((255 - c[..., :3]) * (255 - c[..., 3:]) + 127) // 255).astype(numpy.uint8)


def _png_rawmode(image):
    """How a PNG's samples are stored (Pillow's raw mode: 'L;2', 'RGB;16B' ...) until it is loaded; else None."""
    return image.tile[0][3] if image.format == "PNG" and image.tile else None


def _transparent_colour(image, rawmode, samples):
    """The alpha of a PNG's tRNS colour (gray or RGB): 0 where a pixel is that colour, 255 elsewhere.

    The colour is stored at the file's bit depth, Pillow's samples are 8-bit
    (16-bit gray: mode I), so the depth must be known: from the raw mode while
    the image is not loaded, or from a colour no lower depth can hold.
    """
    colour = image.info["transparency"]
    if image.mode == "RGB":
        if rawmode != "RGB":  # 16-bit samples, or not known: Pillow kept only their high bytes
            raise _NotAsTheReaders("this PNG's transparent colour cannot be found on Pillow's 8-bit samples")
        hidden = numpy.all(samples == numpy.array(colour, numpy.uint8), axis=2)
    else:
        if rawmode is None and image.mode == "L" and colour > 15:
            rawmode = "L"
        scale = {"L": 1, "L;4": 17, "L;2": 85, "I;16B": 1}.get(rawmode)
        if scale is None:
            raise _NotAsTheReaders("the bit depth of this loaded PNG's transparent gray is not known")
        hidden = samples == colour * scale
    return numpy.where(hidden, 0, 255).astype(numpy.uint8)


def _orientation(image):
    """The orientation the readers apply: a JPEG's EXIF one (its first Exif segment, not XMP's) or a
    TIFF's tag, 1 .. 8; 1 for other files and for images made in memory."""
    value = 1
    if image.format in _JPEG and "exif" in image.info:
        from PIL import Image

        exif = Image.Exif()
        try:
            exif.load(image.info["exif"])
            value = exif.get(_EXIF_ORIENTATION, 1)
        except Exception:  # a broken segment counts as none, as for the readers
            value = 1
    elif image.format == "TIFF":
        value = image.tag_v2.get(_TIFF_ORIENTATION, 1)
    return value if isinstance(value, int) and 1 <= value <= 8 else 1


def _upright(samples, orientation):
    """The stored page seen upright, as the readers' ApplyOrientation turns it."""
    if orientation in (2, 3, 7, 8):
        samples = samples[:, ::-1]
    if orientation in (3, 4, 6, 7):
        samples = samples[::-1]
    if orientation >= 5:
        samples = samples.swapaxes(0, 1)
    return samples


def _tiff_tag(image, tag):
    return image.tag_v2.get(tag) if image.format == "TIFF" else None


def _alpha_samples(image):
    """Samples of an image with an alpha band, composited as the readers do."""
    if _tiff_tag(image, _TIFF_EXTRA_SAMPLES) in (_ASSOCIATED_ALPHA, (_ASSOCIATED_ALPHA,)):
        raise _NotAsTheReaders("Pillow divides this TIFF's premultiplied colours by their alpha, losing them")
    pixels = numpy.asarray(image)
    return _on_white(pixels[..., :-1].squeeze(axis=2) if image.mode == "LA" else pixels[..., :3], pixels[..., -1])


def _colour_samples(image, rawmode):
    """Samples of a mode L, RGB, P, CMYK or 16-bit gray image, transparent colours composited."""
    mode = image.mode
    if mode == "P":
        if "transparency" in image.info:
            return _alpha_samples(image.convert("RGBA"))
        return numpy.asarray(image.convert("RGB"))
    if mode == "CMYK":
        cmyk = numpy.asarray(image)
        # Pillow inverts every CMYK JPEG; the readers only those with Adobe's marker.
        if image.format in _JPEG and "adobe" not in image.info:
            cmyk = 255 - cmyk
        return _cmyk_to_rgb(cmyk)
    wide = mode in _SIXTEEN_BIT_GRAY or mode == "I"
    samples = numpy.asarray(image)
    if wide:
        transparent = samples  # a 16-bit transparent gray is compared at 16 bits
        samples = (samples.astype(numpy.uint32) >> 8).astype(numpy.uint8)
        if _tiff_tag(image, _TIFF_PHOTOMETRIC) == _MINISWHITE:
            samples = 255 - samples
    if image.info.get("transparency") is not None and image.format == "PNG":
        alpha = _transparent_colour(image, rawmode, transparent if wide else samples)
        return _on_white(samples, alpha)
    return samples


def samples_of(image):
    """The page's samples as the project's readers decode its file, and whether it was turned a quarter.

    Returns (uint8 array of shape (H, W) or (H, W, 3), transposed).
    """
    rawmode = _png_rawmode(image)
    # Loaded before numpy sees it: Pillow turns a TIFF upright as it loads it,
    # and an array made before would take the stored page's shape.
    image.load()
    mode = image.mode
    if mode == "1":
        raise ValueError("whiten_image: 1-bit page: nothing to whiten (image.convert('L') first to whiten it anyway)")
    if mode == "I" and image.format != "PNG":
        raise _NotAsTheReaders(f"mode 'I' has samples of more than 8 bits, of no file kind the readers take")
    if mode in ("RGBA", "LA", "PA"):
        samples = _alpha_samples(image.convert("RGBA") if mode == "PA" else image)
    elif mode in ("L", "RGB", "P", "CMYK", "I") or mode in _SIXTEEN_BIT_GRAY:
        samples = _colour_samples(image, rawmode)
    elif mode == "F" or mode.startswith("I;"):
        raise _NotAsTheReaders(f"mode {mode!r} has samples of more than 8 bits that the readers do not take")
    else:
        raise ValueError(
            f"whiten_image: takes modes L, RGB, RGBA, P, PA, LA, CMYK and 16-bit gray, not {mode!r}; "
            "convert it with image.convert('L') or image.convert('RGB') first"
        )
    orientation = _orientation(image)
    if image.format in _JPEG:  # Pillow has turned a TIFF, not a JPEG
        samples = _upright(samples, orientation)
    return samples, orientation >= 5
