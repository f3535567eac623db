#include "formats/JpegError.h"

#include <cstring>

namespace formats {
namespace {

JpegError& ErrorOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegError*>(cinfo->err); }

void ExitWithMessage(j_common_ptr cinfo) {
    JpegError& error = ErrorOf(cinfo);
    (*cinfo->err->format_message)(cinfo, error.message);
    std::longjmp(error.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level != -1) return;  // trace messages
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
        ErrorOf(cinfo).truncated = true;
        ExitWithMessage(cinfo);
    }
    ++cinfo->err->num_warnings;  // e.g. stray bytes before a marker: the picture is whole
}

void DropMessage(j_common_ptr) {}

}  // namespace

void InstallJpegError(jpeg_common_struct& cinfo, JpegError& error) {
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ExitWithMessage;
    error.manager.emit_message = EmitMessage;
    error.manager.output_message = DropMessage;
}

void JpegFail(jpeg_common_struct& cinfo, const char* text) {
    JpegError& error = ErrorOf(&cinfo);
    std::snprintf(error.message, sizeof error.message, "%s", text);
    std::longjmp(error.jump, 1);
}

}  // namespace formats
