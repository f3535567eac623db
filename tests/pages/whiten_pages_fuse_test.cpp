// whiten-pages on FUSE file systems: a bindfs mount, which has no unnamed
// files, so that every output has a named temporary file while it is written.
#include "pages/page_files.h"
#include "support/fuse_mount.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::WriteFile;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// Runs whiten-pages in `folder` (signals at their default action, as a
// shell's foreground command has them), sends it `signal` once `awaited`
// exists there, and gives the signal that ended it (0: it exited).
int InterruptedOnceThere(const std::vector<std::string>& args, const std::string& folder,
                         const std::string& awaited, int signal) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd) ::dup2(devnull, fd);
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(WHITEN_PAGES_BINARY)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (fs::exists(folder + "/" + awaited)) {
            ::kill(pid, signal);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// With two jobs the book's TIFF stays open while the single page's output is
// made and committed; an interrupt then removes the book's temporary file too.
TEST(WhitenPagesFuse, AnInterruptLeavesNoTemporaryFile) {
    testsupport::BindfsMount mount;
    if (!mount.Mounted()) GTEST_SKIP() << "needs bindfs and FUSE (apt-get install bindfs fuse3)";
    const std::string folder = mount.Folder();
    WriteFile(folder + "/single.bmp", Golden("synth_600x800.bmp"));
    WriteFile(folder + "/book.tif", pagetest::MultiPageTiff(std::vector<std::string>(400, Golden("text_257x129.bmp"))));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove_all(folder + "/out");
        const std::vector<std::string> args = {"-q", "-j", "2", "-o", "out", "single.bmp", "book.tif"};
        EXPECT_EQ(InterruptedOnceThere(args, folder, "out/single.png", signal), signal);
        EXPECT_EQ(Names(folder + "/out"), std::set<std::string>{"single.png"});
    }
}

}  // namespace
