#!/usr/bin/python3
"""Seconds per page of ocrmypdf with the plugin whiten.ocrmypdf against OCRmyPDF alone.

The PDF: the demo page (samples/lapide.052.100.bmp at 150 dpi) and the synthetic pages of the
OCR table (200 dpi), made with img2pdf. Each command runs with -j 1 (one page at a time,
Tesseract on one thread), the best of REPEATS runs.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/ocr/ocrmypdf_time.py [REPEATS]
"""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from PIL import Image

sys.path.insert(0, str(Path(__file__).resolve().parent))
import pages  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]

COMMANDS = {
    'OCRmyPDF alone': [],
    'OCRmyPDF alone, --force-ocr': ['--force-ocr'],
    'with --plugin whiten.ocrmypdf': ['--plugin', 'whiten.ocrmypdf'],
    'with --plugin whiten.ocrmypdf --whiten-ocr-only': ['--plugin', 'whiten.ocrmypdf',
                                                         '--whiten-ocr-only'],
}


def main() -> None:
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 2
    env = dict(os.environ, OMP_THREAD_LIMIT='1')
    with tempfile.TemporaryDirectory() as folder:
        files = [os.path.join(folder, 'demo.png')]
        Image.open(ROOT / 'samples' / 'lapide.052.100.bmp').save(files[0], dpi=(150, 150))
        for index, page in enumerate(pages.pages()):
            files.append(os.path.join(folder, f'page{index}.png'))
            page.image.save(files[-1], dpi=(pages.DPI, pages.DPI))
        pdf = os.path.join(folder, 'in.pdf')
        subprocess.run(['img2pdf', '-o', pdf] + files, check=True)
        print(f'{len(files)} pages; seconds per page, best of {repeats}:\n')
        print('| Command | s / page |\n|---|---:|')
        for name, args in COMMANDS.items():
            best = float('inf')
            for _ in range(repeats):
                start = time.perf_counter()
                subprocess.run([sys.executable, '-m', 'ocrmypdf', '-q', '-j', '1', *args, pdf,
                                os.path.join(folder, 'out.pdf')], check=True, env=env)
                best = min(best, time.perf_counter() - start)
            print(f'| {name} | {best / len(files):.2f} |')


if __name__ == '__main__':
    main()
