"""OCRmyPDF plugin: every page of the output PDF shows its whitened page, and Tesseract reads it.

    ocrmypdf --plugin whiten.ocrmypdf scan.pdf out.pdf

Written against OCRmyPDF 14 (Debian 12). The plugin is active only when named with --plugin (or in
the plugins= list of ocrmypdf.ocr): the package declares no entry point, so installing it changes
no other OCRmyPDF run.
"""

from __future__ import annotations

import logging
import os
import threading
from pathlib import Path

from PIL import Image

import whiten
from ocrmypdf import hookimpl
from ocrmypdf.exceptions import BadArgsError, ExitCode, ExitCodeException

log = logging.getLogger(__name__)

# The work-folder files, in OCRmyPDF's naming, that may hold the page's lossless raster when
# OCRmyPDF hands the plugin its JPEG re-encode instead: unpaper's output for --clean-final,
# the deskewed page for --deskew, else the rasterised page.
_CLEANED, _DESKEWED, _RASTER = 'pp_clean.png', 'pp_deskew.png', 'rasterize.png'
_LOSSY_VISIBLE = 'visible.jpg'
_WHITENED = 'whiten.png'


# The OCR image whitened for a page, kept until the page image is asked for: in the usual run both
# come from the same raster file, which is then whitened once. Keyed by the page's work file (unique
# to the run and the page), with the raster's path and identity; an entry lives from the page's OCR
# image to its page image, which OCRmyPDF makes one after the other in the same thread or process.
_ocr_whitened: dict[Path, tuple[Path, tuple[int, int, int], Image.Image]] = {}
_ocr_whitened_lock = threading.Lock()


class PageWhiteningError(ExitCodeException):
    """A page that could not be whitened; ends the run with OCRmyPDF's status for its cause."""

    def __init__(self, message: str, exit_code: ExitCode):
        super().__init__(message)
        self.exit_code = exit_code

    def __reduce__(self):
        # Raised in worker processes with --no-use-threads: travels back to the parent by pickle.
        return (type(self), (str(self), self.exit_code))


@hookimpl
def add_options(parser):
    group = parser.add_argument_group('whiten', 'Whitening of the page images (whiten.ocrmypdf)')
    group.add_argument(
        '--whiten-ocr-only',
        action='store_true',
        help="Keep each page's own image in the output PDF and whiten only the image that "
        "Tesseract reads.",
    )


@hookimpl
def check_options(options):
    # Keep the page images lossless in PDF/A: left to decide, Ghostscript turns noisy gray
    # pages into JPEG. An explicit --pdfa-image-compression is the user's choice.
    if options.output_type.startswith('pdfa') and options.pdfa_image_compression == 'auto':
        options.pdfa_image_compression = 'lossless'
    if options.whiten_ocr_only:
        return
    if options.redo_ocr:
        raise BadArgsError(
            "--redo-ocr cannot be used with --plugin whiten.ocrmypdf, which replaces each "
            "page's image: use --whiten-ocr-only to keep the page images"
        )
    if options.remove_background:
        # OCRmyPDF refuses it on every page deeper than one bit; whitening does that job.
        log.info("--remove-background: the page is whitened instead")
        options.remove_background = False
    # OCRmyPDF hands over a whole page image only when it does not rebuild the page from the
    # input's own images; --force-ocr makes it rasterise pages that already have text too.
    # With --skip-text such pages stay as they are.
    if not options.skip_text:
        options.force_ocr = True
    options.lossless_reconstruction = False


def _page_number(page) -> int:
    return page.pageno + 1


def _whitened(page, image: Image.Image) -> Image.Image:
    try:
        result = whiten.whiten_image(image)
    except ValueError as error:
        raise PageWhiteningError(
            f"page {_page_number(page)}: cannot whiten the page image: {error}", ExitCode.input_file
        ) from error
    except MemoryError as error:
        raise PageWhiteningError(
            f"page {_page_number(page)}: out of memory whitening the page image",
            ExitCode.other_error,
        ) from error
    # A gray page carries no ICC profile: it is drawn in /DeviceGray.
    result.info.pop('icc_profile', None)
    return result


def _lossless_source(page, image_filename: Path) -> Path:
    """The lossless page image behind the one OCRmyPDF offers for the output page."""
    image_filename = Path(image_filename)
    if not image_filename.name.endswith(_LOSSY_VISIBLE):
        return image_filename
    options = page.options
    names = ([_CLEANED] if options.clean_final else []) + ([_DESKEWED] if options.deskew else [])
    for name in names + [_RASTER]:
        candidate = page.get_path(name)
        if candidate.exists():
            return candidate
    raise PageWhiteningError(
        f"page {_page_number(page)}: the lossless page raster behind {image_filename.name} "
        "is missing from the work folder",
        ExitCode.other_error,
    )


def _raster_identity(path) -> tuple[int, int, int]:
    """The file as it is now: a raster rewritten since (or another file at its path) differs."""
    status = os.stat(path)
    return status.st_ino, status.st_size, status.st_mtime_ns


@hookimpl
def filter_ocr_image(page, image):
    # A bilevel raster (all the page's images are 1-bit) has no paper to whiten.
    if image.mode == '1':
        return image
    result = _whitened(page, image)
    # OCRmyPDF paints text areas white on the OCR image unless it forces OCR, which the plugin sets
    # whenever it replaces the page images: then the image holds its raster file's pixels as they are.
    source = getattr(image, 'filename', None)
    if source and not page.options.whiten_ocr_only and page.options.force_ocr:
        with _ocr_whitened_lock:
            _ocr_whitened[page.get_path(_WHITENED)] = (Path(source), _raster_identity(source), result)
        return result.copy()  # OCRmyPDF's own: the kept page stays as whitened
    return result


def _whitened_before(page, source: Path) -> Image.Image | None:
    """The OCR image's whitened page when it came from `source` as it still is, else None."""
    with _ocr_whitened_lock:
        entry = _ocr_whitened.pop(page.get_path(_WHITENED), None)
    if entry is None or entry[0] != source or entry[1] != _raster_identity(source):
        return None
    return entry[2]


@hookimpl
def filter_page_image(page, image_filename):
    if page.options.whiten_ocr_only:
        return None
    source = _lossless_source(page, image_filename)
    output = page.get_path(_WHITENED)
    try:
        with Image.open(source) as image:
            if source != Path(image_filename):
                _check_same_size(page, image, image_filename)
            dpi = image.info.get('dpi')
            if image.mode == '1':
                # Passed through as it is, but for the ICC profile Ghostscript attaches, which
                # would give a one-component image a three-component colour space.
                if 'icc_profile' not in image.info:
                    return source
                result = image.copy()
                result.info.pop('icc_profile')
            else:
                result = _whitened_before(page, source)
                if result is None:
                    result = _whitened(page, image)
        # A PNG without profile (8-bit gray, or the bilevel page): img2pdf embeds it as it
        # is, lossless, in /DeviceGray.
        result.save(output, format='PNG', **({'dpi': dpi} if dpi else {}))
    except OSError as error:
        raise PageWhiteningError(
            f"page {_page_number(page)}: {error}", ExitCode.file_access_error
        ) from error
    return output


def _check_same_size(page, raster: Image.Image, offered_filename: Path) -> None:
    with Image.open(offered_filename) as offered:
        if offered.size != raster.size:
            raise PageWhiteningError(
                f"page {_page_number(page)}: the page raster is {raster.size[0]} x "
                f"{raster.size[1]}, the page image {offered.size[0]} x {offered.size[1]}",
                ExitCode.other_error,
            )
