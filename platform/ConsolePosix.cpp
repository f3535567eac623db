// POSIX consoles: the character set of the locale the user's environment selects.
#if !defined(_WIN32)

#include "platform/Console.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <string>
#include <strings.h>

namespace platform {

bool ConsoleExpectsUtf8() {
    // Look at the environment's locale, then restore the one in force, so that no
    // other part of the program sees a changed locale.
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string saved = current ? current : "C";
    if (std::setlocale(LC_ALL, "") == nullptr) return false;
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 = codeset != nullptr &&
                      (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
    std::setlocale(LC_ALL, saved.c_str());
    return utf8;
}

}  // namespace platform

#endif
