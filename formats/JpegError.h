// libjpeg's errors as this program takes them: never printed; an error ends
// the call through longjmp to the caller's setjmp, with the library's message
// kept. The function that calls setjmp holds no object with a destructor.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace formats {

struct JpegError {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;   // the data ended before the picture did
    // Set by a decoder once the header is read: the file ending before then
    // is the end of the call, and stray bytes before then are harmless.
    bool headerRead = false;
    // The data ran out and libjpeg supplied the end marker: the picture is
    // whole only if no data it needed was missing (the reader checks).
    bool endOfData = false;
};

// Makes `error` the error manager of `cinfo` (before jpeg_create_*). Warnings
// that mean lost or bogus data (libjpeg's "Corrupt JPEG data" family, an
// inconsistent progression, stray bytes after the header, the file ending in
// the header) end the call as errors; the others are dropped.
void InstallJpegError(jpeg_common_struct& cinfo, JpegError& error);

// Ends the call with `text` as the message.
[[noreturn]] void JpegFail(jpeg_common_struct& cinfo, const char* text);

}  // namespace formats
