// Hostile and damaged inputs through the per-file job: each file gives its one
// line, its result code (or the error that ends the run) and leaves no output;
// then one run of the binary over many of them goes on past every refusal and
// stops at the first file that cannot be opened.
// POSIX paths and special files (named pipes); not built for Windows.
#if !defined(_WIN32)

#include "app/job_run.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testbmp::Headers;
using testbmp::Page;
using testbmp::Rows;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

using testjob::Progress;

std::string Broken(const std::string& reason) { return "File is broken: " + reason + "\n"; }

const std::string kNot24 = "File type is NOT Bmp24!\n";
const std::string kShort = Broken("file is shorter than its headers");
const std::string kTruncated = Broken("pixel data is truncated");
const std::string kNotPositive = Broken("width or height is not positive");
const std::string kTooLarge = Broken("image is too large");
const std::string kOffsetBeyond = Broken("pixel data offset is beyond the end of the file");

// The first 32 bytes of a PNG file (signature and image header) for a 40 × 30
// colour picture; `interlace` stands where a bitmap keeps the low byte of its
// bit count, so 24 there reads as a 24-bit header.
std::string PngStart(char interlace) {
    const char bytes[] = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x28\0\0\0\x1E\x08\x02\0\0";
    return std::string(bytes, sizeof bytes - 1) + interlace + std::string("\0\x5C\x6D\x1A", 4) +
           std::string(40, '\x11');
}

const std::string kText = "Chapter one.\nIt was a dark and stormy night; the rain fell in torrents.\n";

// The text with the bytes 24, 0 where a bitmap keeps its bit count; its width
// then reads as the four letters "s a ", far above the limit.
std::string TextWith24BitHeader() {
    std::string text = kText;
    text[28] = '\x18';
    text[29] = '\0';
    return text;
}

// A file the job is given: made by `make` at `path`.
struct Hostile {
    std::string name;
    std::function<void(const std::string& path)> make;
    int result;            // -1: an error ends the run
    std::string line;      // printed after the progress line (result 0 or 2)
    std::string output;    // bytes of Result/in.bmp for result 0
    std::string reason;    // for result -1: what follows "can't open PATH"
};

std::function<void(const std::string&)> Bytes(const std::string& bytes) {
    return [bytes](const std::string& path) { WriteFile(path, bytes); };
}

Hostile Refused(std::string name, const std::string& bytes, std::string line) {
    return {std::move(name), Bytes(bytes), 2, std::move(line), "", ""};
}

// A file that cannot be opened as a page: its error ends the run.
Hostile Unopenable(std::string name, std::function<void(const std::string&)> make, std::string reason) {
    return {std::move(name), std::move(make), -1, "", "", std::move(reason)};
}

std::vector<Hostile> HostileFiles() {
    const std::string rows3x2 = Rows(3, 2, 3);
    const std::string plain3x2 = testbmp::WhitenedReference(Page(3, 2));
    std::vector<Hostile> files = {
        Refused("empty file", "", kShort),
        Refused("24-bit header, no pixel data", Headers(3, 2, 24), kTruncated),
        Refused("last row short by one byte", Headers(3, 2, 24) + rows3x2.substr(0, 23), kTruncated),
        Refused("last row missing its padding", Headers(3, 2, 24) + rows3x2.substr(0, 21), kTruncated),
        Refused("width 0", Headers(0, 2, 24) + rows3x2, kNotPositive),
        Refused("width -1", Headers(-1, 2, 24) + rows3x2, kNotPositive),
        Refused("width -2^31", Headers(INT_MIN, 2, 24) + rows3x2, kNotPositive),
        Refused("height 0", Headers(3, 0, 24) + rows3x2, kNotPositive),
        Refused("height -2^31", Headers(3, INT_MIN, 24) + rows3x2, kTooLarge),
        Refused("width 2^31-1", Headers(INT_MAX, 2, 24) + rows3x2, kTooLarge),
        Refused("height 2^31-1", Headers(3, INT_MAX, 24) + rows3x2, kTooLarge),
        Refused("top-down, one row short", Headers(3, -3, 24) + rows3x2, kTruncated),
        Refused("width x 3 beyond 32 bits", Headers(0x55555556, 1, 24) + rows3x2, kTooLarge),
        Refused("width above 2^20", Headers((1 << 20) + 1, 1, 24) + rows3x2, kTooLarge),
        Refused("height above 2^20", Headers(1, (1 << 20) + 1, 24) + rows3x2, kTooLarge),
        Refused("top-down height above 2^20", Headers(1, -(1 << 20) - 1, 24) + rows3x2, kTooLarge),
        Refused("2^30 pixels", Headers(1 << 15, 1 << 15, 24) + rows3x2, kTooLarge),
        Refused("largest page, tiny file", Headers((1 << 15) - 1, (1 << 15) + 1, 24) + rows3x2, kTruncated),
        Refused("bfOffBits beyond the end", Headers(3, 2, 24, 79) + rows3x2, kOffsetBeyond),
        Refused("bfOffBits 2^32-1", Headers(3, 2, 24, 0xFFFFFFFF) + rows3x2, kOffsetBeyond),
        Refused("bfOffBits leaves too little", Headers(3, 2, 24, 55) + rows3x2, kTruncated),
        Refused("PNG", PngStart(0), kNot24),
        Refused("PNG with a 24-bit header", PngStart(24), kTooLarge),
        Refused("text", kText, kNot24),
        Refused("text with a 24-bit header", TextWith24BitHeader(), kTooLarge),
        // Offsets that cannot be meant are read as the rows following the headers.
        {"bfOffBits 0", Bytes(Headers(3, 2, 24, 0) + rows3x2), 0, "", plain3x2, ""},
        {"bfOffBits inside the headers", Bytes(Headers(3, 2, 24, 20) + rows3x2), 0, "", plain3x2, ""},
        // The system's reason follows where one of its calls failed.
        Unopenable("folder named in.bmp", [](const std::string& path) { fs::create_directory(path); },
                   ": Is a directory"),
        Unopenable("dangling symbolic link",
                   [](const std::string& path) { fs::create_symlink(path + ".gone", path); },
                   ": No such file or directory"),
        Unopenable("named pipe", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
                   ": Not a regular file"),
        Unopenable("link to a device", [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
                   ": Not a regular file"),
    };
    // A file of /sys gives its size as 4096 and holds a few bytes.
    const std::string sysfs = "/sys/devices/system/cpu/online";
    std::error_code missing;
    if (fs::file_size(sysfs, missing) >= 54 && ReadFile(sysfs).size() < 54) {
        files.push_back({"sysfs file shorter than its size says", [sysfs](const std::string& path) {
                             fs::create_symlink(sysfs, path);
                         }, 2, kShort, "", ""});
    }
    const std::string page = Page(3, 2);
    for (std::size_t n = 1; n < 54; ++n) files.push_back(Refused(std::to_string(n) + " bytes", page.substr(0, n), kShort));
    return files;
}

TEST(HostileFiles, EachGivesItsLineAndResultAndLeavesNoOutput) {
    for (const Hostile& file : HostileFiles()) {
        SCOPED_TRACE(file.name);
        TempDir dir;
        const std::string path = dir / "in.bmp";
        file.make(path);
        testing::internal::CaptureStdout();
        int result = -1;
        std::string error;
        try {
            result = ProcessFile(path);
        } catch (const std::string& message) {
            error = message;
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed, Progress(dir / "Result", "in.bmp") + file.line);
        EXPECT_EQ(result, file.result);
        EXPECT_EQ(error, file.result == -1 ? "CBmp24_::IsThisType : can't open " + path + file.reason : "");
        if (file.result == 0) {
            EXPECT_EQ(ReadFile(dir / "Result/in.bmp"), file.output);
        } else {
            EXPECT_TRUE(fs::is_empty(dir / "Result"));
        }
    }
}

// A page and a named pipe keep swapping places under one name while the page
// is opened: the open never waits for the pipe's writer, and a pipe is refused
// as "can't open", never read as a page. A reader that did wait is woken by a
// writer once the page is back, and then reads the pipe's nothing as the page.
TEST(HostileFiles, APageSwappedForANamedPipeIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string path = dir / "in.bmp";
    WriteFile(path, Page(3, 2));
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        while (!done) {
            ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
            fs::create_hard_link(dir / "pipe", dir / "pipe.kept");
            fs::rename(dir / "pipe", path);
            WriteFile(dir / "page", Page(3, 2));
            fs::rename(dir / "page", path);
            const int writer = open((dir / "pipe.kept").c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) close(writer);
            fs::remove(dir / "pipe.kept");
        }
    });
    for (int i = 0; i < 40000; ++i) {
        CBmp24_<0> image;
        try {
            EXPECT_TRUE(image.IsThisType(path));
        } catch (const std::string& message) {
            EXPECT_EQ(message, "CBmp24_::IsThisType : can't open " + path + ": Not a regular file");
        } catch (const BmpFileBroken& broken) {
            ADD_FAILURE() << "a pipe was read as a page: " << broken.what();
        }
    }
    done = true;
    swapper.join();
}

// A folder under `root` deep enough that the output path
// FOLDER/Result/NAME is `outputLength` bytes long, or `root` itself for 0.
std::string FolderForOutputPath(const std::string& root, std::size_t nameLength, std::size_t outputLength) {
    std::string folder = root;
    if (outputLength == 0) return folder;
    std::size_t missing = outputLength - nameLength - std::string("/Result/").size() - root.size();
    while (missing > 0) {
        std::size_t part = std::min<std::size_t>(missing, 201);  // "/" and up to 200 bytes
        if (missing - part == 1) --part;                          // never a lone "/" at the end
        folder += "/" + std::string(part - 1, 'd');
        missing -= part;
    }
    fs::create_directories(folder);
    return folder;
}

// Output paths of every length the system takes are written under their own
// name (names up to 255 bytes, whole paths up to PATH_MAX - 1): the save's
// temporary file must fit wherever the output's path does.
TEST(HostileFiles, OutputPathsUpToTheSystemsLimitsAreWritten) {
    struct Case { const char* name; std::size_t nameLength; std::size_t outputLength; };
    const Case cases[] = {
        {"5-byte name", 5, 0},
        {"200-byte name", 200, 0},
        {"230-byte name", 230, 0},
        {"255-byte name", 255, 0},
        {"longest path, 5-byte name", 5, PATH_MAX - 1},
        {"longest path, 255-byte name", 255, PATH_MAX - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = FolderForOutputPath(dir.Path().string(), c.nameLength, c.outputLength);
        const std::string name = std::string(c.nameLength - 4, 'n') + ".bmp";
        WriteFile(folder + "/" + name, Page(3, 2));
        testing::internal::CaptureStdout();
        const int result = ProcessFile(folder + "/" + name);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadFile(folder + "/Result/" + name), testbmp::WhitenedReference(Page(3, 2)));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/Result"), fs::directory_iterator()), 1);
        if (c.outputLength != 0) {
            EXPECT_EQ((folder + "/Result/" + name).size(), c.outputLength);
        }
    }
}

// One run over refusals, a sound page, a file that cannot be opened and one more
// page: every refusal is one line and the run goes on; the unopenable file ends
// it with one line on standard error, status 1, and no closing pause.
TEST(HostileFiles, TheBinaryGoesOnPastRefusalsAndStopsAtAnUnopenableFile) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"empty.bmp", ""},
        {"short.bmp", Page(3, 2).substr(0, 30)},
        {"nopixels.bmp", Headers(3, 2, 24)},
        {"huge.bmp", Headers(1 << 20, (1 << 10) - 1, 24) + Rows(3, 2, 3)},
        {"negative.bmp", Headers(-3, 2, 24) + Rows(3, 2, 3)},
        {"intmin.bmp", Headers(3, INT_MIN, 24) + Rows(3, 2, 3)},
        {"offset.bmp", Headers(3, 2, 24, 5000) + Rows(3, 2, 3)},
        {"png.bmp", PngStart(0)},
    };
    std::vector<std::string> args;
    std::string expected;
    for (const auto& [name, bytes] : refused) {
        WriteFile(dir / name, bytes);
        args.push_back(name);
    }
    expected = Progress("./Result", "empty.bmp") + kShort + Progress("./Result", "short.bmp") + kShort +
               Progress("./Result", "nopixels.bmp") + kTruncated + Progress("./Result", "huge.bmp") + kTruncated +
               Progress("./Result", "negative.bmp") + kNotPositive + Progress("./Result", "intmin.bmp") + kTooLarge +
               Progress("./Result", "offset.bmp") + kOffsetBeyond + Progress("./Result", "png.bmp") + kNot24;
    WriteFile(dir / "good.bmp", Page(4, 3));
    fs::create_symlink("nowhere.bmp", dir / "dangling.bmp");
    WriteFile(dir / "after.bmp", Page(4, 3));
    args.insert(args.end(), {"good.bmp", "dangling.bmp", "after.bmp"});
    expected += Progress("./Result", "good.bmp") + Progress("./Result", "dangling.bmp");

    const auto run = testsupport::RunWhiten(args, dir.Path().string(), {"LANG=C"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "CBmp24_::IsThisType : can't open dangling.bmp: No such file or directory\n");
    EXPECT_EQ(ReadFile(dir / "Result/good.bmp"), testbmp::WhitenedReference(Page(4, 3)));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Result"), fs::directory_iterator()), 1);
}

// Holds every open of one file until `before(n)` has run for the n-th open (0
// the first), through fanotify's permission events.
class OpenGate {
public:
    OpenGate(const std::string& path, std::function<void(int)> before) : before_(std::move(before)) {
        gate_ = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY);
        if (gate_ >= 0 && fanotify_mark(gate_, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, path.c_str()) != 0) {
            close(gate_);
            gate_ = -1;
        }
        if (gate_ < 0 || pipe(stop_) != 0) return;
        server_ = std::thread([this] { Serve(); });
    }
    ~OpenGate() {
        if (!server_.joinable()) return;
        const char stop = 0;
        EXPECT_EQ(write(stop_[1], &stop, 1), 1);
        server_.join();
        close(stop_[0]);
        close(stop_[1]);
        close(gate_);
    }
    bool Works() const { return server_.joinable(); }

private:
    void Serve() {
        alignas(fanotify_event_metadata) char buffer[4096];
        for (int opens = 0;;) {
            pollfd fds[2] = {{gate_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            ssize_t length = read(gate_, buffer, sizeof buffer);
            for (auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer); FAN_EVENT_OK(event, length);
                 event = FAN_EVENT_NEXT(event, length)) {
                before_(opens++);
                const fanotify_response allow{event->fd, FAN_ALLOW};
                EXPECT_EQ(write(gate_, &allow, sizeof allow), static_cast<ssize_t>(sizeof allow));
                close(event->fd);
            }
        }
    }

    std::function<void(int)> before_;
    int gate_ = -1;
    int stop_[2] = {-1, -1};
    std::thread server_;
};

// The file is opened twice, by IsThisType and by Load; here it is rewritten in
// place (the same file, as cp does) just before the second open. The job takes
// it as it now is, as if it had been checked so from the start.
TEST(HostileFiles, AFileRewrittenBetweenTheCheckAndTheLoadIsTakenAsItNowIs) {
    struct Case { const char* name; std::string bytes; int result; std::string line; std::string output; };
    const Case cases[] = {
        {"an 8-bit page", Page(3, 2, 8), 2, kNot24, ""},
        {"a 32-bit page", Page(3, 2, 32), 2, kNot24, ""},
        {"a 24-bit page cut short", Headers(3, 2, 24), 2, kTruncated, ""},
        {"another 24-bit page", Page(5, 4), 0, "", testbmp::WhitenedReference(Page(5, 4))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "in.bmp";
        WriteFile(path, Page(4, 3));
        const int writer = open(path.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        {
            OpenGate gate(path, [&](int open) {
                if (open != 1) return;
                ASSERT_EQ(ftruncate(writer, 0), 0);
                ASSERT_EQ(pwrite(writer, c.bytes.data(), c.bytes.size(), 0), static_cast<ssize_t>(c.bytes.size()));
            });
            if (!gate.Works()) {
                close(writer);
                GTEST_SKIP() << "fanotify's permission events need CAP_SYS_ADMIN and a kernel that has them";
            }
            const auto run = testjob::Process(path);
            EXPECT_EQ(run.result, c.result);
            EXPECT_EQ(run.printed, Progress(dir / "Result", "in.bmp") + c.line);
        }
        close(writer);
        if (c.result == 0) {
            EXPECT_EQ(ReadFile(dir / "Result/in.bmp"), c.output);
        } else {
            EXPECT_TRUE(fs::is_empty(dir / "Result"));
        }
    }
}

// A page under a write lease (as Samba's oplocks and the NFS server's
// delegations take them) held by a helper process, which gives it up `holdMs`
// after the lease break reaches it: the job waits as any reader does and
// whitens the page.
TEST(HostileFiles, APageUnderAWriteLeaseIsReadOnceTheLeaseIsGivenUp) {
    struct Case { const char* name; int holdMs; };
    const Case cases[] = {{"lease given up at once", 0}, {"lease kept 300 ms after the break", 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "in.bmp";
        WriteFile(path, Page(4, 3));
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            // Only async-signal-safe calls here: the test process has threads.
            struct sigaction note {};
            note.sa_handler = [](int) {};
            sigaction(SIGIO, &note, nullptr);
            sigset_t io, others;
            sigemptyset(&io);
            sigaddset(&io, SIGIO);
            sigprocmask(SIG_BLOCK, &io, &others);
            const int fd = open(path.c_str(), O_RDWR);
            const char taken = fd >= 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
            if (write(ready[1], &taken, 1) != 1 || taken != 'y') _exit(1);
            sigdelset(&others, SIGIO);
            sigsuspend(&others);  // the lease break's SIGIO
            usleep(static_cast<useconds_t>(c.holdMs) * 1000);
            fcntl(fd, F_SETLEASE, F_UNLCK);
            _exit(0);
        }
        close(ready[1]);
        char taken = 'n';
        EXPECT_EQ(read(ready[0], &taken, 1), 1);
        close(ready[0]);
        if (taken != 'y') {
            waitpid(holder, nullptr, 0);
            GTEST_SKIP() << "no write leases here (the file system, or neither ownership nor CAP_LEASE)";
        }
        const auto run = testjob::Process(path);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.printed, Progress(dir / "Result", "in.bmp"));
        EXPECT_EQ(ReadFile(dir / "Result/in.bmp"), testbmp::WhitenedReference(Page(4, 3)));
        int status = -1;
        waitpid(holder, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

}  // namespace

#endif
