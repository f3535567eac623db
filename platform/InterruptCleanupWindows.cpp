// A console control handler that deletes the remembered file and then lets the
// system's default handler end the process. It runs on a thread of its own, so
// holding back is a lock that the handler takes too.
#if defined(_WIN32)

#include "platform/InterruptCleanup.h"
#include "platform/WindowsPath.h"

#include "platform/WindowsApi.h"

#include <mutex>

namespace platform {

namespace {

std::recursive_mutex pathLock;
std::wstring pathToRemove;  // the extended form, which DeleteFileW takes at any length

BOOL WINAPI RemoveAndGoOn(DWORD) {
    const std::lock_guard<std::recursive_mutex> guard(pathLock);
    if (!pathToRemove.empty()) DeleteFileW(pathToRemove.c_str());
    return FALSE;  // the next handler, in the end the system's, ends the process
}

}  // namespace

InterruptCleanup::InterruptCleanup() { SetConsoleCtrlHandler(RemoveAndGoOn, TRUE); }

InterruptCleanup::~InterruptCleanup() {
    Forget();
    SetConsoleCtrlHandler(RemoveAndGoOn, FALSE);
}

InterruptCleanup::Hold::Hold() { pathLock.lock(); }

InterruptCleanup::Hold::~Hold() { pathLock.unlock(); }

void InterruptCleanup::Remember(const std::string& path) {
    const Hold hold;
    path_ = path;
    pathToRemove = path.empty() ? std::wstring() : ExtendedPath(path);
}

}  // namespace platform

#endif
