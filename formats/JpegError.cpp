// libjpeg's error manager for the JPEG reader and writer: messages kept, never
// printed, and the warnings that mean a damaged picture taken as errors.
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

// libjpeg goes on after these, padding the picture with gray or decoding it
// out of step: the page would not be the one stored.
bool LosesData(int code, const JpegError& error) {
    switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_NOT_SEQUENTIAL: return true;
        // Between header segments some writers leave padding, and the picture
        // is whole; after a scan they are data the decoder did not take.
        case JWRN_EXTRANEOUS_DATA: return error.headerRead;
        default: return false;
    }
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level != -1) return;  // trace messages
    JpegError& error = ErrorOf(cinfo);
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF) {
        error.endOfData = true;
        if (!error.headerRead) {
            error.truncated = true;
            ExitWithMessage(cinfo);
        }
    } else if (LosesData(code, error)) {
        error.truncated = error.endOfData;
        ExitWithMessage(cinfo);
    }
    ++cinfo->err->num_warnings;  // e.g. an unknown JFIF version or Adobe transform: the picture is whole
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
