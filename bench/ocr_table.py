#!/usr/bin/python3
"""Does whitening help Tesseract? Prints the README's OCR table as Markdown.

For synthetic pages with known text (bench/ocr/pages.py) it gives Tesseract's character error
rate on the raw page, on whiten.whiten's page and on OpenCV's Gaussian blur (sigma 40) and
divide; for the real pages in samples/, Tesseract's mean word confidence on each.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/ocr_table.py [-j JOBS]

Needs tesseract with its English data, python3-opencv and python3-pil; each Tesseract runs on
one thread (OMP_THREAD_LIMIT=1), JOBS of them at once (default 2).
"""

from __future__ import annotations

import argparse
import csv
import io
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import cv2
import numpy as np
from PIL import Image

import whiten

sys.path.insert(0, str(Path(__file__).resolve().parent / 'ocr'))
import pages  # noqa: E402  (bench/ocr/pages.py)

ROOT = Path(__file__).resolve().parent.parent
SAMPLES = [ROOT / 'samples' / 'lapide.052.100.bmp', ROOT / 'samples' / 'page.bmp']


def opencv_blur_divide(image: Image.Image) -> Image.Image:
    """The loop a user writes by hand: gray, Gaussian blur with sigma 40, divide by it."""
    array = np.asarray(image)
    gray = cv2.cvtColor(array, cv2.COLOR_RGB2GRAY) if array.ndim == 3 else array
    background = cv2.GaussianBlur(gray, (0, 0), 40)
    return Image.fromarray(cv2.divide(gray, background, scale=255), 'L')


METHODS = {
    'raw': lambda image: image,
    'whiten': whiten.whiten_image,
    'OpenCV blur+divide': opencv_blur_divide,
}


def tesseract(image: Image.Image, dpi, folder: str, name: str, config: str) -> str:
    """Tesseract's output (config 'txt' or 'tsv') for the page, read as a PNG at its dpi."""
    path = os.path.join(folder, name + '.png')
    image.save(path, dpi=dpi)
    env = dict(os.environ, OMP_THREAD_LIMIT='1')
    run = subprocess.run(['tesseract', path, '-', '-l', 'eng', config],
                         capture_output=True, text=True, env=env, check=True)
    return run.stdout


def words(text: str) -> str:
    return ' '.join(text.split())


def edit_distance(a: str, b: str) -> int:
    """Levenshtein distance, row by row."""
    previous = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        current = [i]
        for j, cb in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1,
                               previous[j - 1] + (ca != cb)))
        previous = current
    return previous[-1]


def character_error_rate(truth: str, read: str) -> float:
    """Edits per character of the known text, with runs of white space as one space."""
    truth, read = words(truth), words(read)
    return edit_distance(truth, read) / len(truth)


def mean_word_confidence(tsv: str) -> tuple[float, int]:
    """Mean confidence (0..100) of the words Tesseract found, and their number."""
    rows = csv.DictReader(io.StringIO(tsv), delimiter='\t', quoting=csv.QUOTE_NONE)
    confidences = [float(row['conf']) for row in rows
                   if row['level'] == '5' and float(row['conf']) >= 0 and row['text'].strip()]
    if not confidences:
        return 0.0, 0
    return sum(confidences) / len(confidences), len(confidences)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('-j', '--jobs', type=int, default=2, help='Tesseract runs at once')
    jobs = parser.parse_args().jobs

    synthetic = pages.pages()
    real = [(path.name, Image.open(path).convert('RGB')) for path in SAMPLES]
    with tempfile.TemporaryDirectory() as folder, ThreadPoolExecutor(jobs) as pool:
        cer = {}
        for index, page in enumerate(synthetic):
            for method, apply in METHODS.items():
                cer[page.name, method] = pool.submit(
                    lambda p=page, a=apply, n=f's{index}-{method}': character_error_rate(
                        p.text, tesseract(a(p.image), (pages.DPI, pages.DPI), folder, n, 'txt')))
        confidence = {}
        for index, (name, image) in enumerate(real):
            for method, apply in METHODS.items():
                # The sample bitmaps carry no resolution; 300 dpi is what Tesseract assumes.
                confidence[name, method] = pool.submit(
                    lambda i=image, a=apply, n=f'r{index}-{method}': mean_word_confidence(
                        tesseract(a(i), (300, 300), folder, n, 'tsv')))

        header = '| Page | ' + ' | '.join(METHODS) + ' |'
        rule = '|---|' + '---:|' * len(METHODS)
        print('Character error rate, synthetic pages (lower is better):\n')
        print(header)
        print(rule)
        totals = dict.fromkeys(METHODS, 0.0)
        for page in synthetic:
            cells = []
            for method in METHODS:
                value = cer[page.name, method].result()
                totals[method] += value
                cells.append(f'{100 * value:.1f} %')
            print(f'| {page.name} | ' + ' | '.join(cells) + ' |')
        print('| **mean** | ' + ' | '.join(
            f'**{100 * totals[m] / len(synthetic):.1f} %**' for m in METHODS) + ' |')
        print('\nMean word confidence, real pages (higher is better; words found):\n')
        print(header)
        print(rule)
        for name, _ in real:
            cells = []
            for method in METHODS:
                value, count = confidence[name, method].result()
                cells.append(f'{value:.1f} ({count})')
            print(f'| {name} | ' + ' | '.join(cells) + ' |')


if __name__ == '__main__':
    main()
