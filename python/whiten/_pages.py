"""Page files through the project's own readers, decoded as whiten-pages decodes them."""

from __future__ import annotations

import os
from typing import NamedTuple, Optional, Tuple

import numpy

from ._whiten import PageFile


class Page(NamedTuple):
    """A decoded page: its samples and the resolution its file states."""

    array: numpy.ndarray
    """uint8, top row first: (H, W) for a gray page, (H, W, 3) for a colour one."""
    dpi: Optional[Tuple[float, float]]
    """(dpi_x, dpi_y) as the file states them, or None when it states none."""


class PageIterator:
    """The pages of one file in file order, each decoded when it is asked for.

    page_count is the file's number of pages (1 but for a multi-page TIFF).
    A refused page raises PageRefused from next(); the iterator then stands at
    the page after it, so the file's other pages can still be read.
    """

    def __init__(self, path):
        self._file = PageFile(os.fsencode(path))
        self._next = 0
        self.page_count = self._file.page_count
        self.path = self._file.path

    def __iter__(self):
        return self

    def __next__(self) -> Page:
        if self._next >= self.page_count:
            raise StopIteration
        index = self._next
        self._next += 1
        return Page(*self._file.read(index))

    def __repr__(self):
        return f"<whiten.PageIterator {self.path!r}, page {self._next} of {self.page_count} next>"


def read_pages(path) -> PageIterator:
    """read_pages(path) -> iterator of Page(array, dpi)

    Reads the pages of a JPEG, PNG, TIFF (every page of a multi-page file) or
    24-bit BMP file with the readers of whiten-pages, so each page is decoded
    exactly as whiten-pages decodes it: a JPEG's EXIF orientation and a TIFF's
    Orientation tag applied, alpha composited on white, CMYK turned to RGB,
    palettes expanded, 16-bit samples cut to their high byte (man
    whiten-pages gives the rules). whiten.whiten(page.array) then gives the
    gray bytes whiten-pages writes for the page.

    Pages are decoded one at a time, as they are asked for, with the GIL
    released: the memory of one page at a time.

    The file is opened at once: OSError (with its errno and filename) when it
    cannot be opened, NotAPageFile (a PageRefused) when it is no page file by
    its first bytes. Each page may raise PageRefused (a ValueError: str() is
    the reader's one-line reason, .filename and .page say which page) or
    OSError when the file cannot be read; MemoryError when storage cannot be
    had.
    """
    return PageIterator(path)
