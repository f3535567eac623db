"""Synthetic scanned pages with known text: clean print on paper, then the faults of real scans.

Every page is drawn at 200 dpi with DejaVu Serif (Debian's fonts-dejavu-core) and made the same
way each run (fixed random seeds), so that the OCR table is reproducible.
"""

from __future__ import annotations

import io
from dataclasses import dataclass

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf'
DPI = 200
WIDTH, HEIGHT = 1400, 900

# Plain English prose, one line of print per line; a different slice for every page.
TEXT = """\
The old library kept its books in a long room under the roof, where the light
came in from one side only and the far shelves stayed dark even at noon. Each
volume had been bound by hand, and many had been read so often that the paper
had turned the colour of weak tea. A scholar who wished to copy a page sat by
the window with his lamp, moving the book a little as the sun went round. He
wrote slowly, checking every word twice, because a single mistake in a copy
would travel into every copy made after it. Years later the same pages were
photographed for a national archive, quickly and without great care, so that
the pictures show the curve of the paper near the spine, a shadow along the
fold, and the yellow of age spreading from the edges towards the print. These
are the pictures that reading machines must now turn back into plain text."""


@dataclass(frozen=True)
class Page:
    name: str
    image: Image.Image  # L or RGB, with info['dpi']
    text: str


def _lines(first: int, count: int) -> list[str]:
    lines = TEXT.splitlines()
    return [lines[(first + i) % len(lines)] for i in range(count)]


def _print(lines: list[str], size: int = 30) -> np.ndarray:
    """Ink coverage in 0..1 of the lines set on a page of WIDTH x HEIGHT."""
    canvas = Image.new('L', (WIDTH, HEIGHT), 0)
    draw = ImageDraw.Draw(canvas)
    font = ImageFont.truetype(FONT, size)
    y = 70
    for line in lines:
        draw.text((70, y), line, font=font, fill=255)
        y += int(size * 1.9)
    return np.asarray(canvas, dtype=np.float64) / 255.0


def _grid() -> tuple[np.ndarray, np.ndarray]:
    y, x = np.mgrid[0:HEIGHT, 0:WIDTH]
    return x / WIDTH, y / HEIGHT


def _falloff(strength: float) -> np.ndarray:
    """Light falling off from an off-centre spot towards the corners: 1 at the spot."""
    x, y = _grid()
    return np.maximum(1.0 - strength * ((x - 0.65) ** 2 + (y - 0.4) ** 2) / 0.55, 0.2)


def _gutter(depth: float, width: float) -> np.ndarray:
    """A shadow along the left edge, the fold towards the spine."""
    x, _ = _grid()
    return 1.0 - depth * np.exp(-x / width)


def _compose(ink: np.ndarray, paper, print_colour, light: np.ndarray) -> np.ndarray:
    """Paper and print colours (RGB 0..255) under the light, as float RGB."""
    paper = np.asarray(paper, dtype=np.float64)
    print_colour = np.asarray(print_colour, dtype=np.float64)
    surface = paper + ink[..., None] * (print_colour - paper)
    return surface * light[..., None]


def _noise(rgb: np.ndarray, sigma: float, seed: int) -> np.ndarray:
    rng = np.random.default_rng(seed)
    return rgb + rng.normal(0.0, sigma, rgb.shape[:2])[..., None]


def _image(rgb: np.ndarray, gray: bool = False) -> Image.Image:
    data = np.clip(np.rint(rgb), 0, 255).astype(np.uint8)
    image = Image.fromarray(data, 'RGB')
    if gray:
        image = image.convert('L')
    image.info['dpi'] = (DPI, DPI)
    return image


def _jpeg(image: Image.Image, quality: int) -> Image.Image:
    stream = io.BytesIO()
    image.save(stream, format='JPEG', quality=quality)
    stream.seek(0)
    decoded = Image.open(stream)
    decoded.load()
    decoded.info['dpi'] = (DPI, DPI)
    return decoded


def pages() -> list[Page]:
    """The synthetic pages of the OCR table, easiest first."""
    made = []

    def add(name, first, count, build):
        lines = _lines(first, count)
        made.append(Page(name, build(_print(lines)), ' '.join(lines)))

    white, black = (235, 235, 232), (25, 25, 25)
    yellow, brown = (222, 200, 150), (70, 50, 30)
    add('uneven light', 0, 9, lambda ink: _image(
        _compose(ink, white, black, _falloff(0.75)), gray=True))
    add('yellowed paper', 2, 9, lambda ink: _image(
        _compose(ink, yellow, brown, _falloff(0.25))))
    add('gutter shadow', 4, 9, lambda ink: _image(
        _compose(ink, white, black, _gutter(0.85, 0.18)), gray=True))
    add('noise', 1, 9, lambda ink: _image(
        _noise(_compose(ink, (200, 200, 198), (60, 60, 60), _falloff(0.4)), 28.0, 1), gray=True))
    add('JPEG q20', 3, 9, lambda ink: _jpeg(_image(
        _compose(ink, yellow, brown, _falloff(0.5) * _gutter(0.4, 0.12))), 20))
    # Hard pages: faint print deep in shadow; everything at once.
    add('hard: faint print, dark corner', 5, 9, lambda ink: _image(
        _compose(ink, (190, 185, 170), (120, 110, 95), _falloff(1.05)), gray=True))
    add('hard: all faults', 6, 9, lambda ink: _jpeg(_image(_noise(
        _compose(ink, yellow, (95, 75, 50), _falloff(0.8) * _gutter(0.8, 0.15)), 18.0, 2)), 30))
    return made
