// A console control handler that deletes every file of the process-wide set
// and then lets the system's default handler end the process. It runs on a
// thread of its own, so holding back is a lock that the handler takes too.
#if defined(_WIN32)

#include "platform/InterruptCleanup.h"
#include "platform/WindowsPath.h"

#include "platform/WindowsApi.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

std::recursive_mutex setLock;
// Each entry's file in the extended form, which DeleteFileW takes at any length.
std::map<const InterruptCleanup*, std::wstring> files;
bool interrupted = false;
std::once_flag installed;

BOOL WINAPI RemoveAndGoOn(DWORD) {
    const std::lock_guard<std::recursive_mutex> guard(setLock);
    interrupted = true;  // no new file from here on
    for (const auto& entry : files) DeleteFileW(entry.second.c_str());
    return FALSE;  // the next handler, in the end the system's, ends the process
}

}  // namespace

InterruptCleanup::InterruptCleanup() {
    std::call_once(installed, [] { SetConsoleCtrlHandler(RemoveAndGoOn, TRUE); });
}

InterruptCleanup::~InterruptCleanup() { Forget(); }

InterruptCleanup::Hold::Hold() { setLock.lock(); }

InterruptCleanup::Hold::~Hold() { setLock.unlock(); }

std::error_code InterruptCleanup::Remember(const std::string& path) {
    const Hold hold;
    if (interrupted) return std::make_error_code(std::errc::interrupted);
    slot_ = 0;  // the map's key is the entry itself
    files[this] = ExtendedPath(path);
    return {};
}

void InterruptCleanup::Forget() {
    if (slot_ < 0) return;
    const Hold hold;
    files.erase(this);
    slot_ = -1;
}

}  // namespace platform

#endif
