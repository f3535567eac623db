// What the console expects of text written to it.
#pragma once

namespace platform {

// True when the process's console takes UTF-8 text; decided once from the user's
// environment. The process locale is left as the program found it.
bool ConsoleExpectsUtf8();

}  // namespace platform
