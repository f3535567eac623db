// whiten._whiten: the library's page whitening on numpy arrays, the project's
// page readers, one file's whole job as whiten-pages does it, and the plan of
// a run of many files. The argument checks live in PageArgument.cpp.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>

#include "library/whiten.h"
#include "python/FileJob.h"
#include "python/FilePlan.h"
#include "python/Interruptible.h"
#include "python/PageArgument.h"
#include "python/PageErrors.h"
#include "python/PageFile.h"

namespace py = pybind11;

namespace {

py::array_t<std::uint8_t> Whiten(const py::object& page, const py::object& threads) {
    // `argument.holder` keeps the samples the library reads alive while the GIL is released.
    const wrap::PageArgument argument = wrap::ToPage(page);
    const int threadCount = wrap::ThreadCount(threads);
    const whiten::Page& view = argument.view;
    py::array_t<std::uint8_t> gray({static_cast<py::ssize_t>(view.height), static_cast<py::ssize_t>(view.width)});
    std::uint8_t* out = gray.mutable_data();
    wrap::RunInterruptibly([&] { whiten::WhitenInto(view, out, view.width, threadCount); });
    return gray;
}

}  // namespace

PYBIND11_MODULE(_whiten, module) {
    module.doc() = "The compiled part of the package whiten: see help(whiten).";
    py::options options;
    options.disable_function_signatures();  // each docstring starts with its own
    module.def("whiten", &Whiten, py::arg("page"), py::arg("threads") = py::none(),
               R"(whiten(page, threads=None) -> numpy.ndarray

Makes the paper of a scanned page white, exactly as the whiten tool does for
a 24-bit bitmap of the same picture: the result's bytes are the gray bytes the
tool writes.

page: a numpy array of dtype uint8, top row first, of shape
  (H, W)      gray,
  (H, W, 3)   three colour samples in any order (RGB or BGR: the gray level
              is their mean, rounded down),
  (H, W, 4)   three colour samples and a fourth that is ignored (alpha).
  Any strides: a page whose pixels' samples lie side by side is read where it
  is (a slice of a larger array, rows flipped, RGB reversed to BGR); other
  layouts (Fortran order, a channel picked from a wider array) are copied to
  C order first.
threads: None or 0 to use every core (whiten.default_threads()), or a count;
  a count beyond what can run is lowered to at most 4 a core and at most the
  page's longer side, so memory does not grow with it. The bytes are the same
  for any count.

Returns a new C-ordered uint8 array of shape (H, W).

Each side is 1 .. 1048576 (2**20) pixels and a page has at most 1073741823
(2**30 - 1) pixels. Raises TypeError for what is not a uint8 array (another
dtype: nothing is cast silently; a list, None, a Pillow image: the message
says what to call instead), ValueError for another shape, an empty or
oversized page, or a negative thread count; MemoryError when storage cannot
be had.

The GIL is released while the page is whitened, so threads whitening
different pages run side by side. Called on the main thread, the call answers
Ctrl-C within about a tenth of a second: KeyboardInterrupt is raised and no
result is made. On other threads Python delivers no signal, and a call runs
to its end. Besides the result the call needs one float (4 bytes) per pixel
and small working sets.)");
    module.def("default_threads", &whiten::DefaultThreads,
               "default_threads() -> int\n\nThe threads whiten() uses when threads is None or 0: the machine's cores.");
    wrap::AddPageErrors(module);
    wrap::AddPageFile(module);
    wrap::AddWhitenFile(module);
    wrap::AddFilePlan(module);
    module.attr("MAX_SIDE") = whiten::kMaxSide;
    module.attr("MAX_PIXELS") = whiten::kMaxPixels;
    module.attr("__version__") = whiten::Version();
}
