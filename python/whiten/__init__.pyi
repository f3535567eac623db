# Type stubs of the package whiten.
from typing import Final

import numpy
import numpy.typing
from PIL import Image

__version__: Final[str]
MAX_SIDE: Final[int]
MAX_PIXELS: Final[int]

def whiten(page: numpy.typing.NDArray[numpy.uint8], threads: int | None = None) -> numpy.typing.NDArray[numpy.uint8]: ...
def whiten_image(image: Image.Image) -> Image.Image: ...
def default_threads() -> int: ...
