"""Whole collections of page files on a Dask cluster (Debian's python3-distributed).

    from distributed import Client
    import whiten.dask

    summary = whiten.dask.whiten_files(Client("tcp://HOST:8786"), paths, "white")
    print(summary)                      # 48 pages whitened, 0 refused, 0 failed, 0 skipped

One task per input file: whiten.whiten_file, run by the worker that gets it on
one thread with the GIL released, so that a worker holds one page per thread
and pages travel as paths, never as pixels. Outputs are complete or absent, so
an output that exists is done: a rerun whitens only the files not yet done. A
worker lost in the middle of a file has the file's task run again elsewhere
(the scheduler does that); a page that is refused or fails is an outcome, not
an error, so Dask never runs it twice. Dask is imported only by this module.

    python3 -m whiten.dask --scheduler tcp://HOST:8786 [OPTIONS] FILE...

does the same from the command line (python3 -m whiten.dask --help).
"""

from __future__ import annotations

import dataclasses
import os
import sys
import uuid
from typing import Callable, Iterable, List, NamedTuple, Optional

import whiten

from . import _whiten
from ._pages import PageProblem, outcome_of

__all__ = ["whiten_files", "Summary", "Problem"]


class Problem(NamedTuple):
    """A refused or failed page or file, with whiten-pages' line for it."""

    input: str
    line: str  # "scans/p2.jpg: refused: REASON", "book.tif (page 3 of 9): failed: REASON"

    def __str__(self):
        return self.line


@dataclasses.dataclass
class Summary:
    """What became of the files of one whiten_files call; paths as the caller gave them."""

    whitened: int = 0  # pages written by this call
    refused: List[Problem] = dataclasses.field(default_factory=list)  # the file's fault
    failed: List[Problem] = dataclasses.field(default_factory=list)  # the system's, or its workers lost
    skipped: List[str] = dataclasses.field(default_factory=list)  # outputs kept: they existed
    not_done: List[str] = dataclasses.field(default_factory=list)  # inputs given up when the run stopped
    stopped: str = ""  # why the run stopped early, or ""

    def add(self, outcome: whiten.FileOutcome):
        self.whitened += outcome.whitened
        for problem in outcome.page_problems:
            (self.refused if problem.refused else self.failed).append(Problem(outcome.input, problem.line))
        if outcome.skipped:
            self.skipped += outcome.outputs
        if outcome.stop_reason and not self.stopped:
            self.stopped = outcome.stop_reason

    def __str__(self):
        text = (f"{self.whitened} page{'' if self.whitened == 1 else 's'} whitened, {len(self.refused)} refused, "
                f"{len(self.failed)} failed, {len(self.skipped)} skipped")
        return text + (f", {len(self.not_done)} not done" if self.stopped else "")


def whiten_files(client, inputs: Iterable, out_dir=None, *, format: Optional[str] = "png", quality: int = 90,
                 overwrite: bool = False, progress: bool = True,
                 on_file: Optional[Callable[[whiten.FileOutcome], None]] = None) -> Summary:
    """Whitens every page of the input files on the cluster of `client` (a distributed.Client), a
    task per file, and returns when every file is done.

    The inputs are listed and their outputs named here, by whiten-pages' own plan: a folder gives
    its page files (sorted by name; files that are no page and Result folders passed over), and
    each file is opened once to count its pages. Outputs: NAME.png (format "tiff": .tif, "jpeg":
    .jpg, "bmp": .bmp) in out_dir, or in the folder Result beside each input (out_dir None); a
    multi-page input gives NAME-0001.png ... (one NAME.tif for "tiff"); format None is
    whiten-pages without --format: PNG, one TIFF for a multi-page input. An input whose output
    would replace an input or is another input's output too is refused here, as whiten-pages
    refuses it. quality: of JPEG outputs. Relative paths are taken from the current folder and
    given to the workers whole; outcomes and lines name the files as given.

    overwrite=False keeps every input whose outputs all exist (listed in Summary.skipped), so a
    rerun after any interruption whitens only what is missing; True whitens every input again.
    progress: Dask's progress bar, in a notebook or on a terminal. on_file(outcome) is called
    with each file's whiten.FileOutcome (paths as given) as it comes.

    A page refused or failed is listed once with whiten-pages' line, and so is a file whose
    workers were all lost (after Dask's allowed-failures). A failure that no later file escapes
    (a full disk, a read-only folder ...) stops the run: Summary.stopped says why, the files not
    yet done are cancelled into Summary.not_done. ValueError for a bad format, quality or out_dir.
    """
    if out_dir is not None and os.fspath(out_dir) in ("", b""):
        raise ValueError("whiten_files: out_dir names no folder")
    settings = _Settings(_checked_quality(quality), overwrite)
    planned = _whiten.plan_files([os.fsencode(i) for i in inputs],
                                 None if out_dir is None else os.fsencode(out_dir), format)
    summary = Summary()
    report = on_file or (lambda outcome: None)
    files = []
    for file in planned:
        if file["refused"] is None:
            files.append(_File(file["input"], file["source"], file["output"], file["destination"], file["format"]))
            continue
        outcome = outcome_of(file["refused"])
        summary.add(outcome)
        report(outcome)
    if files:
        pending = _submit(client, files, settings)
        try:
            if progress:
                _show_progress([future for future, _ in pending.values()])
            for outcome in _outcomes(pending):
                summary.add(outcome)
                report(outcome)
                if summary.stopped and pending:
                    summary.not_done = _cancel(client, pending)
        except BaseException:  # an interrupt: the files not done are not wanted any more
            _cancel(client, pending)
            raise
    return summary


@dataclasses.dataclass(frozen=True)
class _Settings:
    quality: int
    overwrite: bool


class _File(NamedTuple):
    """A file to whiten, as planned: its names as given, the paths the workers open, its format."""

    input: str
    source: str
    output: str  # the output whiten_file is given: for pages one a file, the name they are numbered after
    destination: str
    format: str


def _checked_quality(quality):
    if isinstance(quality, bool) or not isinstance(quality, int) or not 1 <= quality <= 100:
        raise ValueError(f"whiten_files: quality is a whole number from 1 to 100, not {quality!r}")
    return quality


def _failed(given, reason):
    """The outcome of a file whose task ended without one: its line names it as whiten-pages would."""
    line = f"{_whiten.quoted_name(os.fsencode(given))}: failed: {reason}"
    return whiten.FileOutcome(input=given, pages=0, whitened=0, outputs=[], problems=[line], skipped=False,
                              refused=False, failed=True, stop_reason=None, lines=[line],
                              page_problems=[PageProblem(None, False, reason, line)])


def _submit(client, files, settings):
    """The tasks, one a file, as {key: (future, input as given)}. Their keys show in the
    dashboard grouped as "whiten_file" (the number ends the group's name), each with its file."""
    token = uuid.uuid4().hex
    keys = [f"whiten_file-{i}-{token}-{file.input}" for i, file in enumerate(files)]
    futures = client.map(_whiten_one, files, key=keys, pure=False, settings=settings)
    return {future.key: (future, file.input) for future, file in zip(futures, files)}


def _whiten_one(file: _File, settings: _Settings):
    """The task, on a worker: one file through whiten.whiten_file, a page at a time on one
    thread (the worker's threads are its cores). Whatever becomes of the file is returned,
    not raised: a task that raises is an error to Dask, and only a lost worker should make
    Dask run a file twice. The outcome names the files as the caller gave them."""
    return whiten.whiten_file(file.source, file.destination, format=file.format, quality=settings.quality,
                              threads=1, keep_existing=not settings.overwrite, check=False,
                              show_as=(file.input, file.output))


def _show_progress(futures):
    from distributed import progress
    from distributed.utils import is_kernel

    if is_kernel() or sys.stdout.isatty():
        progress(futures)  # a widget in a notebook; on a terminal, a bar until every task is done


def _outcomes(pending):
    """Each file's outcome as its task ends; its future is let go once read, so that the
    cluster holds only the results not yet collected."""
    from distributed import as_completed
    from distributed.scheduler import KilledWorker

    for future in as_completed([future for future, _ in pending.values()]):
        if future.key not in pending:
            continue  # cancelled when the run stopped
        given = pending.pop(future.key)[1]
        if future.status == "finished":
            yield future.result()
            continue
        error = future.exception()
        if isinstance(error, KilledWorker):
            reason = f"its worker was lost {error.allowed_failures + 1} times while whitening it"
        else:
            reason = f"{type(error).__name__}: {error}".splitlines()[0]
        yield _failed(given, reason)


def _cancel(client, pending):
    """Cancels the tasks not ended; returns their inputs."""
    if pending:
        client.cancel([future for future, _ in pending.values()])
    given = [name for _, name in pending.values()]
    pending.clear()
    return given


if __name__ == "__main__":
    from whiten.dask_cli import main

    sys.exit(main())
