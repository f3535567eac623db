# whiten.dask on a local cluster of two worker processes, against whiten-pages: the same bytes
# for the kinds of pages whiten-pages reads, a worker killed in the middle of a page, a rerun
# after an interrupted run, damaged files, and the command's lines and exit statuses.
# Needs WHITEN_PAGES_BINARY (the built whiten-pages) and the built package on PYTHONPATH.
import logging
import os
import pty
import select
import shutil
import signal
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import cloudpickle
import dask
import numpy as np
import pytest
from distributed import Client, LocalCluster
from distributed.diagnostics.plugin import WorkerPlugin
from PIL import Image

import whiten
import whiten.dask

PAGES_BINARY = os.path.abspath(os.environ["WHITEN_PAGES_BINARY"])
COMMAND = [sys.executable, "-m", "whiten.dask"]
# The hooks below run on the workers, which cannot import this file: they travel by value.
cloudpickle.register_pickle_by_value(sys.modules[__name__])


def picture(width, height, seed):
    """An RGB scan: paper lit unevenly, a few dark strokes, noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    paper = 190 + 35 * np.sin(3 * x / width + seed) * np.cos(2 * y / height)
    page = paper[..., None] * np.array([1.0, 0.96, 0.88])
    for _ in range(10):
        row, column = rng.integers(0, height - 3), rng.integers(0, width - 30)
        page[row:row + 3, column:column + rng.integers(8, 30)] = 40
    return np.clip(page + rng.normal(0, 4, page.shape), 0, 255).astype(np.uint8)


def gray(rgb):
    return Image.fromarray(rgb).convert("L")


def with_alpha(rgb):
    alpha = np.linspace(0, 255, rgb.shape[1], dtype=np.uint8)[None, :].repeat(rgb.shape[0], axis=0)
    return Image.fromarray(np.dstack([rgb, alpha]), "RGBA")


def book(rgb, path):
    pages = [Image.fromarray(rgb), gray(rgb[::-1]), Image.fromarray(rgb[:, ::2])]
    pages[0].save(path, "TIFF", save_all=True, append_images=pages[1:], compression="tiff_lzw")


# The kinds of page files whiten-pages reads, as Pillow writes them: (pages, how to write one).
KINDS = {
    "jpeg-gray.jpg": (1, lambda p, path: gray(p).save(path, "JPEG", quality=85, dpi=(300, 300))),
    "jpeg-colour.jpg": (1, lambda p, path: Image.fromarray(p).save(path, "JPEG", quality=90, subsampling=2)),
    "jpeg-progressive.jpg": (1, lambda p, path: Image.fromarray(p).save(path, "JPEG", progressive=True)),
    "png-gray.png": (1, lambda p, path: gray(p).save(path, "PNG", dpi=(150, 150))),
    "png-rgb.png": (1, lambda p, path: Image.fromarray(p).save(path, "PNG")),
    "png-rgba.png": (1, lambda p, path: with_alpha(p).save(path, "PNG")),
    "png-palette.png": (1, lambda p, path: Image.fromarray(p).quantize(32).save(path, "PNG")),
    "tiff-single.tif": (1, lambda p, path: Image.fromarray(p).save(path, "TIFF", compression="tiff_deflate")),
    "tiff-book.tif": (3, book),
    "bmp.bmp": (1, lambda p, path: Image.fromarray(p).save(path, "BMP")),
}


@pytest.fixture(scope="module")
def pages(tmp_path_factory):
    """A folder of one file of each kind, each of its own size."""
    folder = tmp_path_factory.mktemp("pages")
    for i, (name, (_, write)) in enumerate(KINDS.items()):
        write(picture(90 + 13 * i, 70 + 7 * i, i), folder / name)
    return folder


def inputs(folder):
    return sorted(str(folder / name) for name in KINDS)


def files(folder):
    return {p.name: p.read_bytes() for p in Path(folder).iterdir()}


@pytest.fixture(scope="module")
def reference(pages, tmp_path_factory):
    """whiten-pages' outputs for the folder (name: bytes), by --format (None: without it)."""
    made = {}

    def outputs(format):
        if format not in made:
            out = tmp_path_factory.mktemp("reference")
            subprocess.run([PAGES_BINARY, "-q", "-o", str(out)] + (["-f", format] if format else []) + inputs(pages),
                           check=True)
            made[format] = files(out)
        return made[format]

    return outputs


@pytest.fixture(scope="module")
def cluster():
    # One failure allowed: a task whose worker dies twice is given up, so that the test of a
    # file that kills every worker needs two deaths, not four. A worker restarting on a busy
    # machine may take longer than the 15 s after which the cluster would give its nanny up.
    with dask.config.set({"distributed.deploy.lost-worker-timeout": "120s"}), \
            LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                         scheduler_kwargs={"allowed_failures": 1}, silence_logs=logging.CRITICAL) as local:
        yield local


@pytest.fixture
def client(cluster):
    with Client(cluster) as connected:
        connected.wait_for_workers(2, timeout=60)
        yield connected
        if "slow pages" in connected.run_on_scheduler(lambda dask_scheduler: list(dask_scheduler.worker_plugins)):
            connected.unregister_worker_plugin("slow pages")
            connected.run(unhook)
        connected.wait_for_workers(2, timeout=60)


class SlowPages(WorkerPlugin):
    """On each worker, now and restarted: whiten_file of the inputs named in `slow` leaves a
    line with the worker's process id in MARKERS/NAME and, the first time, waits `seconds`
    before or after writing; with die=True it ends the worker instead."""

    def __init__(self, markers, slow, seconds=60.0, when="before", die=False):
        self.markers, self.slow, self.seconds, self.when, self.die = markers, slow, seconds, when, die

    def setup(self, worker):
        real = getattr(whiten, "unhooked_whiten_file", whiten.whiten_file)
        whiten.unhooked_whiten_file = real

        def hooked(source, output, **options):
            name = Path(source).name
            if name not in self.slow:
                return real(source, output, **options)
            marker = Path(self.markers) / name
            first = not marker.exists()
            if self.when == "before" or self.die:
                self.mark(marker)
                if self.die:
                    os._exit(70)
                time.sleep(self.seconds if first else 0)
            result = real(source, output, **options)
            if self.when == "after":
                self.mark(marker)
                time.sleep(self.seconds if first else 0)
            self.mark(Path(f"{marker}.done"))
            return result

        whiten.whiten_file = hooked

    @staticmethod
    def mark(marker):
        with open(marker, "a") as lines:
            lines.write(f"{os.getpid()}\n")


def unhook():
    whiten.whiten_file = getattr(whiten, "unhooked_whiten_file", whiten.whiten_file)


def hook(client, markers, slow, **options):
    markers.mkdir(exist_ok=True)
    client.register_worker_plugin(SlowPages(str(markers), slow, **options), name="slow pages")


def wait_for(path, seconds=60):
    end = time.monotonic() + seconds
    while not path.exists() or not path.read_text():
        assert time.monotonic() < end, f"{path} never came"
        time.sleep(0.02)
    return path.read_text().split()


@pytest.mark.parametrize("format", [None, "png", "jpeg"])
def test_the_same_bytes_as_whiten_pages(client, pages, reference, tmp_path, format):
    summary = whiten.dask.whiten_files(client, inputs(pages), tmp_path, format=format, progress=False)
    assert files(tmp_path) == reference(format)
    assert (summary.whitened, summary.refused, summary.failed, summary.skipped) == (
        sum(pages for pages, _ in KINDS.values()), [], [], [])
    # The dashboard shows the tasks by the prefix of their keys: one group, not one a file.
    prefixes = client.run_on_scheduler(lambda dask_scheduler: list(dask_scheduler.task_prefixes))
    assert [p for p in prefixes if "whiten" in p] == ["whiten_file"]


@pytest.mark.parametrize("when", ["before", "after"])
def test_a_worker_killed_mid_page_loses_nothing(client, pages, reference, tmp_path, when):
    """Killed before its page is written, or after but before it told the scheduler."""
    hook(client, tmp_path / "markers", {"jpeg-colour.jpg"}, when=when)
    out = tmp_path / "out"
    with ThreadPoolExecutor(1) as pool:
        run = pool.submit(whiten.dask.whiten_files, client, inputs(pages), out, format=None, progress=False)
        killed = wait_for(tmp_path / "markers" / "jpeg-colour.jpg")[0]
        written = (out / "jpeg-colour.png").stat() if when == "after" else None
        os.kill(int(killed), signal.SIGKILL)
        summary = run.result(timeout=60)
    attempts = (tmp_path / "markers" / "jpeg-colour.jpg").read_text().split()
    assert len(attempts) == 2 and attempts[1] != killed  # run again, by another worker
    assert files(out) == reference(None)  # every page, complete, and nothing else
    assert (summary.refused, summary.failed) == ([], [])
    kept = [str(out / "jpeg-colour.png")] if when == "after" else []
    assert summary.skipped == kept
    assert summary.whitened == sum(pages for pages, _ in KINDS.values()) - len(kept)
    if written:  # written once: the second run kept it
        again = (out / "jpeg-colour.png").stat()
        assert (again.st_ino, again.st_mtime_ns) == (written.st_ino, written.st_mtime_ns)


def test_a_rerun_after_an_interrupted_run_does_only_the_missing_pages(client, cluster, pages, reference, tmp_path):
    markers, out = tmp_path / "markers", tmp_path / "out"
    names = sorted(KINDS)
    slow = {names[2], names[3]}  # both workers busy with these two, the files after them waiting
    hook(client, markers, slow, seconds=3)
    run = subprocess.Popen(COMMAND + ["--scheduler", cluster.scheduler_address, "-o", str(out)] + inputs(pages),
                           stdout=subprocess.DEVNULL)
    for name in slow:
        wait_for(markers / name)
    run.send_signal(signal.SIGINT)
    assert run.wait(timeout=30) == -signal.SIGINT
    for name in slow:  # the pages under way finish on their workers
        wait_for(markers / f"{name}.done", 10)
    made = {p.name: (p.stat().st_ino, p.stat().st_mtime_ns) for p in out.iterdir()}
    expected = reference(None)
    missing = set(expected) - set(made)
    assert missing and set(made) <= set(expected)  # cut short, and nothing partial

    summary = whiten.dask.whiten_files(client, inputs(pages), out, format=None, progress=False)
    assert summary.whitened == sum(KINDS[n][0] for n in KINDS if Path(n).stem in {Path(m).stem for m in missing})
    assert sorted(summary.skipped) == sorted(str(out / name) for name in made)
    assert files(out) == expected
    assert {name: ((out / name).stat().st_ino, (out / name).stat().st_mtime_ns) for name in made} == made


def test_a_file_that_kills_every_worker_is_failed_once(client, pages, tmp_path):
    """Its line quotes its name as whiten-pages' lines do."""
    shutil.copy(pages / "png-rgb.png", tmp_path / "a page.png")
    hook(client, tmp_path / "markers", {"a page.png"}, die=True)
    summary = whiten.dask.whiten_files(client, [str(tmp_path / "a page.png")], tmp_path / "out", progress=False)
    assert [str(p) for p in summary.failed] == [f"'{tmp_path / 'a page.png'}': failed: its worker was lost 2 times while whitening it"]
    assert len((tmp_path / "markers" / "a page.png").read_text().split()) == 2
    assert summary.whitened == 0 and not (tmp_path / "out").exists()


def test_a_failure_no_file_escapes_stops_the_run(client, pages, tmp_path):
    """The output folder cannot be made: the first file to find it out stops the others."""
    (tmp_path / "blocker").write_text("a file, so no folder can be made under it\n")
    names = sorted(KINDS)
    hook(client, tmp_path / "markers", set(names[1:]), seconds=2)  # all wait but the first
    summary = whiten.dask.whiten_files(client, inputs(pages), tmp_path / "blocker" / "out", progress=False)
    assert "blocker" in summary.stopped
    assert sorted(summary.not_done) == inputs(pages)[1:]
    assert (summary.whitened, summary.refused) == (0, [])
    assert [p.input for p in summary.failed] == inputs(pages)[:1]


def damaged(folder):
    """Files whiten-pages refuses, beside the good ones."""
    colour = (folder / "jpeg-colour.jpg").read_bytes()
    (folder / "truncated.jpg").write_bytes(colour[: len(colour) // 2])
    (folder / "no page.txt").write_text("not a page\n")  # a name the lines quote
    return ["truncated.jpg", "no page.txt"]


def page_lines(output):
    lines = output.splitlines()
    return sorted(lines[:-1]), lines[-1]


def test_the_command_gives_whiten_pages_names_lines_and_statuses(cluster, pages, tmp_path):
    """Relative names in a folder whose absolute name the lines would quote, outputs into
    Result beside the inputs: the same files and lines."""
    tmp_path = tmp_path / "a folder"
    runs = {}
    for program in ("whiten-pages", "whiten.dask"):
        shutil.copytree(pages, tmp_path / program / "scans")
        bad = damaged(tmp_path / program / "scans")
        command = [PAGES_BINARY] if program == "whiten-pages" else COMMAND + ["--scheduler", cluster.scheduler_address]
        runs[program] = subprocess.run(command + [f"scans/{name}" for name in sorted(KINDS) + bad],
                                       cwd=tmp_path / program, capture_output=True, text=True)
    ours, theirs = runs["whiten.dask"], runs["whiten-pages"]
    assert (ours.returncode, theirs.returncode) == (1, 1)
    assert page_lines(ours.stdout)[0] == page_lines(theirs.stdout)[0]
    for name in ("scans/truncated.jpg", "'scans/no page.txt'"):  # one line each
        assert sum(line.startswith(f"{name}: refused: ") for line in ours.stdout.splitlines()) == 1
    assert page_lines(ours.stdout)[1].startswith("whiten.dask: 12 pages whitened, 2 refused, 0 failed, 0 skipped in ")
    assert files(tmp_path / "whiten.dask" / "scans" / "Result") == files(tmp_path / "whiten-pages" / "scans" / "Result")

    again = subprocess.run(COMMAND + ["--scheduler", cluster.scheduler_address] + [f"scans/{name}" for name in KINDS],
                           cwd=tmp_path / "whiten.dask", capture_output=True, text=True)
    assert again.returncode == 0, again.stdout + again.stderr
    assert "scans/tiff-book.tif: skipped: scans/Result/tiff-book.tif already there\n" in again.stdout
    assert page_lines(again.stdout)[1].startswith(f"whiten.dask: 0 pages whitened, 0 refused, 0 failed, {len(KINDS)} skipped")


def test_the_command_lists_folders_and_quotes_names_as_whiten_pages(cluster, pages, tmp_path):
    """A folder named: its pages (a text passed over), names the lines quote, two pages with one
    output (the second refused before any task), a book written a page a file."""
    tmp_path = tmp_path / "a folder"
    runs = {}
    for program in ("whiten-pages", "whiten.dask"):
        book = tmp_path / program / "book"
        book.mkdir(parents=True)
        shutil.copy(pages / "jpeg-colour.jpg", book / "a page.jpg")
        shutil.copy(pages / "png-rgb.png", book / "a page.png")
        shutil.copy(pages / "tiff-book.tif", book / "tiff-book.tif")
        (book / "notes.txt").write_text("no page\n")
        command = [PAGES_BINARY] if program == "whiten-pages" else COMMAND + ["--scheduler", cluster.scheduler_address]
        runs[program] = subprocess.run(command + ["-f", "png", "book"], cwd=tmp_path / program,
                                       capture_output=True, text=True)
    ours, theirs = runs["whiten.dask"], runs["whiten-pages"]
    assert (ours.returncode, theirs.returncode) == (1, 1)
    assert page_lines(ours.stdout)[0] == page_lines(theirs.stdout)[0]
    assert ("'book/a page.png': refused: its output 'book/Result/a page.png' is already the output of "
            "'book/a page.jpg'") in ours.stdout.splitlines()
    assert "'book/a page.jpg' -> 'book/Result/a page.png'" in ours.stdout.splitlines()
    assert files(tmp_path / "whiten.dask" / "book" / "Result") == files(tmp_path / "whiten-pages" / "book" / "Result")
    assert sorted(files(tmp_path / "whiten.dask" / "book" / "Result")) == [
        "a page.png", "tiff-book-0001.png", "tiff-book-0002.png", "tiff-book-0003.png"]


def test_on_a_terminal_the_command_shows_dasks_bar(cluster, pages, tmp_path):
    shutil.copytree(pages, tmp_path / "scans")
    bad = damaged(tmp_path / "scans")
    terminal, other_end = pty.openpty()
    with open(other_end, "wb") as stdout:
        run = subprocess.run(COMMAND + ["--scheduler", cluster.scheduler_address, "-o", "out", "scans/jpeg-gray.jpg",
                                        f"scans/{bad[0]}"], cwd=tmp_path, stdout=stdout, stderr=subprocess.PIPE,
                             text=True)
    shown = b""
    try:
        while select.select([terminal], [], [], 0)[0]:
            shown += os.read(terminal, 4096)
    except OSError:  # EIO: all read, the other end is closed
        pass
    os.close(terminal)
    assert run.returncode == 1
    assert b"| 100% Completed |" in shown and b"jpeg-gray" not in shown
    lines = run.stderr.splitlines()
    assert lines[0].startswith(f"scans/{bad[0]}: refused: ") and len(lines) == 2
    assert lines[1].startswith("whiten.dask: 1 page whitened, 1 refused, 0 failed, 0 skipped in ")


@pytest.mark.parametrize("arguments, message", [
    ([], "the following arguments are required: FILE"),
    (["--bogus", "a.jpg"], "unrecognized arguments: --bogus"),
    (["--quality", "0", "a.jpg"], "--quality takes a whole number from 1 to 100, not '0'"),
    (["-f", "gif", "a.jpg"], "invalid choice: 'gif'"),
    (["-o", "", "a.jpg"], "-o/--output needs a folder name"),
])
def test_a_bad_command_line_is_status_2(tmp_path, arguments, message):
    run = subprocess.run(COMMAND + ["--scheduler", "tcp://127.0.0.1:9"] + arguments, cwd=tmp_path,
                         capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (2, "")
    assert message in run.stderr
    assert list(tmp_path.iterdir()) == []
