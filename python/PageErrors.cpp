// The readers' errors as Python exceptions.
#include "python/PageErrors.h"

#include <stdexcept>
#include <system_error>

#include "formats/PageReader.h"

namespace py = pybind11;

namespace wrap {
namespace {

// The exception types, made once at import and kept for the module's life.
PyObject* gPageRefused = nullptr;
PyObject* gNotAPageFile = nullptr;

PyObject* NewError(py::module_& module, const char* name, const char* doc, PyObject* base) {
    const std::string qualified = "whiten." + std::string(name);
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
    if (type == nullptr) throw py::error_already_set();
    module.attr(name) = py::handle(type);
    return type;
}

}  // namespace

py::object FileName(const std::string& path) {
    PyObject* name = PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
    if (name == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(name);
}

namespace {

// An instance of `type` for a refusal's one line, with the file and page it concerns.
[[noreturn]] void RaiseRefusal(PyObject* type, const char* line, const std::string& path, int page) {
    py::object error = py::reinterpret_borrow<py::object>(type)(line);
    error.attr("filename") = FileName(path);
    error.attr("page") = page >= 0 ? py::object(py::int_(page)) : py::object(py::none());
    error.attr("outcome") = py::none();  // whiten_file's refusals carry the file's outcome
    PyErr_SetObject(type, error.ptr());
    throw py::error_already_set();
}

// OSError(errno, strerror, filename): Python picks the subclass for the errno
// (FileNotFoundError, PermissionError ...).
[[noreturn]] void RaiseSystemError(const std::system_error& error, const std::string& path) {
    const std::error_code code = error.code();
    if (code.category() != std::generic_category() && code.category() != std::system_category())
        throw std::runtime_error(error.what());
    const py::object raised = py::reinterpret_borrow<py::object>(PyExc_OSError)(code.value(), code.message(), FileName(path));
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
    throw py::error_already_set();
}

}  // namespace

void AddPageErrors(py::module_& module) {
    gPageRefused = NewError(module, "PageRefused",
                            "A page that cannot be whitened (a broken or truncated file, a page beyond the limits, "
                            "a kind of page that is refused); str() is the one-line reason, .filename and .page "
                            "(0-based, None for the whole file) say which; from whiten_file, .outcome is the "
                            "file's FileOutcome.",
                            PyExc_ValueError);
    gNotAPageFile = NewError(module, "NotAPageFile",
                             "A file that is no page by its first bytes (empty, or of no kind the readers know).",
                             gPageRefused);
}

void RaiseReadError(std::exception_ptr error, const std::string& path, int page) {
    try {
        std::rethrow_exception(error);
    } catch (const NotAPageFile& refused) {
        RaiseRefusal(gNotAPageFile, refused.what(), path, page);
    } catch (const PageRefused& refused) {
        RaiseRefusal(gPageRefused, refused.what(), path, page);
    } catch (const std::system_error& system) {
        RaiseSystemError(system, path);
    }
}

}  // namespace wrap
