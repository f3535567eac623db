#!/usr/bin/python3
"""Times whiten.dask.whiten_files on a local cluster of 2 worker processes (one thread each)
against whiten-pages -j 2 on the same machine, on a book of A4 JPEG pages.

    /usr/bin/python3 bench/dask_bench.py PAGE.bmp [--pages 48] [--rounds 7] [--build DIR]

PAGE.bmp is an A4 300-dpi 24-bit page; the book is made from it once (every page a slight turn,
a shift and its own noise, JPEG quality 90, 300 dpi) into TMPDIR and reused, never into the
repository. DIR is a build with the Python module and whiten-pages (default build/package, made
with `cmake --preset package && cmake --build --preset package --target whiten_python_module
whiten-pages` when missing). The cluster is started once, as a real one is, and its start is
timed apart; rounds turn which run goes first; the figures are medians. Also timed:
`python3 -m whiten.dask` against the same cluster (its interpreter's start included). Memory: the
peak resident size of each worker process over the runs, less its size when idle, against
whiten-pages' peak.
"""

import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
WORKERS = 2


def make_book(page_path, pages):
    """The book's JPEG files, made once per page count into TMPDIR."""
    import numpy as np
    from PIL import Image

    book = Path(tempfile.gettempdir()) / f"whiten-dask-bench-{pages}"
    files = [book / f"p{i:03d}.jpg" for i in range(1, pages + 1)]
    if all(f.exists() for f in files):
        return files
    book.mkdir(exist_ok=True)
    source = Image.open(page_path).convert("RGB")
    for i, target in enumerate(files, 1):
        angle = ((i * 37) % 21 - 10) / 10
        shift = ((i * 53) % 81 - 40, (i * 29) % 61 - 30)
        turned = source.rotate(angle, Image.BILINEAR, translate=shift, fillcolor=(200, 192, 168))
        noise = np.random.default_rng(i).normal(0, 6, (source.height, source.width, 1))
        pixels = np.clip(np.asarray(turned, np.int16) + noise.astype(np.int16), 0, 255).astype(np.uint8)
        partial = target.with_suffix(".part")
        Image.fromarray(pixels).save(partial, "JPEG", quality=90, dpi=(300, 300))
        partial.rename(target)
    return files


def build_dir(given):
    if given:
        return Path(given).resolve()
    build = ROOT / "build" / "package"
    if not (build / "pages" / "whiten-pages").exists() or not list((build / "python" / "whiten").glob("_whiten*.so")):
        subprocess.run(["cmake", "--preset", "package"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "package", "--target", "whiten_python_module", "whiten-pages"],
                       cwd=ROOT, check=True)
    return build


def run_pages(binary, files, out):
    """Seconds and peak resident KiB of one whiten-pages run."""
    start = time.perf_counter()
    process = subprocess.Popen([str(binary), "-q", "-j", str(WORKERS), "-o", str(out)] + [str(f) for f in files])
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"whiten-pages exited with {process.returncode}")
    return seconds, usage.ru_maxrss


def run_cluster(client, files, out):
    import whiten.dask

    start = time.perf_counter()
    summary = whiten.dask.whiten_files(client, files, out, progress=False)
    seconds = time.perf_counter() - start
    if summary.whitened != len(files) or summary.refused or summary.failed:
        sys.exit(f"whiten_files: {summary}")
    return seconds, None


def run_command(address, files, out):
    start = time.perf_counter()
    subprocess.run([sys.executable, "-m", "whiten.dask", "--scheduler", address, "-q", "-o", str(out)]
                   + [str(f) for f in files], check=True)
    return time.perf_counter() - start, None


def resident_kib():
    """On a worker: (resident KiB now, peak resident KiB so far)."""
    import psutil

    return psutil.Process().memory_info().rss // 1024, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def same_bytes(first, second):
    names = sorted(p.name for p in first.iterdir())
    return names == sorted(p.name for p in second.iterdir()) and all(
        (first / n).read_bytes() == (second / n).read_bytes() for n in names)


def timed_rounds(runs, rounds, scratch):
    """Seconds of each run in each round (rounds turn which run goes first), whiten-pages' peaks."""
    times = {name: [] for name in runs}
    peaks = []
    for name, run in runs.items():  # a first round unmeasured: caches, the workers' imports
        run(scratch / name)
    if not same_bytes(scratch / "whiten-pages -j 2", scratch / "whiten_files, 2 workers"):
        sys.exit("the cluster's pages differ from whiten-pages'")
    names = list(runs)
    for r in range(rounds):
        for name in names[r % len(names):] + names[: r % len(names)]:
            shutil.rmtree(scratch / name)
            seconds, peak = runs[name](scratch / name)
            times[name].append(seconds)
            if peak:
                peaks.append(peak)
        print(f"round {r + 1} of {rounds} done", file=sys.stderr)
    return times, peaks


def report(times, peaks, pages, rounds, cluster_start, idle, busy):
    base = statistics.median(times["whiten-pages -j 2"]) / pages
    print(f"{pages} A4 JPEG pages (2480 x 3508, 300 dpi), {rounds} rounds, {os.cpu_count()} cores; medians")
    print("| run | s a page | / whiten-pages | overhead a page |")
    print("|---|---|---|---|")
    for name, seconds in times.items():
        per_page = statistics.median(seconds) / pages
        print(f"| {name} | {per_page:.3f} | {per_page / base:.3f} | {1000 * (per_page - base):+.1f} ms |")
    print(f"cluster start: {cluster_start:.1f} s (once)")
    print(f"whiten-pages -j 2 peak: {max(peaks) / 1024:.0f} MiB")
    for address, (_, peak) in sorted(busy.items()):
        print(f"worker {address}: idle {idle[address][0] / 1024:.0f} MiB, peak {peak / 1024:.0f} MiB, "
              f"peak over idle {(peak - idle[address][0]) / 1024:.0f} MiB")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("page", help="an A4 300-dpi 24-bit BMP page")
    parser.add_argument("--pages", type=int, default=48)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--build", help="a build holding python/whiten and pages/whiten-pages")
    options = parser.parse_args()
    build = build_dir(options.build)
    # The workers are processes of their own: they find the package through the environment.
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(build / "python"), os.environ.get("PYTHONPATH")]))
    sys.path.insert(0, str(build / "python"))
    files = make_book(options.page, options.pages)

    from distributed import Client, LocalCluster

    start = time.perf_counter()
    cluster = LocalCluster(n_workers=WORKERS, threads_per_worker=1, processes=True, dashboard_address=None)
    client = Client(cluster)
    cluster_start = time.perf_counter() - start
    idle = client.run(resident_kib)
    scratch = Path(tempfile.mkdtemp(prefix="whiten-dask-bench-"))
    runs = {
        "whiten-pages -j 2": lambda out: run_pages(build / "pages" / "whiten-pages", files, out),
        "whiten_files, 2 workers": lambda out: run_cluster(client, files, out),
        "python3 -m whiten.dask": lambda out: run_command(cluster.scheduler_address, files, out),
    }
    try:
        times, peaks = timed_rounds(runs, options.rounds, scratch)
        busy = client.run(resident_kib)
    finally:
        client.close()
        cluster.close()
        shutil.rmtree(scratch)
    report(times, peaks, len(files), options.rounds, cluster_start, idle, busy)


if __name__ == "__main__":
    main()
