// A page file opened by OpenPageReader; each page read with the GIL released
// into a numpy array that takes over the decoded samples without a copy.
#include "python/PageFile.h"

#include <pybind11/numpy.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "formats/PageReader.h"
#include "python/PageErrors.h"

namespace py = pybind11;

namespace wrap {
namespace {

// The decoded samples as an array of shape (H, W) or (H, W, C) that owns them.
py::array ToArray(PageImage& page) {
    auto* samples = new std::vector<std::uint8_t>(std::move(page.samples));
    const py::capsule owner(samples, [](void* held) { delete static_cast<std::vector<std::uint8_t>*>(held); });
    std::vector<py::ssize_t> shape{page.height, page.width};
    if (page.channels > 1) shape.push_back(page.channels);
    return py::array_t<std::uint8_t>(shape, samples->data(), owner);
}

// The resolution as (dpi_x, dpi_y), or None when the file states none (a
// writer states one only when both are known).
py::object Resolution(const PageImage& page) {
    if (page.dpiX > 0 && page.dpiY > 0) return py::make_tuple(page.dpiX, page.dpiY);
    return py::none();
}

class PageFile {
public:
    explicit PageFile(std::string path) : path_(std::move(path)) {
        try {
            py::gil_scoped_release release;
            reader_ = OpenPageReader(path_);
        } catch (...) {
            RaiseReadError(std::current_exception(), path_, -1);
        }
    }

    int PageCount() const { return reader_->PageCount(); }

    // (samples, resolution) of page `index`.
    py::tuple Read(int index) {
        if (index < 0 || index >= reader_->PageCount())
            throw py::index_error("whiten: no page " + std::to_string(index) + " in " + path_);
        PageImage page;
        try {
            py::gil_scoped_release release;
            // A reader belongs to one thread at a time.
            const std::lock_guard<std::mutex> guard(lock_);
            reader_->Read(index, page);
        } catch (...) {
            RaiseReadError(std::current_exception(), path_, index);
        }
        py::object resolution = Resolution(page);
        return py::make_tuple(ToArray(page), resolution);
    }

    py::object Path() const { return FileName(path_); }

private:
    std::string path_;
    std::unique_ptr<PageReader> reader_;
    std::mutex lock_;
};

}  // namespace

void AddPageFile(py::module_& module) {
    py::class_<PageFile>(module, "PageFile",
                         "PageFile(path): the pages of an image file, read by whiten.read_pages().")
        .def(py::init<std::string>(), py::arg("path"))
        .def_property_readonly("page_count", &PageFile::PageCount)
        .def_property_readonly("path", &PageFile::Path)
        .def("read", &PageFile::Read, py::arg("index"),
             "read(index) -> (numpy.ndarray, (dpi_x, dpi_y) or None): page `index` (0-based), decoded.");
}

}  // namespace wrap
