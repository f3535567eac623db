// RunWhiten of support/run_binary.h for Windows builds: CreateProcess with pipes.
// The child gets this process's environment with the given entries set on top
// (a Windows process, wine's included, needs more of it than PATH and HOME).
#if defined(_WIN32)

#include "support/run_binary.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

namespace {

// One argument quoted so that the C runtime's command-line parser gives it back
// unchanged: backslashes are literal except before a quote.
std::string Quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

std::string NameOf(const std::string& entry) {
    // Entries such as "=C:=C:\x" start with '='; their name runs to the second one.
    const auto equals = entry.find('=', 1);
    std::string name = entry.substr(0, equals);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// This process's environment with `extra` entries replacing those of the same
// name, as a block for CreateProcess.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* p = strings; *p != '\0'; p += std::strlen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsA(strings);
    }
    for (const std::string& entry : extra) {
        const std::string name = NameOf(entry);
        std::erase_if(entries, [&](const std::string& e) { return NameOf(e) == name; });
        entries.push_back(entry);
    }
    std::string block;
    for (const std::string& entry : entries) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

// Reads a pipe to its end (the child closed it) and closes it.
void ReadToEnd(HANDLE pipe, std::string& into) {
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) into.append(buffer, n);
    CloseHandle(pipe);
}

}  // namespace

RunResult RunWhiten(const std::vector<std::string>& args, const std::string& workDir,
                    const std::vector<std::string>& environment) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0)) throw std::runtime_error("CreatePipe failed");
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0)) throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;

    const std::string binary = WHITEN_BINARY;
    std::string commandLine = Quoted(binary);
    for (const std::string& arg : args) commandLine += ' ' + Quoted(arg);
    std::string block = EnvironmentBlock(environment);

    const auto start = std::chrono::steady_clock::now();
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(binary.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        block.data(), workDir.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    RunResult result;
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        throw std::runtime_error("cannot start " + binary + " (error " + std::to_string(GetLastError()) + ")");
    }
    // Standard output on a thread of its own and standard error on this one, so
    // that a child filling one pipe never blocks on the other. One thread only:
    // when it cannot be started, no other is left running.
    std::thread out([&] { ReadToEnd(outRead, result.out); });
    ReadToEnd(errRead, result.err);
    WaitForSingleObject(process.hProcess, INFINITE);
    out.join();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    DWORD code = 0;
    result.exitStatus = GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace testsupport

#endif
