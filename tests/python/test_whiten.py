# The Python module against the whiten tool: the same bytes for every form of
# a page, the refusals with their exceptions, and threads side by side.
# Needs WHITEN_BINARY (the built tool) and the built package on PYTHONPATH.
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import threading
import time
import tracemalloc
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

import whiten

ROOT = Path(__file__).resolve().parents[2]
GOLDEN = ROOT / "tests" / "data" / "golden" / "pages"
DEMO = ROOT / "samples" / "lapide.052.100.bmp"


def read_bmp(path):
    """A 24-bit bitmap's pixels as (H, W, 3) blue-green-red, top row first."""
    data = Path(path).read_bytes()
    (offset,) = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24
    rows = abs(height)
    stride = (3 * width + 3) // 4 * 4
    pixels = np.frombuffer(data, np.uint8, rows * stride, offset).reshape(rows, stride)
    pixels = pixels[:, : 3 * width].reshape(rows, width, 3)
    return pixels[::-1] if height > 0 else pixels  # a positive height stores the bottom row first


def golden_names():
    lines = (GOLDEN / "CASES.txt").read_text().splitlines()
    return [line.split()[0] for line in lines if line and not line.startswith("#") and line != "end"]


@pytest.fixture(scope="session")
def demo_output(tmp_path_factory):
    """The tool's page for the demo page: one call (the tool pauses after each)."""
    folder = tmp_path_factory.mktemp("tool")
    shutil.copy(DEMO, folder)
    subprocess.run([os.environ["WHITEN_BINARY"], DEMO.name], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return read_bmp(folder / "Result" / DEMO.name)[..., 0]


@pytest.fixture(scope="session", params=golden_names() + ["demo"])
def page(request):
    """(input pixels, the tool's gray output) for a golden page and the demo page."""
    if request.param == "demo":
        return read_bmp(DEMO), request.getfixturevalue("demo_output")
    return read_bmp(GOLDEN / f"{request.param}.bmp"), read_bmp(GOLDEN / f"{request.param}.out.bmp")[..., 0]


def gray(bgr):
    return (bgr.astype(np.uint16).sum(axis=2) // 3).astype(np.uint8)


def embedded(a):
    """`a` as a view cut from a larger array (rows and pixels of a wider stride)."""
    big = np.full((a.shape[0] + 3, a.shape[1] + 5) + a.shape[2:], 77, np.uint8)
    big[1:-2, 2:-3] = a
    return big[1:-2, 2:-3]


def with_fourth(bgr):
    return np.dstack([bgr, (np.arange(bgr.size // 3) % 251).astype(np.uint8).reshape(bgr.shape[:2])])


def fourth_first_reversed(bgr):
    """A (H, W, 4) view whose ignored fourth sample comes first in memory."""
    memory = np.empty(bgr.shape[:2] + (4,), np.uint8)
    memory[..., 0] = 255
    memory[..., 1:] = bgr[..., ::-1]
    return memory[..., ::-1]


def every_other_column(a):
    wide = np.zeros((a.shape[0], 2 * a.shape[1]), np.uint8)
    wide[:, ::2] = a
    return wide[:, ::2]


# Every form of one picture, and whether the library reads it without a copy.
FORMS = {
    "bgr": (np.ascontiguousarray, True),
    "bgr bottom row first": (lambda p: np.ascontiguousarray(p[::-1])[::-1], True),
    "rgb (samples reversed)": (lambda p: np.ascontiguousarray(p[..., ::-1]), True),
    "bgr seen as rgb": (lambda p: np.ascontiguousarray(p)[..., ::-1], True),
    "bgr cut from a larger array": (embedded, True),
    "bgr fortran order": (np.asfortranarray, False),
    "gray": (gray, True),
    "gray bottom row first": (lambda p: np.ascontiguousarray(gray(p)[::-1])[::-1], True),
    "gray cut from a larger array": (lambda p: embedded(gray(p)), True),
    "gray every other column": (lambda p: every_other_column(gray(p)), False),
    "gray fortran order": (lambda p: np.asfortranarray(gray(p)), False),
    "bgra": (with_fourth, True),
    "bgra cut from a larger array": (lambda p: embedded(with_fourth(p)), True),
    "bgra, fourth sample first in memory": (fourth_first_reversed, False),
}


@pytest.mark.parametrize("form", FORMS)
def test_every_form_gives_the_tools_bytes(page, form):
    pixels, expected = page
    result = whiten.whiten(FORMS[form][0](pixels))
    assert result.dtype == np.uint8 and result.flags.c_contiguous
    np.testing.assert_array_equal(result, expected)


@pytest.mark.parametrize("form", FORMS)
def test_copies_only_what_the_library_cannot_read(form):
    make, in_place = FORMS[form]
    source = make(read_bmp(GOLDEN / "synth_600x800.bmp"))
    tracemalloc.start()
    try:
        whiten.whiten(source)
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    result_bytes = source.shape[0] * source.shape[1]
    assert (peak < 1.5 * result_bytes) == in_place, f"{peak} bytes traced for a {result_bytes}-byte result"


def broadcast(*shape):
    """A page that claims its shape without holding it."""
    return np.lib.stride_tricks.as_strided(np.zeros(1, np.uint8), shape=shape, strides=(0,) * len(shape))


REFUSED = {
    "float64": (np.zeros((4, 4)), TypeError, "uint8"),
    "int16": (np.zeros((4, 4), np.int16), TypeError, "uint8"),
    "int8": (np.zeros((4, 4), np.int8), TypeError, "uint8"),
    "bool": (np.zeros((4, 4), bool), TypeError, "uint8"),
    "list of ints": ([[1, 2], [3, 4]], TypeError, "uint8"),
    # Not arrays: a short message naming what was given and what to call (the default one
    # prints the argument: megabytes for a page held as a list).
    "a page as a list": (np.zeros((300, 400, 3), np.uint8).tolist(), TypeError, "not a list; .*numpy.asarray"),
    "a tuple": ((1, 2), TypeError, "not a tuple; .*numpy.asarray"),
    "None (a failed cv2.imread)": (None, TypeError, "not None .*cv2.imread"),
    "a Pillow image": (Image.new("RGB", (4, 4)), TypeError, "whiten.whiten_image"),
    "a file name": ("page.jpg", TypeError, "not str"),
    "2 samples": (np.zeros((4, 4, 2), np.uint8), ValueError, "(H, W, 4)"),
    "5 samples": (np.zeros((4, 4, 5), np.uint8), ValueError, "(H, W, 4)"),
    "1-D": (np.zeros(16, np.uint8), ValueError, "(H, W, 3)"),
    "4-D": (np.zeros((2, 2, 2, 3), np.uint8), ValueError, "(H, W, 3)"),
    "no rows": (np.zeros((0, 5), np.uint8), ValueError, "5 x 0 pixels: an empty page"),
    "no columns": (np.zeros((5, 0, 3), np.uint8), ValueError, "0 x 5 pixels: an empty page"),
    "a side of 2**20 + 1": (broadcast(1, 2**20 + 1), ValueError, "1048577 x 1 pixels: beyond the largest page (1048576 pixels a side"),
    "2**30 pixels": (broadcast(2**15, 2**15), ValueError, "1073741823"),
    "2**30 pixels of 4 samples": (broadcast(2**15, 2**15, 4), ValueError, "1073741823"),
}


@pytest.mark.parametrize("case", REFUSED)
def test_refuses_before_allocating(case):
    page, error, message = REFUSED[case]
    tracemalloc.start()
    try:
        with pytest.raises(error, match=message.replace("(", r"\(").replace(")", r"\)")) as raised:
            whiten.whiten(page)
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert peak < 1 << 20
    assert len(str(raised.value)) < 200, str(raised.value)[:300]


@pytest.mark.parametrize("threads, error", [(-1, ValueError), (2**31, ValueError), (10**30, ValueError),
                                            (1.5, TypeError), ("2", TypeError), (True, TypeError)])
def test_refuses_thread_counts(threads, error):
    with pytest.raises(error, match="threads"):
        whiten.whiten(np.zeros((4, 4), np.uint8), threads=threads)


@pytest.mark.parametrize("threads", [None, 0, 1, 3, np.int64(2)])
def test_thread_counts_give_the_same_bytes(threads):
    pixels = read_bmp(GOLDEN / "text_257x129.bmp")
    expected = read_bmp(GOLDEN / "text_257x129.out.bmp")[..., 0]
    np.testing.assert_array_equal(whiten.whiten(pixels, threads=threads), expected)


def test_two_threads_whiten_two_pages_at_once(demo_output):
    pages = [read_bmp(DEMO), read_bmp(GOLDEN / "synth_600x800.bmp")]
    alone = [whiten.whiten(p) for p in pages]
    results = [None, None]

    def work(i):
        for _ in range(3):
            results[i] = whiten.whiten(pages[i])

    workers = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    for r, a in zip(results, alone):
        np.testing.assert_array_equal(r, a)
    np.testing.assert_array_equal(alone[0], demo_output)


def test_another_thread_runs_while_a_page_is_whitened():
    big = np.tile(read_bmp(DEMO), (3, 3, 1))  # 2583 x 3924
    ticks, done = [], threading.Event()

    def tick():
        while not done.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        while not ticks:
            time.sleep(0.001)
        start = time.perf_counter()
        whiten.whiten(big, threads=1)  # one core left for the ticker
        end = time.perf_counter()
    finally:
        done.set()
        ticker.join()
    quarter = (end - start) / 4
    # Holding the GIL, the call would stop the ticker from its start to its end.
    assert sum(start + quarter < t < end - quarter for t in ticks) >= 3


def on_white(v, a):
    """Alpha composited on white: the nearest integer to v a / 255 + 255 - a."""
    a = a[..., None] if v.ndim == 3 else a
    return np.floor(v * (a / 255.0) + (255.0 - a) + 0.5).astype(np.uint8)


def image_of(mode, pixels, dpi):
    rgb = np.ascontiguousarray(pixels[..., ::-1])
    g = gray(pixels)
    image = {
        "L": lambda: Image.fromarray(g, "L"),
        "RGB": lambda: Image.fromarray(rgb, "RGB"),
        "RGBA": lambda: Image.fromarray(np.dstack([rgb, 255 - g]), "RGBA"),
        "P": lambda: Image.fromarray(rgb, "RGB").quantize(64),
        "LA": lambda: Image.fromarray(np.dstack([g, 255 - g]), "LA"),
        "CMYK": lambda: Image.fromarray(np.dstack([rgb, g // 2]), "CMYK"),
        "I;16": lambda: Image.fromarray(g.astype(np.uint16) * 256 + 255 - g),
    }[mode]()
    if dpi:
        image.info["dpi"] = dpi
    return image


def cmyk_to_rgb(cmyk):
    """R = (255 - C)(255 - K) / 255, rounded half up."""
    return np.floor((255.0 - cmyk[..., :3]) * (255.0 - cmyk[..., 3:]) / 255 + 0.5).astype(np.uint8)


# What whiten_image(image) must equal whiten() of: the image's samples as the readers decode a file.
EQUIVALENT = {
    "L": lambda image: np.asarray(image),
    "RGB": lambda image: np.asarray(image),
    "RGBA": lambda image: on_white(np.asarray(image)[..., :3], np.asarray(image)[..., 3]),
    "LA": lambda image: on_white(np.asarray(image)[..., 0], np.asarray(image)[..., 1]),
    # whitened by its colours
    "P": lambda image: np.array(image.getpalette(), np.uint8).reshape(-1, 3)[np.asarray(image)],
    "CMYK": lambda image: cmyk_to_rgb(np.asarray(image)),
    "I;16": lambda image: (np.asarray(image) >> 8).astype(np.uint8),  # the high byte
}


@pytest.mark.parametrize("mode, dpi", [("L", (300, 300)), ("RGB", None), ("RGBA", (150, 200)), ("P", (72, 72)),
                                       ("LA", None), ("CMYK", (200, 200)), ("I;16", None)])
def test_whiten_image(mode, dpi):
    pixels = read_bmp(GOLDEN / "text_257x129.bmp")
    image = image_of(mode, pixels, dpi)
    result = whiten.whiten_image(image)
    assert result.mode == "L" and result.info.get("dpi") == dpi
    np.testing.assert_array_equal(np.asarray(result), whiten.whiten(EQUIVALENT[mode](image)))


@pytest.mark.parametrize("mode, advice", [("1", "convert"), ("YCbCr", "convert"), ("I", "8 bits"),
                                          ("F", "8 bits")])
def test_whiten_image_refuses_modes(mode, advice):
    with pytest.raises(ValueError, match=advice):
        whiten.whiten_image(Image.new(mode, (8, 8)))


def test_version_is_the_projects():
    assert whiten.__version__ == os.environ["WHITEN_VERSION"]


def run_child(code, *args):
    """Runs `code` in a fresh interpreter with the package; its standard output, stripped."""
    child = subprocess.run([sys.executable, "-c", code, *map(str, args)], capture_output=True, text=True,
                           timeout=600)
    assert child.returncode == 0, child.stderr
    return child.stdout.strip()


# Whitens a 1000 x 1400 colour page with the thread count of argv[1], the address space limited
# to what the process holds plus 512 MiB: working sets sized by the count asked for would take
# gigabytes (about 2 GiB for 10**6 threads). Prints the result's digest.
BOUNDED_WHITENING = """
import hashlib, resource, sys
import numpy as np, whiten
page = np.random.default_rng(5).integers(120, 250, (1400, 1000, 3), dtype=np.uint8)
held = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (held + (512 << 20),) * 2)
print(hashlib.sha256(whiten.whiten(page, threads=int(sys.argv[1])).tobytes()).hexdigest())
"""


@pytest.mark.parametrize("threads", [1, 3, 1000, 10**6, 2**31 - 1])
def test_any_thread_count_gives_the_same_bytes_in_bounded_memory(threads):
    page = np.random.default_rng(5).integers(120, 250, (1400, 1000, 3), dtype=np.uint8)
    expected = hashlib.sha256(whiten.whiten(page, threads=1).tobytes()).hexdigest()
    assert run_child(BOUNDED_WHITENING, threads) == expected


# Makes a 2500 x 2500 page and a TIFF book of four, then makes the call argv[1] names once to the
# end and once with SIGINT sent at the given share of the first's time (argv[2]; outputs in
# folders under argv[3]). Prints the processor time the process spent from the signal to the
# KeyboardInterrupt, the whole call's, and the files the interrupted call left.
INTERRUPTED = """
import os, resource, signal, sys, threading, time
import numpy as np, whiten
from PIL import Image
def spent():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime
call, share, folder = sys.argv[1], float(sys.argv[2]), sys.argv[3]
page = np.full((2500, 2500), 180, np.uint8)
page[::50] = 20
book = os.path.join(folder, "book.tif")
Image.fromarray(page).save(book, save_all=True, append_images=[Image.fromarray(page)] * 3)
calls = {
    "whiten": lambda out: whiten.whiten(page, threads=1),
    "whiten_file": lambda out: whiten.whiten_file(book, os.path.join(out, "book.tif"), threads=1),
}
start, wall = spent(), time.monotonic()
calls[call](os.path.join(folder, "whole"))
whole, wall = spent() - start, time.monotonic() - wall
sent = []
def interrupt():
    sent.append(spent())
    os.kill(os.getpid(), signal.SIGINT)
threading.Timer(wall * share, interrupt).start()
out = os.path.join(folder, "interrupted")
try:
    calls[call](out)
    print("no KeyboardInterrupt")
except KeyboardInterrupt:
    print(spent() - sent[0], whole, *(os.listdir(out) if os.path.isdir(out) else []))
"""


# The call, and when the signal comes: for whiten_file half way through, two pages of the book
# added to its unfinished output.
INTERRUPTED_CALLS = {"whiten": 0.1, "whiten_file": 0.5}


@pytest.mark.parametrize("call", INTERRUPTED_CALLS)
def test_ctrl_c_stops_the_call_and_leaves_no_output(tmp_path, call):
    answer = run_child(INTERRUPTED, call, INTERRUPTED_CALLS[call], tmp_path)
    assert answer != "no KeyboardInterrupt"
    after_signal, whole, *left = answer.split()
    # Waiting for the call to end would spend the rest of the whole call after the signal.
    assert float(after_signal) < float(whole) / 3, answer
    assert not left, "an unfinished output is left"
