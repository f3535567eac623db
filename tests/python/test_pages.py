# Every kind of page file through every front end: whiten-pages (the reference), whiten_file,
# whiten(read_pages(...)) and whiten_image(Image.open(...)) give the same gray bytes; then the
# readers' errors as Python exceptions, and what whiten_file tells and leaves.
# Needs WHITEN_PAGES_BINARY (the built whiten-pages) and the built package on PYTHONPATH.
import errno
import io
import os
import subprocess
from pathlib import Path

import numpy as np
import pytest
from PIL import Image, ImageSequence

import page_files as files
import whiten

ROOT = Path(__file__).resolve().parents[2]
DEMO = ROOT / "samples" / "lapide.052.100.bmp"
SHORT, LONG = files.SHORT, files.LONG


def demo_crop(left=300, top=500, width=96, height=72):
    with Image.open(DEMO) as demo:
        return np.asarray(demo.convert("RGB"))[top:top + height, left:left + width].copy()


RGB = demo_crop()
GRAY = (RGB.astype(np.uint16).sum(axis=2) // 3).astype(np.uint8)
OTHER = demo_crop(100, 700, 64, 40)
# Opaque, transparent and every level between, in bands across the page.
ALPHA = np.tile(np.array([255, 0, 128, 1, 254, 60], np.uint8).repeat(16), (RGB.shape[0], 1))[:, :RGB.shape[1]]


def pillow(image, kind, **options):
    out = io.BytesIO()
    image.save(out, kind, **options)
    return out.getvalue()


def jpeg(picture, **options):
    return pillow(Image.fromarray(picture), "JPEG", quality=90, **options)


def turned_jpeg(orientation, **options):
    exif = Image.Exif()
    exif[0x0112] = orientation
    return jpeg(RGB, exif=exif.tobytes(), **options)


def without_adobe_marker(data):
    """A JPEG with its APP14 segment taken out: its CMYK samples are then read as they are stored."""
    at = data.index(b"\xff\xee")
    return data[:at] + data[at + 2 + int.from_bytes(data[at + 2:at + 4], "big"):]


def palette():
    return Image.fromarray(RGB).quantize(40)


def tiff(image, **options):
    return pillow(image, "TIFF", **options)


def hand_tiff(samples, photometric, **page):
    return files.tiff_bytes([dict(samples=samples, photometric=photometric, **page)])


def ycbcr_jpeg_tiff():
    """A JPEG-compressed YCbCr TIFF: one strip holding a whole 4:2:0 JPEG stream."""
    stream = jpeg(RGB)
    return hand_tiff(RGB, 6, rows=RGB.shape[0], blocks=[stream], tags={259: (SHORT, [7]), 530: (SHORT, [2, 2])})


def wide(picture, scale=257, offset=0):
    return picture.astype(np.uint16) * scale + offset


# Every kind of page file: its name's extension and its bytes.
KINDS = {
    "jpeg-baseline-420": ("jpg", lambda: jpeg(RGB)),
    "jpeg-progressive": ("jpg", lambda: jpeg(RGB, progressive=True)),
    "jpeg-gray": ("jpg", lambda: jpeg(GRAY)),
    "jpeg-444": ("jpg", lambda: jpeg(RGB, subsampling=0)),
    "jpeg-cmyk-adobe-inverted": ("jpg", lambda: pillow(Image.fromarray(RGB).convert("CMYK"), "JPEG")),
    "jpeg-cmyk-plain": ("jpg", lambda: without_adobe_marker(pillow(Image.fromarray(RGB).convert("CMYK"), "JPEG"))),
    "jpeg-orientation-3": ("jpg", lambda: turned_jpeg(3)),
    "jpeg-orientation-6": ("jpg", lambda: turned_jpeg(6, dpi=(300, 150))),
    "jpeg-orientation-8": ("jpg", lambda: turned_jpeg(8)),
    "jpeg-orientation-5": ("jpg", lambda: turned_jpeg(5)),
    "png-gray": ("png", lambda: pillow(Image.fromarray(GRAY), "PNG")),
    "png-rgb": ("png", lambda: pillow(Image.fromarray(RGB), "PNG", dpi=(200, 200))),
    "png-rgba": ("png", lambda: pillow(Image.fromarray(np.dstack([RGB, ALPHA])), "PNG")),
    "png-gray-alpha": ("png", lambda: pillow(Image.fromarray(np.dstack([GRAY, ALPHA]), "LA"), "PNG")),
    "png-palette": ("png", lambda: pillow(palette(), "PNG")),
    "png-palette-trns": ("png", lambda: pillow(palette(), "PNG", transparency=bytes(range(0, 240, 6)))),
    "png-gray-trns": ("png", lambda: pillow(Image.fromarray(GRAY), "PNG", transparency=int(GRAY[10, 10]))),
    "png-rgb-trns": ("png", lambda: pillow(Image.fromarray(RGB), "PNG", transparency=tuple(map(int, RGB[10, 10])))),
    "png-16-bit-gray": ("png", lambda: files.png_bytes(wide(GRAY, 256, 255), 0, 16)),
    "png-16-bit-gray-trns": ("png", lambda: files.png_bytes(wide(GRAY), 0, 16, trns=[int(GRAY[10, 10]) * 257])),
    "png-16-bit-rgb": ("png", lambda: files.png_bytes(wide(RGB, 256, 77), 2, 16)),
    "png-16-bit-gray-alpha": ("png", lambda: files.png_bytes(wide(np.dstack([GRAY, ALPHA])), 4, 16)),
    "png-16-bit-rgba": ("png", lambda: files.png_bytes(wide(np.dstack([RGB, ALPHA]), 256, 3), 6, 16)),
    "png-2-bit-gray": ("png", lambda: files.png_bytes(GRAY >> 6, 0, 2)),
    "png-4-bit-gray": ("png", lambda: files.png_bytes(GRAY >> 4, 0, 4)),
    "png-4-bit-gray-trns": ("png", lambda: files.png_bytes(GRAY >> 4, 0, 4, trns=[int(GRAY[10, 10]) >> 4])),
    "tiff-uncompressed": ("tif", lambda: tiff(Image.fromarray(RGB), dpi=(300, 300))),
    "tiff-lzw": ("tif", lambda: tiff(Image.fromarray(RGB), compression="tiff_lzw")),
    "tiff-deflate": ("tif", lambda: tiff(Image.fromarray(RGB), compression="tiff_adobe_deflate")),
    "tiff-packbits-gray": ("tif", lambda: tiff(Image.fromarray(GRAY), compression="packbits")),
    "tiff-jpeg-rgb": ("tif", lambda: tiff(Image.fromarray(RGB), compression="jpeg")),
    "tiff-jpeg-ycbcr": ("tif", ycbcr_jpeg_tiff),
    "tiff-jpeg-gray": ("tif", lambda: tiff(Image.fromarray(GRAY), compression="jpeg")),
    "tiff-tiles": ("tif", lambda: hand_tiff(RGB, 2, tile=32, deflate=True)),
    "tiff-multi-page": ("tif", lambda: tiff(Image.fromarray(RGB), compression="tiff_lzw", save_all=True,
                                            append_images=[Image.fromarray(GRAY), Image.fromarray(OTHER)])),
    "tiff-palette": ("tif", lambda: tiff(palette())),
    "tiff-cmyk": ("tif", lambda: tiff(Image.fromarray(RGB).convert("CMYK"))),
    "tiff-rgba": ("tif", lambda: tiff(Image.fromarray(np.dstack([RGB, ALPHA])))),
    "tiff-gray-alpha": ("tif", lambda: hand_tiff(np.dstack([GRAY, ALPHA]), 1, tags={338: (SHORT, [2])})),
    "tiff-min-is-white": ("tif", lambda: hand_tiff(GRAY, 0)),
    "tiff-16-bit-gray": ("tif", lambda: tiff(Image.fromarray(wide(GRAY, 256, 200)))),
    "tiff-16-bit-min-is-white": ("tif", lambda: hand_tiff(wide(GRAY, 256, 5), 0)),
    "tiff-16-bit-rgb": ("tif", lambda: hand_tiff(wide(RGB, 256, 99), 2)),
    "tiff-orientation-6": ("tif", lambda: hand_tiff(RGB, 2, tags={274: (SHORT, [6])})),
    "tiff-orientation-8-lzw": ("tif", lambda: tiff(Image.fromarray(RGB), compression="tiff_lzw", tiffinfo={274: 8})),
    "tiff-orientation-2-gray": ("tif", lambda: hand_tiff(GRAY, 1, tags={274: (SHORT, [2])})),
    "bmp-24": ("bmp", lambda: pillow(Image.fromarray(RGB), "BMP")),
    # Refused by every front end.
    "png-1-bit": ("png", lambda: files.png_bytes(GRAY >> 7, 0, 1)),
    # Read by the readers, but Pillow's samples no longer hold what they read.
    "tiff-premultiplied-alpha": ("tif", lambda: hand_tiff(np.dstack([RGB // 2, np.full_like(GRAY, 128)]), 2,
                                                          tags={338: (SHORT, [1])})),
    "png-16-bit-rgb-trns": ("png", lambda: files.png_bytes(wide(RGB), 2, 16, trns=[int(v) * 257 for v in RGB[10, 10]])),
}

# Where a front end does not give whiten-pages's pages: the exception and the words of its message.
NOT_WHITENED = {
    ("png-1-bit", "whiten_file"): (whiten.PageRefused, "png-1-bit.png: refused: 1-bit page: nothing to whiten"),
    ("png-1-bit", "whiten(read_pages)"): (whiten.PageRefused, "1-bit page: nothing to whiten"),
    ("png-1-bit", "whiten_image"): (ValueError, "1-bit page: nothing to whiten"),
    ("tiff-premultiplied-alpha", "whiten_image"): (ValueError, "whiten.read_pages"),
    ("png-16-bit-rgb-trns", "whiten_image"): (ValueError, "whiten.read_pages"),
}


@pytest.fixture(scope="session")
def page_folder(tmp_path_factory):
    """Every kind as a file, and whiten-pages's gray PNG pages of them all, from one run."""
    folder = tmp_path_factory.mktemp("kinds")
    paths = []
    for name, (extension, make) in KINDS.items():
        paths.append(folder / f"{name}.{extension}")
        paths[-1].write_bytes(make())
    run = subprocess.run([os.environ["WHITEN_PAGES_BINARY"], "-q", "--format", "png", "-o", folder / "tool", *paths],
                         capture_output=True, text=True)
    # -q: a line for each page that is not whitened, the 1-bit page's alone.
    assert run.returncode == 1 and run.stderr.count("\n") == 1 and "png-1-bit.png" in run.stderr, run.stderr
    return folder


def path_of(folder, kind):
    return folder / f"{kind}.{KINDS[kind][0]}"


def gray_png(path):
    with Image.open(path) as image:
        assert image.mode == "L"
        return np.asarray(image)


def by_tool(folder, kind):
    outputs = sorted((folder / "tool").glob(f"{kind}.png")) or sorted((folder / "tool").glob(f"{kind}-[0-9]*.png"))
    return [gray_png(output) for output in outputs]


def by_read_pages(folder, kind):
    return [whiten.whiten(page.array) for page in whiten.read_pages(path_of(folder, kind))]


def by_whiten_image(folder, kind):
    with Image.open(path_of(folder, kind)) as image:
        return [np.asarray(whiten.whiten_image(frame)) for frame in ImageSequence.Iterator(image)]


def by_whiten_file(folder, kind):
    outcome = whiten.whiten_file(path_of(folder, kind), folder / "file" / f"{kind}.png")
    assert outcome.whitened == outcome.pages and not outcome.problems
    return [gray_png(output) for output in outcome.outputs]


FRONT_ENDS = {
    "whiten_file": by_whiten_file,
    "whiten(read_pages)": by_read_pages,
    "whiten_image": by_whiten_image,
}


@pytest.mark.parametrize("front_end", FRONT_ENDS)
@pytest.mark.parametrize("kind", KINDS)
def test_every_front_end_gives_the_pages_of_whiten_pages(page_folder, kind, front_end):
    failure = NOT_WHITENED.get((kind, front_end))
    if failure:
        with pytest.raises(failure[0], match=failure[1]):
            FRONT_ENDS[front_end](page_folder, kind)
        return
    expected = by_tool(page_folder, kind)
    assert expected, "whiten-pages wrote no page"
    pages = FRONT_ENDS[front_end](page_folder, kind)
    assert len(pages) == len(expected)
    for number, (page, tool_page) in enumerate(zip(pages, expected), 1):
        assert page.shape == tool_page.shape, f"page {number}"
        assert np.array_equal(page, tool_page), f"page {number}: {np.count_nonzero(page != tool_page)} bytes differ"


def broken_second_page_tiff():
    """Three pages, the second 1-bit (refused): the pages around it are still read."""
    one_bit = {"samples": GRAY, "photometric": 1, "tags": {258: (SHORT, [1])}}
    return files.tiff_bytes([{"samples": RGB, "photometric": 2}, one_bit, {"samples": GRAY, "photometric": 1}])


# Files read_pages refuses, whole or a page: the content (None: no file), the exception, the words
# of its message, its errno, and the page (None: the file as a whole).
READ_ERRORS = {
    "missing file": (None, FileNotFoundError, "No such file", errno.ENOENT, None),
    "a folder": ("folder", IsADirectoryError, "Is a directory", errno.EISDIR, None),
    "empty file": (b"", whiten.NotAPageFile, "an empty file", None, None),
    "text file": (b"pages\n", whiten.NotAPageFile, "not a JPEG, PNG, TIFF or BMP file", None, None),
    "truncated JPEG": (jpeg(RGB)[:400], whiten.PageRefused, "truncated JPEG file", None, 0),
    "second TIFF page 1-bit": (broken_second_page_tiff(), whiten.PageRefused, "1-bit page: nothing to whiten", None, 1),
}


@pytest.mark.parametrize("case", READ_ERRORS)
@pytest.mark.parametrize("name", ["page", b"\xff\xfe page"], ids=["utf-8 name", "name not utf-8"])
def test_read_errors_are_python_exceptions(tmp_path, case, name):
    content, error, words, number, page = READ_ERRORS[case]
    path = os.path.join(os.fsencode(tmp_path), os.fsencode(name))
    if content == "folder":
        os.mkdir(path)
    elif content is not None:
        Path(os.fsdecode(path)).write_bytes(content)
    read = []
    with pytest.raises(error, match=words) as raised:
        for page_read in whiten.read_pages(path):
            read.append(page_read)
    assert raised.value.filename == os.fsdecode(path)
    if number is not None:
        assert raised.value.errno == number
    else:
        assert raised.value.page == page and len(read) == (page or 0)
        assert "\n" not in str(raised.value)


def test_a_refused_page_leaves_the_next_ones_readable(tmp_path):
    path = tmp_path / "three.tif"
    path.write_bytes(broken_second_page_tiff())
    pages = whiten.read_pages(path)
    assert pages.page_count == 3
    first = next(pages)
    with pytest.raises(whiten.PageRefused):
        next(pages)
    third = next(pages)
    assert [first.array.shape, third.array.shape] == [RGB.shape, GRAY.shape]
    assert np.array_equal(first.array, RGB) and np.array_equal(third.array, GRAY)
    with pytest.raises(StopIteration):
        next(pages)


# The resolution each front end gives: the file's, its sides swapped for a page turned a quarter.
RESOLUTIONS = {
    "jpeg-orientation-6": (150, 300),
    "png-rgb": (200, 200),
    "tiff-uncompressed": (300, 300),
    "png-gray": None,
}


@pytest.mark.parametrize("kind", RESOLUTIONS)
def test_resolution_is_the_files_upright(page_folder, kind):
    expected = RESOLUTIONS[kind]
    # A PNG states whole pixels a metre (0.0254 dpi apart).
    approx = pytest.approx(expected, abs=0.03) if expected else None
    assert next(whiten.read_pages(path_of(page_folder, kind))).dpi == approx
    with Image.open(path_of(page_folder, kind)) as image:
        assert whiten.whiten_image(image).info.get("dpi") == approx
    with Image.open(page_folder / "tool" / f"{kind}.png") as written:
        assert written.info.get("dpi") == approx


@pytest.mark.parametrize("dpi", [None, (300, 150)])
@pytest.mark.parametrize("extension", ["png", "jpg", "tif"])
def test_the_readmes_save_idiom_keeps_the_resolution(tmp_path, extension, dpi):
    image = Image.fromarray(RGB)
    if dpi:
        image.info["dpi"] = dpi
    page = whiten.whiten_image(image)
    page.save(tmp_path / f"p1.{extension}", **page.info)  # as the README writes it
    if dpi:
        with Image.open(tmp_path / f"p1.{extension}") as saved:
            assert saved.info["dpi"] == pytest.approx(dpi, abs=0.03)


def three_page_tiff():
    return tiff(Image.fromarray(RGB), save_all=True, append_images=[Image.fromarray(GRAY), Image.fromarray(OTHER)])


# whiten_file's outcomes: the input (its bytes, or None for no file), the output and the call's
# other arguments, what the outcome says (pages, whitened, outputs by name, whether refused,
# failed), or the exception check=True raises with the words of its message.
FILE_JOBS = {
    "one page": (jpeg(RGB), "out/p.png", {}, (1, 1, ["p.png"], False, False)),
    "format from an extension in capitals": (jpeg(RGB), "out/p.TIF", {}, (1, 1, ["p.TIF"], False, False)),
    "format named": (jpeg(RGB), "out/p.page", {"format": "JPG"}, (1, 1, ["p.page"], False, False)),
    "pages one a file": (three_page_tiff(), "out/book.png", {}, (3, 3, [f"book-000{i}.png" for i in (1, 2, 3)],
                                                                 False, False)),
    "pages in one TIFF": (three_page_tiff(), "out/book.tiff", {}, (3, 3, ["book.tiff"], False, False)),
    "a refused page among good ones": (broken_second_page_tiff(), "out/b.png", {"check": False},
                                       (3, 2, ["b-0001.png", "b-0003.png"], True, False)),
    "refused, raised": (broken_second_page_tiff(), "out/b.png", {}, (whiten.PageRefused, "page 2 of 3.*1-bit")),
    "no input": (None, "out/p.png", {}, (whiten.PageFailed, "failed: can't open")),
    "output over its input": (jpeg(RGB), "input.jpg", {}, (whiten.PageRefused, "would replace an input")),
    "unknown extension": (jpeg(RGB), "out/p.gif", {}, (ValueError, "whiten_file: unknown output extension '.gif'")),
    "unknown format": (jpeg(RGB), "out/p.png", {"format": "gif"}, (ValueError, "format is None, 'png'")),
    "quality beyond 100": (jpeg(RGB), "out/p.jpg", {"quality": 101}, (ValueError, "quality 101")),
    "negative threads": (jpeg(RGB), "out/p.png", {"threads": -1}, (ValueError, "threads")),
}


@pytest.mark.parametrize("case", FILE_JOBS)
def test_whiten_file_outcomes(tmp_path, case):
    content, output, arguments, expected = FILE_JOBS[case]
    source = tmp_path / "input.jpg"
    if content is not None:
        source.write_bytes(content)
    if isinstance(expected[0], type):
        with pytest.raises(expected[0], match=expected[1]) as raised:
            whiten.whiten_file(source, tmp_path / output, **arguments)
        if content is not None:
            assert source.read_bytes() == content
        if raised.type is ValueError:  # refused before anything is read or made
            assert sorted(os.listdir(tmp_path)) == ["input.jpg"]
        else:
            assert raised.value.outcome.problems and raised.value.filename == str(source)
        return
    outcome = whiten.whiten_file(source, tmp_path / output, **arguments)
    pages, whitened, outputs, refused, failed = expected
    assert (outcome.pages, outcome.whitened, outcome.refused, outcome.failed) == (pages, whitened, refused, failed)
    assert outcome.outputs == [str(tmp_path / "out" / name) for name in outputs]
    assert sorted(os.listdir(tmp_path / "out")) == sorted(outputs), "a file beside the complete outputs"
    assert len(outcome.problems) == pages - whitened


def test_whiten_file_writes_the_bytes_of_whiten_pages(tmp_path):
    source = tmp_path / "p.jpg"
    source.write_bytes(jpeg(RGB))
    subprocess.run([os.environ["WHITEN_PAGES_BINARY"], "-q", "--format", "jpeg", "--quality", "40", "-o",
                    tmp_path / "tool", source], check=True)
    whiten.whiten_file(source, tmp_path / "p-40.jpg", quality=40)
    assert (tmp_path / "p-40.jpg").read_bytes() == (tmp_path / "tool" / "p.jpg").read_bytes()


def test_whiten_file_keeps_existing_outputs_when_asked(tmp_path):
    source = tmp_path / "book.tif"
    source.write_bytes(three_page_tiff())
    first = whiten.whiten_file(source, tmp_path / "out" / "book.png", keep_existing=True)
    (tmp_path / "out" / "book-0002.png").unlink()
    again = whiten.whiten_file(source, tmp_path / "out" / "book.png", keep_existing=True)
    assert not again.skipped and again.whitened == 3 and again.outputs == first.outputs  # one was missing
    written = {name: os.stat(name).st_mtime_ns for name in again.outputs}
    skipped = whiten.whiten_file(source, tmp_path / "out" / "book.png", keep_existing=True)
    assert (skipped.skipped, skipped.pages, skipped.whitened, skipped.outputs) == (True, 0, 0, first.outputs)
    assert {name: os.stat(name).st_mtime_ns for name in skipped.outputs} == written


def test_whiten_file_names_that_are_not_utf8(tmp_path):
    folder = os.fsencode(tmp_path)
    good, bilevel, output = (os.path.join(folder, name) for name in (b"\xff p.jpg", b"\xff 1.png", b"\xfe out.png"))
    Path(os.fsdecode(good)).write_bytes(jpeg(RGB))
    Path(os.fsdecode(bilevel)).write_bytes(files.png_bytes(GRAY >> 7, 0, 1))
    outcome = whiten.whiten_file(good, output)
    assert outcome.input == os.fsdecode(good) and outcome.outputs == [os.fsdecode(output)]
    assert os.path.isfile(output)
    refused = whiten.whiten_file(bilevel, output, check=False)
    assert refused.refused and len(refused.problems) == 1
    assert refused.problems[0].endswith(": refused: 1-bit page: nothing to whiten")


# whiten_file told by the names the caller gives (show_as) while it opens others: its outcome's
# lines, one a page in the order told, and its problems one by one. The input (its bytes, or None
# for no file), the output, the names shown, the call's other arguments; the lines (a line ending
# in ": " is the start of one whose system reason follows) and (page, refused) of each problem.
SHOWN = {
    "a refused page among good ones": (
        broken_second_page_tiff(), "out/b.png", ("scans/b.tif", "white/b.png"), {},
        ["scans/b.tif (page 1 of 3) -> white/b-0001.png",
         "scans/b.tif (page 2 of 3): refused: 1-bit page: nothing to whiten",
         "scans/b.tif (page 3 of 3) -> white/b-0003.png"], [(1, True)]),
    "a missing input, named in its reason as shown": (
        None, "out/p.png", ("my scans/p.jpg", "white/p.png"), {},
        ["'my scans/p.jpg': failed: can't open 'my scans/p.jpg': "], [(0, False)]),
    "kept, its outputs there": (
        three_page_tiff(), "out/book.tiff", ("book.tif", "white/book.tiff"), {"keep_existing": True},
        ["book.tif: skipped: white/book.tiff already there"], []),
    "not shown: the paths themselves": (jpeg(RGB), "out/p.png", None, {}, ["{folder}/input.jpg -> {folder}/out/p.png"], []),
}


@pytest.mark.parametrize("case", SHOWN)
def test_whiten_file_tells_the_names_shown(tmp_path, case):
    content, output, shown, arguments, lines, problems = SHOWN[case]
    source = tmp_path / "input.jpg"
    if content is not None:
        source.write_bytes(content)
    if arguments.get("keep_existing"):
        whiten.whiten_file(source, tmp_path / output)
    outcome = whiten.whiten_file(source, tmp_path / output, check=False, show_as=shown, **arguments)
    lines = [line.format(folder=tmp_path) for line in lines]
    assert len(outcome.lines) == len(lines)
    for told, expected in zip(outcome.lines, lines):
        assert told == expected or expected.endswith(": ") and told.startswith(expected), told
    assert [(p.page, p.refused) for p in outcome.page_problems] == problems
    assert [p.line for p in outcome.page_problems] == outcome.problems
    for problem in outcome.page_problems:
        assert problem.line.endswith((": refused: " if problem.refused else ": failed: ") + problem.reason)
    if shown:
        assert outcome.input == shown[0]
        assert all(name.startswith("white/") for name in outcome.outputs)
        assert not any(str(tmp_path) in line for line in outcome.lines)


def test_whiten_file_show_as_is_two_names(tmp_path):
    with pytest.raises(ValueError, match="show_as is None or"):
        whiten.whiten_file(tmp_path / "p.jpg", tmp_path / "p.png", show_as=("only one",))
