# Type stubs of the package whiten.
import os
from typing import Final, Iterator, NamedTuple

import numpy
import numpy.typing
from PIL import Image

# Annotated where they are defined.
from ._pages import FileOutcome as FileOutcome, PageProblem as PageProblem

__version__: Final[str]
MAX_SIDE: Final[int]
MAX_PIXELS: Final[int]

_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]

class PageRefused(ValueError):
    filename: str
    page: int | None
    outcome: FileOutcome | None

class NotAPageFile(PageRefused): ...

class PageFailed(OSError):
    filename: str
    outcome: FileOutcome

class Page(NamedTuple):
    array: numpy.typing.NDArray[numpy.uint8]
    dpi: tuple[float, float] | None

class PageIterator(Iterator[Page]):
    page_count: int
    path: str
    def __iter__(self) -> PageIterator: ...
    def __next__(self) -> Page: ...

def whiten(page: numpy.typing.NDArray[numpy.uint8], threads: int | None = None) -> numpy.typing.NDArray[numpy.uint8]: ...
def whiten_image(image: Image.Image, threads: int | None = None) -> Image.Image: ...
def read_pages(path: _Path) -> PageIterator: ...
def whiten_file(
    src: _Path,
    dst: _Path,
    format: str | None = None,
    quality: int = 90,
    threads: int | None = None,
    keep_existing: bool = False,
    check: bool = True,
    show_as: tuple[_Path, _Path] | None = None,
) -> FileOutcome: ...
def default_threads() -> int: ...
