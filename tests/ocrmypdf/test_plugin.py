# whiten.ocrmypdf through the real ocrmypdf command, on a four-page PDF: the demo page (colour
# PNG), two pages of known words (gray PNG, gray JPEG) and a bilevel page. Each case checks the
# output's page images against the input pages' rasters, its text layer and its page sizes.
# Needs ocrmypdf, tesseract's English data, unpaper and poppler-utils; the package whiten (the
# build's or an installed one) on PYTHONPATH.
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from PIL import Image, ImageDraw, ImageFont

import whiten

ROOT = Path(__file__).resolve().parents[2]
HERE = Path(__file__).resolve().parent
DEMO = ROOT / "samples" / "lapide.052.100.bmp"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
DPI = 150

# The known words of the synthetic pages (pages 2, 3 and 4).
WORDS = [
    "quartz lantern meadow",
    "velvet harbour crimson",
    "orchard pebble thunder",
    "silver window garden",
    "copper violin river",
]


def printed(lines, background):
    """A page of print on the given (H, W) paper, lit unevenly as a photographed page is."""
    page = Image.fromarray(background, "L")
    draw = ImageDraw.Draw(page)
    font = ImageFont.truetype(FONT, 34)
    for row, line in enumerate(lines):
        draw.text((50, 50 + 80 * row), line, font=font, fill=35)
    return page


def paper(height, width, dark_side):
    y, x = np.mgrid[0:height, 0:width] / np.array([height, width])[:, None, None]
    light = 215 - 70 * (x if dark_side == "right" else 1 - x) + 15 * np.sin(3 * y)
    return light.astype(np.uint8)


@pytest.fixture(scope="module")
def source(tmp_path_factory):
    """The input PDF and, per page, the pixels OCRmyPDF rasterises from it.

    img2pdf embeds each file as it is at DPI, so that Ghostscript's raster at the page's
    resolution is the file's own pixels (for the JPEG page: its decoded pixels, as PIL decodes
    them, which is what the page image holds).
    """
    folder = tmp_path_factory.mktemp("source")
    files = [folder / "demo.png", folder / "words.png", folder / "words.jpg", folder / "bilevel.png"]
    Image.open(DEMO).convert("RGB").save(files[0], dpi=(DPI, DPI))
    printed(WORDS[0:2], paper(320, 800, "right")).save(files[1], dpi=(DPI, DPI))
    printed(WORDS[2:4], paper(320, 760, "left")).save(files[2], quality=80, dpi=(DPI, DPI))
    printed(WORDS[4:5], np.full((200, 800), 255, np.uint8)).point(
        lambda v: 255 if v > 128 else 0).convert("1").save(files[3], dpi=(DPI, DPI))
    pdf = folder / "in.pdf"
    subprocess.run(["img2pdf", "-o", pdf] + files, check=True)
    pixels = [np.asarray(Image.open(file)) for file in files]
    return pdf, pixels


def run_ocrmypdf(args, source_pdf, out, count_file):
    env = dict(os.environ, OMP_THREAD_LIMIT="1", WHITEN_COUNT_FILE=str(count_file))
    return subprocess.run([sys.executable, "-m", "ocrmypdf", "-q", *args, source_pdf, out],
                          capture_output=True, text=True, env=env)


def page_images(pdf, folder):
    """pdfimages' list row (colour, bits, encoding) and pixels of each page's one image."""
    rows = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True,
                          check=True).stdout.splitlines()[2:]
    listed = [row.split() for row in rows]
    subprocess.run(["pdfimages", "-png", pdf, folder / "img"], check=True)
    images = sorted(folder.glob("img-*.png"))
    assert [int(row[0]) for row in listed] == list(range(1, len(images) + 1)), rows
    return [((row[5], row[7], row[8]), np.asarray(Image.open(image)))
            for row, image in zip(listed, images)]


def page_sizes(pdf):
    info = subprocess.run(["pdfinfo", "-f", "1", "-l", "99", pdf], capture_output=True,
                          text=True, check=True).stdout
    return [line.split(":", 1)[1].strip() for line in info.splitlines()
            if line.startswith("Page") and " size:" in line]


def bilevel(pixels):
    return np.asarray(pixels, dtype=bool)


# What each page of the output shows.
#   whitened: 8-bit gray, lossless, equal to whiten.whiten of the input page's raster; the
#             bilevel page as it was
#   gray:     8-bit gray, lossless (the raster was deskewed or cleaned first)
#   original: the input page's own pixels
WHITENED, GRAY, ORIGINAL = "whitened", "gray", "original"
PLUGIN = ["--plugin", "whiten.ocrmypdf"]
FAILING = ["--plugin", str(HERE / "out_of_memory_on_page_2.py")]
COUNTED = ["--plugin", str(HERE / "count_whitenings.py")] + PLUGIN

CASES = [
    # name, ocrmypdf's arguments, pages, exit status, words in the text layer, on standard error,
    # whitenings (None: not counted): once a page of the three that are not bilevel when Tesseract
    # and the page image read the same raster, twice when Tesseract reads the cleaned one
    ("threads", COUNTED, WHITENED, 0, True, None, 3),
    ("processes", COUNTED + ["--no-use-threads", "-j", "2"], WHITENED, 0, True, None, 3),
    ("deskew, rotate, clean", COUNTED + ["--deskew", "--rotate-pages", "--clean"], GRAY, 0, True, None, 6),
    ("deskew, rotate, clean both", COUNTED + ["--deskew", "--rotate-pages", "--clean", "--clean-final"], GRAY,
     0, True, None, 3),
    ("OCR image only", COUNTED + ["--whiten-ocr-only"], ORIGINAL, 0, True, None, 3),
    # The package declares no entry point: without --plugin, OCRmyPDF runs as it always did.
    ("not named", ["--output-type", "pdf"], ORIGINAL, 0, False, None, None),
    ("out of memory", FAILING + PLUGIN + ["-j", "1"], None, 15, False,
     "page 2: out of memory whitening the page image", None),
    # The error travels back from the worker process by pickle.
    ("out of memory, processes", FAILING + PLUGIN + ["--no-use-threads", "-j", "2"], None, 15,
     False, "page 2: out of memory whitening the page image", None),
]


@pytest.mark.parametrize("name, args, pages, status, words, message, whitenings", CASES,
                         ids=[case[0] for case in CASES])
def test_plugin(source, tmp_path, name, args, pages, status, words, message, whitenings):
    source_pdf, pixels = source
    out = tmp_path / "out.pdf"
    count_file = tmp_path / "whitenings"
    run = run_ocrmypdf(args, source_pdf, out, count_file)
    assert run.returncode == status, run.stderr
    if message is not None:
        assert message in run.stderr
    if whitenings is not None:
        assert len(count_file.read_text().splitlines()) == whitenings, count_file.read_text()
    if status != 0:
        assert not out.exists(), "a failed run left an output file"
        return

    assert page_sizes(out) == page_sizes(source_pdf)
    images = page_images(out, tmp_path)
    assert len(images) == len(pixels)
    for number, ((listed, image), given) in enumerate(zip(images, pixels), 1):
        where = f"page {number}: {listed}"
        if given.dtype == bool:
            # The bilevel page has no paper to whiten: it passes through, one bit deep.
            assert listed[:2] == ("gray", "1"), where
            if pages != GRAY:
                assert np.array_equal(bilevel(image), given), where
        elif pages == ORIGINAL:
            assert np.array_equal(image, given), where
        else:
            assert listed == ("gray", "8", "image"), where  # /DeviceGray, no JPEG
            assert image.shape == given.shape[:2], where
            if pages == WHITENED:
                assert np.array_equal(image, whiten.whiten(given)), where
    if words:
        text = subprocess.run(["pdftotext", out, "-"], capture_output=True, text=True,
                              check=True).stdout.lower()
        missing = [word for line in WORDS for word in line.split() if word not in text]
        assert not missing, text
