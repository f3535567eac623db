# A plugin for the end-to-end test: whitening the second page (the only 800 x 320 gray one)
# fails as if storage ran out, to check how whiten.ocrmypdf ends the run.
import whiten

_whiten_image = whiten.whiten_image


def _failing_on_page_2(image):
    if image.mode == "L" and image.size == (800, 320):
        raise MemoryError
    return _whiten_image(image)


whiten.whiten_image = _failing_on_page_2
