// whiten._whiten: the library's page whitening on numpy arrays. The argument
// checks live here, at the boundary, so that a wrong page is refused before
// any copy or output array is made.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <climits>
#include <cstdint>
#include <string>

#include "image/PageLimits.h"
#include "library/whiten.h"

namespace py = pybind11;

namespace {

std::string ShapeText(const py::array& page) {
    std::string text = "(";
    for (py::ssize_t axis = 0; axis < page.ndim(); ++axis)
        text += (axis ? ", " : "") + std::to_string(page.shape(axis));
    return text + (page.ndim() == 1 ? ",)" : ")");
}

// Samples per pixel from the shape: 1 for (H, W), 3 or 4 for (H, W, C).
int Channels(const py::array& page) {
    if (page.ndim() == 2) return 1;
    if (page.ndim() == 3 && (page.shape(2) == 3 || page.shape(2) == 4)) return static_cast<int>(page.shape(2));
    throw py::value_error("whiten: a page has shape (H, W), (H, W, 3) or (H, W, 4), not " + ShapeText(page));
}

// The library's limits, checked before anything is copied or allocated (a
// broadcast array can claim any size without holding it).
void CheckSides(py::ssize_t height, py::ssize_t width) {
    const std::string problem = limits::PageSizeProblem(width, height);
    if (!problem.empty()) throw py::value_error("whiten: " + problem + " (width x height)");
}

int ThreadCount(const py::object& threads) {
    if (threads.is_none()) return 0;
    // bool is an int to Python, but threads=True is a mistake, not one thread.
    if (PyBool_Check(threads.ptr()) || !PyIndex_Check(threads.ptr()))
        throw py::type_error("whiten: threads is None or an int, not " +
                             std::string(py::str(py::type::of(threads).attr("__name__"))));
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(threads.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long count = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || count < 0 || count > INT_MAX)
        throw py::value_error("whiten: threads is 0 (every core) .. " + std::to_string(INT_MAX) + ", not " +
                              std::string(py::str(index)));
    return static_cast<int>(count);
}

// The page as the library reads it in place: each pixel's samples adjacent
// and in order (three colour samples may also be in reverse order, since only
// their mean counts), rows apart by at least a row's bytes, in either
// direction. A side of one pixel has no stride to check.
bool ReadableInPlace(const py::array& page, int channels, whiten::Page& view) {
    const py::ssize_t height = page.shape(0), width = page.shape(1);
    const py::ssize_t rowStride = page.strides(0), pixelStride = page.strides(1);
    const auto* first = static_cast<const std::uint8_t*>(page.data());
    if (channels > 1) {
        const py::ssize_t sampleStride = page.strides(2);
        if (channels == 3 && sampleStride == -1) {
            first -= 2;  // the lowest address of the pixel's three samples
        } else if (sampleStride != 1) {
            return false;
        }
    }
    if (width > 1 && pixelStride != channels) return false;
    const py::ssize_t rowBytes = width * channels;
    if (height > 1 && rowStride < rowBytes && -rowStride < rowBytes) return false;
    view.samples = first;
    view.width = static_cast<std::int32_t>(width);
    view.height = static_cast<std::int32_t>(height);
    view.stride = height > 1 ? rowStride : rowBytes;
    view.channels = channels;
    return true;
}

py::array_t<std::uint8_t> Whiten(const py::array& page, const py::object& threads) {
    const py::dtype type = page.dtype();
    if (type.kind() != 'u' || type.itemsize() != 1)
        throw py::type_error("whiten: a page is a numpy array of dtype uint8, not " +
                             std::string(py::str(py::handle(type))) +
                             " (convert it deliberately, e.g. with numpy.clip and astype)");
    const int channels = Channels(page);
    CheckSides(page.shape(0), page.shape(1));
    const int threadCount = ThreadCount(threads);

    // `source` holds the array the library reads, the page itself or its
    // C-ordered copy, alive while the GIL is released.
    py::array source = page;
    whiten::Page view;
    if (!ReadableInPlace(source, channels, view)) {
        source = py::array_t<std::uint8_t, py::array::c_style>::ensure(page);
        if (!source) throw py::error_already_set();
        ReadableInPlace(source, channels, view);
    }
    py::array_t<std::uint8_t> gray({page.shape(0), page.shape(1)});
    std::uint8_t* out = gray.mutable_data();
    {
        py::gil_scoped_release release;
        whiten::WhitenInto(view, out, view.width, threadCount);
    }
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
  the bytes are the same for any count.

Returns a new C-ordered uint8 array of shape (H, W).

Each side is 1 .. 1048576 (2**20) pixels and a page has at most 1073741823
(2**30 - 1) pixels. Raises TypeError for another dtype (nothing is cast
silently), ValueError for another shape, an empty or oversized page, or a
negative thread count; MemoryError when storage cannot be had.

The GIL is released while the page is whitened, so threads whitening
different pages run side by side. Besides the result the call needs one float
(4 bytes) per pixel and small working sets.)");
    module.def("default_threads", &whiten::DefaultThreads,
               "default_threads() -> int\n\nThe threads whiten() uses when threads is None or 0: the machine's cores.");
    module.attr("MAX_SIDE") = whiten::kMaxSide;
    module.attr("MAX_PIXELS") = whiten::kMaxPixels;
    module.attr("__version__") = whiten::Version();
}
