"""Makes the paper of scanned book pages white.

whiten(page) whitens a numpy uint8 array, whiten_image(image) a Pillow image;
both give exactly the gray bytes the whiten tool writes for a 24-bit bitmap of
the same picture. See help(whiten.whiten) for the contract and the limits.
"""

from ._whiten import MAX_PIXELS, MAX_SIDE, __version__, default_threads, whiten

__all__ = ["whiten", "whiten_image", "default_threads", "MAX_SIDE", "MAX_PIXELS", "__version__"]

# Pillow modes read as they are (RGBA: alpha ignored, as the fourth sample of
# whiten()), and those converted first: a palette to its colours, gray with
# alpha to its gray band.
_DIRECT_MODES = ("L", "RGB", "RGBA")
_WIDE_MODES = ("I", "F")


def whiten_image(image):
    """whiten_image(image) -> PIL.Image.Image

    Whitens a Pillow image of mode L, RGB, RGBA, P or LA (alpha is ignored, a
    palette image is whitened by its colours) and returns a new image of mode
    L of the same size, with the input's info['dpi'] when it has one. The
    result's pixels are whiten(numpy.asarray(image)) for modes L, RGB and RGBA.

    Raises ValueError for other modes, saying what to convert the image to
    first, and as whiten() does for an empty or oversized page.
    """
    import numpy
    from PIL import Image

    if not isinstance(image, Image.Image):
        raise TypeError(f"whiten_image: takes a PIL.Image.Image, not {type(image).__name__}")
    mode = image.mode
    if mode in _DIRECT_MODES:
        page = image
    elif mode == "P":
        page = image.convert("RGB")
    elif mode == "LA":
        page = image.getchannel("L")
    elif mode in _WIDE_MODES or mode.startswith("I;"):
        raise ValueError(
            f"whiten_image: mode {mode!r} has samples of more than 8 bits; scale them to 0 .. 255 "
            "and make a mode 'L' image first (image.convert('L') clips at 255 instead of scaling)"
        )
    else:
        raise ValueError(
            f"whiten_image: takes modes L, RGB, RGBA, P and LA, not {mode!r}; "
            "convert it with image.convert('L') or image.convert('RGB') first"
        )
    result = Image.fromarray(whiten(numpy.asarray(page)), mode="L")
    if "dpi" in image.info:
        result.info["dpi"] = image.info["dpi"]
    return result
