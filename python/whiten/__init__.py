"""Makes the paper of scanned book pages white.

whiten(page) whitens a numpy uint8 array, whiten_image(image) a Pillow image;
both give exactly the gray bytes the whiten tool writes for a 24-bit bitmap of
the same picture. read_pages(path) decodes a JPEG, PNG, TIFF or BMP file's
pages as whiten-pages does, whiten_file(src, dst) does one file's whole job
as whiten-pages does it. See help(whiten.whiten) for the contract and the
limits.
"""

from ._pages import FileOutcome, Page, PageFailed, PageIterator, PageProblem, read_pages, whiten_file
from ._whiten import MAX_PIXELS, MAX_SIDE, NotAPageFile, PageRefused, __version__, default_threads, whiten

__all__ = [
    "whiten",
    "whiten_image",
    "read_pages",
    "whiten_file",
    "Page",
    "PageIterator",
    "FileOutcome",
    "PageProblem",
    "PageRefused",
    "NotAPageFile",
    "PageFailed",
    "default_threads",
    "MAX_SIDE",
    "MAX_PIXELS",
    "__version__",
]


def whiten_image(image, threads=None):
    """whiten_image(image, threads=None) -> PIL.Image.Image

    Whitens a Pillow image as whiten-pages whitens the file it was opened
    from: whiten_image(Image.open(path)) has the pixels of whiten-pages's
    output for that file (for a multi-page TIFF, of the frame Pillow is at).
    To that end the image's samples are first brought to the rules of the
    project's readers (see whiten.read_pages): a JPEG's EXIF orientation and a
    TIFF's Orientation tag turn the page upright (only for those files, as
    Pillow opened them; an image made or turned in memory is taken as it is);
    alpha (RGBA, LA, PA, a palette's or a PNG's transparent colour) is
    composited on white, v' = (v a + 255 (255 - a) + 127) // 255; CMYK becomes
    RGB as R = ((255 - C)(255 - K) + 127) // 255; 16-bit gray (I;16 ..., and a
    16-bit PNG's mode I) keeps its high byte; a palette gives its colours.

    Returns a new mode L image, upright, with the input's info['dpi'] when it
    has one (its sides swapped when the page was turned a quarter).

    Raises ValueError for a 1-bit image (nothing to whiten), for modes the
    readers have no rule for (I and F from other files; say what to convert
    to), and where Pillow's samples no longer hold what the readers read (a
    TIFF's premultiplied alpha, a 16-bit PNG's transparent colour): the
    message points to whiten.read_pages. Otherwise as whiten() does.
    """
    from PIL import Image

    from ._pillow import samples_of

    if not isinstance(image, Image.Image):
        raise TypeError(f"whiten_image: takes a PIL.Image.Image, not {type(image).__name__}")
    samples, turned = samples_of(image)
    result = Image.fromarray(whiten(samples, threads), mode="L")
    dpi = image.info.get("dpi")
    if dpi is not None:
        result.info["dpi"] = (dpi[1], dpi[0]) if turned else dpi
    return result
