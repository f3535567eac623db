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
    bool truncated = false;  // the data ended before the picture did
};

// Makes `error` the error manager of `cinfo` (before jpeg_create_*). Warnings
// are dropped but for the end of the data, which ends the call as an error.
void InstallJpegError(jpeg_common_struct& cinfo, JpegError& error);

// Ends the call with `text` as the message.
[[noreturn]] void JpegFail(jpeg_common_struct& cinfo, const char* text);

}  // namespace formats
