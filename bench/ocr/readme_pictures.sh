#!/usr/bin/env bash
# The README's before/after pictures of the OCRmyPDF section, drawn from the PDFs: the demo page
# as a 150-dpi PDF, and what ocrmypdf --plugin whiten.ocrmypdf makes of it; 80 dpi, 459 px wide.
#   PYTHONPATH=build/release/python bash bench/ocr/readme_pictures.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d "${TMPDIR:-/tmp}/whiten-pictures.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
/usr/bin/python3 -c "from PIL import Image; import sys; Image.open(sys.argv[1]).save(sys.argv[2], dpi=(150, 150))" \
    samples/lapide.052.100.bmp "$scratch/page.png"
img2pdf -o "$scratch/scan.pdf" "$scratch/page.png"
OMP_THREAD_LIMIT=1 /usr/bin/python3 -m ocrmypdf -q --plugin whiten.ocrmypdf "$scratch/scan.pdf" "$scratch/out.pdf"
pdftoppm -r 80 -png -singlefile "$scratch/scan.pdf" "$scratch/before"
pdftoppm -r 80 -png -singlefile "$scratch/out.pdf" "$scratch/after"
# pdftoppm draws in RGB; the whitened page is stored as the gray page it is.
/usr/bin/python3 -c "from PIL import Image; import sys; Image.open(sys.argv[1]).save(sys.argv[2], optimize=True); Image.open(sys.argv[3]).convert('L').save(sys.argv[4], optimize=True)" \
    "$scratch/before.png" docs/ocrmypdf-before.png "$scratch/after.png" docs/ocrmypdf-after.png
