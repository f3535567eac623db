// fork and execve with pipes, or a pseudo-terminal for standard error.
#if !defined(_WIN32)

#include "support/run_program.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir, const RunOptions& options) {
    int outPipe[2], errPair[2];
    if (pipe(outPipe) != 0) throw std::runtime_error("pipe failed");
    if (options.stderrIsTerminal) {
        if (openpty(&errPair[0], &errPair[1], nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    } else if (pipe(errPair) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> env;
    for (const char* name : {"PATH", "HOME", "ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    env.insert(env.end(), options.environment.begin(), options.environment.end());
    std::vector<std::string> argCopies{program};
    argCopies.insert(argCopies.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argCopies) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPair[1], 2);
        close(outPipe[0]); close(outPipe[1]); close(errPair[0]); close(errPair[1]);
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPair[1]);
    RunResult result;
    // A pseudo-terminal's master reads EIO, not end of file, once the child is gone.
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPair[0], POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0 && poll(fds, 2, -1) >= 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace testsupport

#endif
