#!/usr/bin/env python3
"""Times whiten.whiten against OpenCV's blur-and-divide on one page held in memory.

    PYTHONPATH=BUILD/python /usr/bin/python3 bench/python_vs_opencv.py PAGE.bmp \
        [--repetitions N] [--threads T] [--whiten-bench BUILD/bench/whiten-bench]

Both run on the same numpy array (the page as OpenCV reads it, blue-green-red),
in alternating repetitions so that a slow spell of a shared machine touches
both alike; the figures are medians. OpenCV's pipeline is the one people write
by hand: gray, Gaussian blur with sigma 40, divide the page by it (timed with
and without its gray conversion). With --whiten-bench the tool's own whiten
stage on the same page file is timed as well (whiten-bench's "fast" pipeline,
one run of it in each repetition, in turn with the others).
"""

import argparse
import statistics
import subprocess
import time

import cv2
import numpy as np

import whiten


def opencv_blur_divide(gray):
    background = cv2.GaussianBlur(gray, (0, 0), 40)
    return cv2.divide(gray, background, scale=255)


def opencv_pipeline(page):
    return opencv_blur_divide(cv2.cvtColor(page, cv2.COLOR_BGR2GRAY))


def seconds(work, *args):
    start = time.perf_counter()
    work(*args)
    return time.perf_counter() - start


def tool_whiten_stage(bench, page, threads):
    """The whiten stage (seconds) of one run of whiten-bench's fast pipeline."""
    command = [bench, page, "--repetitions", "1", "--pipelines", "fast"]
    if threads:
        command += ["--threads", str(threads)]
    report = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    header = next(line.split() for line in report.splitlines() if line.startswith("pipeline"))
    fast = next(line.split() for line in report.splitlines() if line.startswith("fast"))
    return float(fast[header.index("whiten")])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("page", help="a 24-bit BMP page, e.g. an A4 page at 300 dpi")
    parser.add_argument("--repetitions", type=int, default=11)
    parser.add_argument("--threads", type=int, default=0, help="0: every core, for both")
    parser.add_argument("--whiten-bench", help="the whiten-bench program of a bench build")
    options = parser.parse_args()

    page = cv2.imread(options.page, cv2.IMREAD_COLOR)
    if page is None:
        parser.error(f"cannot read {options.page}")
    gray = cv2.cvtColor(page, cv2.COLOR_BGR2GRAY)
    if options.threads:
        cv2.setNumThreads(options.threads)
    threads = options.threads or whiten.default_threads()

    runs = {
        "whiten.whiten": lambda: whiten.whiten(page, threads=options.threads),
        "opencv gray+blur+divide": lambda: opencv_pipeline(page),
        "opencv blur+divide": lambda: opencv_blur_divide(gray),
    }
    for run in runs.values():  # first touches and lazy set-up out of the figures
        run()
    times = {name: [] for name in runs}
    tool = "tool whiten stage"
    if options.whiten_bench:
        times[tool] = []
    for _ in range(options.repetitions):
        for name, run in runs.items():
            times[name].append(seconds(run))
        if options.whiten_bench:
            times[tool].append(tool_whiten_stage(options.whiten_bench, options.page, options.threads))
    medians = {name: statistics.median(t) for name, t in times.items()}

    height, width = page.shape[:2]
    print(f"page {options.page}: {width} x {height}, {threads} threads, "
          f"median of {options.repetitions} alternating repetitions, seconds")
    for name, median in medians.items():
        print(f"{name:26s} {median:8.3f}   (min {min(times[name]):.3f}, max {max(times[name]):.3f})")
    ours = medians["whiten.whiten"]
    for name in medians:
        if name != "whiten.whiten":
            print(f"whiten.whiten / {name}: {ours / medians[name]:.2f}")


if __name__ == "__main__":
    main()
