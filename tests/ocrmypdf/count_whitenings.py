# A plugin for the end-to-end test: each page whitened adds its size as a line to the file named
# in WHITEN_COUNT_FILE (from every worker, thread or process), to count how often a page is whitened.
# A worker process may load the plugin again over the parent's: the count is added once.
import os

import whiten


def _counting(whiten_image):
    def counted(image, *args, **kwargs):
        with open(os.environ["WHITEN_COUNT_FILE"], "a") as count:
            count.write(f"{image.size[0]} x {image.size[1]}\n")
        return whiten_image(image, *args, **kwargs)

    counted.counts = True
    return counted


if not getattr(whiten.whiten_image, "counts", False):
    whiten.whiten_image = _counting(whiten.whiten_image)
