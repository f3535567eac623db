// The argument loop: the usage text, one job per argument, the closing pauses,
// and the one line of an error that ends the run.
#include "app/Entry.h"

#include <new>

#include "app/ProcessFile.h"
#include "platform/StandardOutput.h"

namespace {

bool AsksForUsage(int argc, const char* const argv[]) {
    if (argc < 2) return true;
    const char first = argv[1][0];  // only this character decides, for the whole run
    return first == '-' || first == '?';
}

}  // namespace

int RunEntry(int argc, const char* const argv[], const EntryServices& services) {
    try {
        if (AsksForUsage(argc, argv)) {
            services.usageOut << services.usageText;
            services.usageOut.flush();
            platform::NoteStandardOutputError();
            return 0;
        }
        for (int i = 1; i < argc; ++i) {
            const std::string path(argv[i]);
            if (services.processFile(path) == kJobNoTargetFolder) {
                services.sleep(kClosingPauseMs);
                break;
            }
        }
        services.sleep(kClosingPauseMs);
        return 0;
    } catch (...) {
        return ReportEscapedError(std::current_exception(), services.errorOut);
    }
}

int ReportEscapedError(std::exception_ptr error, std::ostream& errorOut) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::string& message) {
            errorOut << message << '\n';
        } catch (const std::bad_alloc&) {
            errorOut << "out of memory\n";
        } catch (const std::exception& exception) {
            errorOut << exception.what() << '\n';
        } catch (...) {
            errorOut << "unknown error\n";
        }
        errorOut.flush();
    } catch (...) {
        // The stream itself failed; the exit status still tells.
    }
    return 1;
}
