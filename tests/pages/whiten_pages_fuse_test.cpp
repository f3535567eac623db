// whiten-pages on FUSE file systems: a bindfs mount, which has no unnamed
// files, so that every output has a named temporary file while it is written,
// and a case-insensitive one (case_insensitive_fs.py beside this file).
#include "pages/page_files.h"
#include "support/fuse_mount.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::ReadFile;
using testsupport::WriteFile;

// The case-insensitive pass-through of a fresh folder; needs python3-fusepy and FUSE.
class CaseInsensitiveMount {
public:
    CaseInsensitiveMount() {
        fs::create_directory(dir_ / "back");
        fs::create_directory(dir_ / "mnt");
        if (std::system("/usr/bin/python3 -c 'import fusepy' 2>/dev/null") != 0 || !fs::exists("/dev/fuse")) return;
        server_ = ::fork();
        if (server_ == 0) {
            const int devnull = ::open("/dev/null", O_RDWR);
            for (int fd = 0; fd < 3; ++fd) ::dup2(devnull, fd);
            const std::string script = std::string(WHITEN_TEST_SOURCE) + "/pages/case_insensitive_fs.py";
            ::execl("/usr/bin/python3", "python3", script.c_str(), (dir_ / "back").c_str(), Folder().c_str(), nullptr);
            ::_exit(127);
        }
        struct stat back {}, mounted {};
        for (int tries = 0; tries < 200 && !mounted_; ++tries) {
            ::usleep(50000);
            mounted_ = ::stat((dir_ / "back").c_str(), &back) == 0 && ::stat(Folder().c_str(), &mounted) == 0 &&
                       back.st_dev != mounted.st_dev;
        }
    }
    ~CaseInsensitiveMount() {
        if (server_ <= 0) return;
        std::system(("fusermount -u '" + Folder() + "' 2>/dev/null || umount '" + Folder() + "' 2>/dev/null").c_str());
        ::kill(server_, SIGTERM);
        ::waitpid(server_, nullptr, 0);
    }
    CaseInsensitiveMount(const CaseInsensitiveMount&) = delete;
    CaseInsensitiveMount& operator=(const CaseInsensitiveMount&) = delete;

    bool Mounted() const { return mounted_; }
    std::string Folder() const { return dir_ / "mnt"; }

private:
    testsupport::TempDir dir_;
    pid_t server_ = -1;
    bool mounted_ = false;
};

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

// Output names that differ in letter case only name one file there: the
// later output is refused with its line, the earlier one kept.
TEST(WhitenPagesFuse, OutputsThatReachOneFileThroughCaseAreRefused) {
    CaseInsensitiveMount mount;
    if (!mount.Mounted()) GTEST_SKIP() << "needs python3-fusepy and FUSE (apt-get install python3-fusepy fuse3)";
    struct Case { const char* name; std::vector<std::string> args; std::string line; std::set<std::string> files; };
    const Case cases[] = {
        {"two inputs, one job", {"-j", "1", "d1/Page.bmp", "d2/page.bmp"},
         "d2/page.bmp: refused: its output out/page.png is already the output of d1/Page.bmp", {"Page.png"}},
        {"a page file of a book", {"-j", "1", "-f", "png", "book.tif", "BOOK-0002.bmp"},
         "BOOK-0002.bmp: refused: its output out/BOOK-0002.png is already the output of book.tif",
         {"book-0001.png", "book-0002.png", "book-0003.png"}},
        {"a multi-page TIFF", {"-j", "1", "-f", "tiff", "book.tif", "d1/BOOK.bmp"},
         "d1/BOOK.bmp: refused: its output out/BOOK.tif is already the output of book.tif", {"book.tif"}},
        // Which of the two is whitened first is not known: one of them is refused.
        {"two inputs, two jobs", {"-j", "2", "d1/Page.bmp", "d2/page.bmp"}, ".png is already the output of d", {}},
    };
    const std::vector<std::string> pages = {Golden("text_257x129.bmp"), Golden("random_33x17.bmp"),
                                            Golden("uniform200_64x64.bmp")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = mount.Folder();
        for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
        fs::create_directories(folder + "/d1");
        fs::create_directories(folder + "/d2");
        WriteFile(folder + "/d1/Page.bmp", pages[0]);
        WriteFile(folder + "/d2/page.bmp", pages[1]);
        WriteFile(folder + "/d1/BOOK.bmp", pages[1]);
        WriteFile(folder + "/BOOK-0002.bmp", pages[0]);
        WriteFile(folder + "/book.tif", pagetest::MultiPageTiff(pages));
        std::vector<std::string> args = {"-o", "out"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = testsupport::RunProgram(WHITEN_PAGES_BINARY, args, folder);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.out.find(c.line), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(" 1 refused, 0 failed"), std::string::npos) << run.out;
        const std::set<std::string> made = Names(folder + "/out");
        if (c.files.empty()) {
            EXPECT_EQ(made.size(), 1u);
        } else {
            EXPECT_EQ(made, c.files);
        }
        if (made.count("Page.png") != 0) {
            // The earlier page's output, as it is on its own.
            testsupport::RunProgram(WHITEN_PAGES_BINARY, {"-q", "-o", "alone", "d1/Page.bmp"}, folder);
            EXPECT_TRUE(ReadFile(folder + "/out/Page.png") == ReadFile(folder + "/alone/Page.png"));
        }
    }
}

}  // namespace
