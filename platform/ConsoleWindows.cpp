// Windows consoles: the output code page of the console the process writes to.
#if defined(_WIN32)

#include "platform/Console.h"

#include "platform/WindowsApi.h"

namespace platform {

bool ConsoleExpectsUtf8() {
    // 0 without a console (output to a file or a pipe): the stored bytes are kept.
    return GetConsoleOutputCP() == CP_UTF8;
}

}  // namespace platform

#endif
