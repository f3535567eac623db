"""python3 -m whiten.dask: whiten-pages' command line for a Dask cluster, with its output names,
its page lines and its exit statuses (0 every page whitened or kept, 1 some page refused or
failed or the run stopped, 2 a bad command line)."""

from __future__ import annotations

import argparse
import logging
import os
import re
import signal
import sys
import time

import whiten

from .dask import Summary, whiten_files

_PROGRAM = "python3 -m whiten.dask"
_DESCRIPTION = """Whitens the pages of JPEG, PNG, TIFF and 24-bit BMP files (and of the page files
in a folder named) on the workers of a Dask cluster, one task per file, into gray PNG files in the
folder Result beside each input (or -o DIR), named as whiten-pages names them. An input whose every
output exists is kept (skipped): a rerun after an interruption whitens only what is missing. The
files are listed and opened here once, to count their pages; the workers must see them under the
same names (relative names are taken from the current folder)."""


def _quality(text):
    if not re.fullmatch(r"[0-9]{1,3}", text) or not 1 <= int(text) <= 100:
        raise argparse.ArgumentTypeError(f"--quality takes a whole number from 1 to 100, not '{text}'")
    return int(text)


def _parser():
    parser = argparse.ArgumentParser(prog=_PROGRAM, description=_DESCRIPTION)
    parser.add_argument("files", nargs="+", metavar="FILE")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the Dask scheduler, e.g. tcp://HOST:8786 (default: Dask's scheduler-address "
                             "setting, such as DASK_SCHEDULER_ADDRESS)")
    parser.add_argument("-o", "--output", metavar="DIR", help="write every output into DIR instead")
    parser.add_argument("-f", "--format", choices=("png", "tiff", "jpeg", "bmp"),
                        help="the output format (default: png, and one multi-page TIFF for a multi-page input)")
    parser.add_argument("--quality", type=_quality, default=90, metavar="N", help="of JPEG outputs, 1 to 100 (90)")
    parser.add_argument("--overwrite", action="store_true", help="whiten every input again, replacing its outputs")
    parser.add_argument("-q", "--quiet", action="store_true", help="show only the pages refused or failed")
    parser.add_argument("-V", "--version", action="version", version=f"whiten.dask {whiten.__version__}")
    return parser


def _options(argv):
    parser = _parser()
    options = parser.parse_intermixed_args(argv)
    if options.output == "":
        parser.error("-o/--output needs a folder name")
    if options.scheduler is None:
        import dask

        options.scheduler = dask.config.get("scheduler-address", None)
        if not options.scheduler:
            parser.error("no --scheduler given, and Dask's configuration names none")
    return options


class _ShutdownNoise(logging.Filter):
    """Drops asyncio's report of a future nobody awaited: the client's own closing, when it is
    slow (a loaded machine), leaves one that failed with a TimeoutError after every result is in;
    its traceback would follow the run's summary line as if the run had failed."""

    def filter(self, record):
        return not record.getMessage().partition("\n")[0].endswith("exception was never retrieved")


def main(argv=None) -> int:
    options = _options(sys.argv[1:] if argv is None else argv)
    from distributed import Client

    logging.getLogger("asyncio").addFilter(_ShutdownNoise())
    style = "quiet" if options.quiet else "bar" if sys.stdout.isatty() else "lines"
    start = time.monotonic()
    try:
        with Client(options.scheduler) as client:
            summary = whiten_files(client, options.files, options.output, format=options.format,
                                   quality=options.quality, overwrite=options.overwrite,
                                   progress=style == "bar", on_file=lambda o: _tell(o, style))
    except KeyboardInterrupt:
        # The client is closed, the files not done cancelled: end as an interrupted program does.
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        os.kill(os.getpid(), signal.SIGINT)
        raise
    except OSError as error:  # the scheduler cannot be reached
        print(f"whiten.dask: {options.scheduler}: {error}", file=sys.stderr)
        return 1
    _finish(summary, style, time.monotonic() - start)
    return 0 if not (summary.refused or summary.failed or summary.stopped) else 1


def _tell(outcome: whiten.FileOutcome, style):
    if style == "lines":
        for line in outcome.lines:
            print(line, flush=True)
    elif style != "bar":  # under a bar the problems come once it is done
        for line in outcome.problems:
            print(line, file=sys.stderr, flush=True)


def _finish(summary: Summary, style, seconds):
    if style == "bar":
        for problem in summary.refused + summary.failed:
            print(problem.line, file=sys.stderr)
    if summary.stopped:
        print(f"whiten.dask: stopped: {summary.stopped}", file=sys.stderr)
    if style == "quiet":
        return
    line = f"whiten.dask: {summary} in {seconds:.1f} s"
    if summary.whitened:
        line += f" ({seconds / summary.whitened:.2f} s a page)"
    print(line, file=sys.stderr if style == "bar" else sys.stdout, flush=True)
