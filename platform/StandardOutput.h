// Whether the run's lines reached standard output, for a report at the end of
// the run as the standard tools give one ("whiten: write error: REASON").
#pragma once

#include <system_error>

namespace platform {

// Call right after writing to standard output (printf, std::cout): a write
// that failed is noted with the system's reason while errno still holds it.
void NoteStandardOutputError();

// Flushes standard output and gives the first failure noted or found now;
// no error when every line was written.
std::error_code StandardOutputError();

}  // namespace platform
