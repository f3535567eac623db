"""Page files through the project's own readers and run: pages decoded as whiten-pages decodes
them, and one file's whole job as whiten-pages does it."""

from __future__ import annotations

import itertools
import os
from typing import List, NamedTuple, Optional, Tuple

import numpy

from . import _whiten
from ._whiten import PageFile, PageRefused


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
        self._indices = itertools.count()  # each page handed out once, whichever thread asks
        self.page_count = self._file.page_count
        self.path = self._file.path

    def __iter__(self):
        return self

    def __next__(self) -> Page:
        index = next(self._indices)
        if index >= self.page_count:
            raise StopIteration
        return Page(*self._file.read(index))

    def __repr__(self):
        return f"<whiten.PageIterator {self.path!r}, {self.page_count} pages>"


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


class PageFailed(OSError):
    """A page the system failed for: its file unreadable, its output not written, storage.

    .outcome is the FileOutcome of the file, .filename its input.
    """

    def __str__(self):
        return self.args[0]  # the problem line alone: OSError's own form wants an errno


class PageProblem(NamedTuple):
    """A page not whitened, or an output of several pages lost unfinished."""

    page: Optional[int]
    """the 0-based page; None for a line about the file as a whole (an output lost, its pages counted)"""
    refused: bool
    """the file's own fault; False: failed, the system's"""
    reason: str
    """what the line tells after "refused: " or "failed: ", names quoted"""
    line: str
    """the line as whiten-pages prints it, as "book.tif (page 3 of 9): refused: REASON" """


class FileOutcome(NamedTuple):
    """What whiten_file did with one input file."""

    input: str
    pages: int
    """the input's pages (0 when skipped)"""
    whitened: int
    """pages now in complete outputs"""
    outputs: List[str]
    """the complete outputs written, in page order; for a skipped file, those that were there"""
    problems: List[str]
    """one line per refused or failed page and per output lost, as whiten-pages prints them"""
    skipped: bool
    """keep_existing and every output there: nothing was read or written"""
    refused: bool
    """some page was refused: the file's own fault (broken, too large, not a page)"""
    failed: bool
    """some page failed: the system's fault (unreadable, unwritable, no memory)"""
    stop_reason: Optional[str]
    """a failure no later file escapes either (disk or quota full, read-only or unwritable folder)"""
    lines: List[str] = []
    """every line whiten-pages prints for the file, in the order told: "IN -> OUT" for each page
    whitened, the problems' lines; for a skipped file, "IN: skipped: OUT already there" """
    page_problems: List[PageProblem] = []
    """the problems one by one, in the order of problems: which page, refused or failed, why"""

    def check(self) -> "FileOutcome":
        """Raises PageFailed (the system's fault) or PageRefused (the file's) when some page was not
        whitened, naming its first problem line; returns the outcome otherwise."""
        if not (self.failed or self.refused or self.stop_reason):
            return self
        lines = self.problems or [self.stop_reason]
        message = lines[0] + (f" (and {len(lines) - 1} more: see .outcome.problems)" if len(lines) > 1 else "")
        error = PageFailed(message) if self.failed or self.stop_reason else PageRefused(message)
        error.filename = self.input
        error.page = None
        error.outcome = self
        raise error


def outcome_of(fields: dict) -> FileOutcome:
    """The FileOutcome of the compiled module's fields for it."""
    return FileOutcome(**dict(fields, page_problems=[PageProblem(*p) for p in fields["page_problems"]]))


_FORMATS = {"png": "png", "tif": "tiff", "tiff": "tiff", "jpg": "jpeg", "jpeg": "jpeg", "bmp": "bmp"}


def whiten_file(src, dst, format=None, quality=90, threads=None, keep_existing=False, check=True,
                show_as=None) -> FileOutcome:
    """whiten_file(src, dst, format=None, quality=90, threads=None, keep_existing=False, check=True,
    show_as=None) -> FileOutcome

    Whitens every page of the file src into dst, in C++ through the run of
    whiten-pages, with the GIL released for the whole job: the same pages,
    bytes and problem lines as whiten-pages for that input.

    dst's folder is made when missing. format: 'png', 'tiff' ('tif'), 'jpeg'
    ('jpg') or 'bmp'; None takes it from dst's extension (any letter case).
    The pages of a multi-page TIFF all go into dst for a TIFF; for other
    formats one a file, beside dst as STEM-0001.EXT, STEM-0002.EXT ...
    quality: the JPEG quality, 1 .. 100. threads: None or 0 for every core,
    or a count, as for whiten(). keep_existing: when every output the file
    would make is there already, nothing is read or written and the outcome
    says skipped (for reruns that finish what an earlier run left).
    show_as: None, or (src_name, dst_name), the names the outcome and its
    lines give src and dst (and the names made from dst) when the paths
    opened are not the caller's own: whiten.dask's workers open absolute
    paths and tell the names the user gave.

    An output is complete or absent: it is written beside its final name and
    renamed once done, and never replaces the input (that page is refused).

    Returns a FileOutcome. With check=True (the default) a page that was not
    whitened raises, after the file's other pages are written: PageRefused
    (a ValueError: the file's fault) or PageFailed (an OSError: the system's),
    whose message is the first problem line and whose .outcome is the
    FileOutcome; check=False returns the outcome instead, for callers that
    gather them (outcome.check() raises later). Raises ValueError before
    anything is read for a format that cannot be told, a quality outside
    1 .. 100 or a negative thread count; MemoryError when the run cannot be
    set up. Called on the main thread, Ctrl-C stops it within about a tenth
    of a second once the page under way is decoded (KeyboardInterrupt): no
    unfinished output is left.
    """
    if format is not None:
        if not isinstance(format, str) or format.lower() not in _FORMATS:
            raise ValueError(f"whiten_file: format is None, 'png', 'tiff', 'jpeg' or 'bmp', not {format!r}")
        format = _FORMATS[format.lower()]
    if isinstance(quality, bool) or not isinstance(quality, int):
        raise TypeError(f"whiten_file: quality is an int, not {type(quality).__name__}")
    shown = (b"", b"") if show_as is None else tuple(os.fsencode(name) for name in show_as)
    if len(shown) != 2:
        raise ValueError(f"whiten_file: show_as is None or (src_name, dst_name), not {show_as!r}")
    outcome = outcome_of(_whiten.whiten_file(os.fsencode(src), os.fsencode(dst), format, quality, threads,
                                             bool(keep_existing), *shown))
    return outcome.check() if check else outcome
