#!/usr/bin/python3
"""The usual hand-written OpenCV whitening loop, the comparison for whiten-pages:
each page read as gray, divided by its Gaussian blur (sigma 40), written as PNG.
Usage: opencv_loop.py OUTDIR PAGE..."""
import os
import sys

import cv2

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for path in sys.argv[2:]:
    page = cv2.imread(path, cv2.IMREAD_GRAYSCALE)
    background = cv2.GaussianBlur(page, (0, 0), 40)
    white = cv2.divide(page, background, scale=255)
    name = os.path.splitext(os.path.basename(path))[0] + ".png"
    cv2.imwrite(os.path.join(out, name), white)
