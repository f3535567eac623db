// The checks of whiten()'s arguments and the library's view of a numpy page.
#include "python/PageArgument.h"

#include <climits>
#include <cstdint>
#include <string>

#include "image/PageLimits.h"

namespace py = pybind11;

namespace wrap {
namespace {

std::string TypeName(const py::handle& object) {
    return py::str(py::type::of(object).attr("__name__"));
}

// A Pillow image, known by its class's lineage alone: Pillow is not imported
// for a message.
bool IsPillowImage(const py::handle& object) {
    for (const py::handle base : py::type::of(object).attr("__mro__")) {
        if (py::str(base.attr("__module__")).cast<std::string>() == "PIL.Image" &&
            py::str(base.attr("__name__")).cast<std::string>() == "Image")
            return true;
    }
    return false;
}

// What is not a numpy array, named briefly: the default message of a failed
// overload prints the argument's repr, megabytes for a page held as a list.
[[noreturn]] void RefuseNonArray(const py::object& page) {
    std::string what;
    if (page.is_none()) {
        what = "None (was the file read? cv2.imread gives None for a file it cannot read)";
    } else if (IsPillowImage(page)) {
        throw py::type_error("whiten: a Pillow image is whitened by whiten.whiten_image(image), not whiten()");
    } else if (py::isinstance<py::list>(page) || py::isinstance<py::tuple>(page)) {
        what = "a " + TypeName(page) + "; make one with numpy.asarray(page, dtype=numpy.uint8)";
    } else {
        what = TypeName(page);
    }
    throw py::type_error("whiten: a page is a numpy array of dtype uint8, not " + what);
}

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

}  // namespace

PageArgument ToPage(const py::object& page) {
    if (!py::isinstance<py::array>(page)) RefuseNonArray(page);
    const auto array = py::reinterpret_borrow<py::array>(page);
    const py::dtype type = array.dtype();
    if (type.kind() != 'u' || type.itemsize() != 1)
        throw py::type_error("whiten: a page is a numpy array of dtype uint8, not " +
                             std::string(py::str(py::handle(type))) +
                             " (convert it deliberately, e.g. with numpy.clip and astype)");
    const int channels = Channels(array);
    CheckSides(array.shape(0), array.shape(1));

    PageArgument argument{array, {}};
    if (!ReadableInPlace(array, channels, argument.view)) {
        argument.holder = py::array_t<std::uint8_t, py::array::c_style>::ensure(array);
        if (!argument.holder) throw py::error_already_set();
        ReadableInPlace(argument.holder, channels, argument.view);
    }
    return argument;
}

int ThreadCount(const py::object& threads) {
    if (threads.is_none()) return 0;
    // bool is an int to Python, but threads=True is a mistake, not one thread.
    if (PyBool_Check(threads.ptr()) || !PyIndex_Check(threads.ptr()))
        throw py::type_error("whiten: threads is None or an int, not " + TypeName(threads));
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(threads.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long count = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || count < 0 || count > INT_MAX)
        throw py::value_error("whiten: threads is 0 (every core) .. " + std::to_string(INT_MAX) + ", not " +
                              std::string(py::str(index)));
    return static_cast<int>(count);
}

}  // namespace wrap
