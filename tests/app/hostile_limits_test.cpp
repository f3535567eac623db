// Headers that claim huge pages in tiny files, and pages beyond the size limit
// in files that hold every row, are refused before any large allocation. The
// largest single request is watched through the global allocation functions,
// which this test program replaces; and, outside the address sanitizer (which
// reserves a vast address space of its own), a child process with a bounded
// address space runs the job on the same files.
// POSIX resource limits; not built for Windows.
#if !defined(_WIN32)

#include "app/ProcessFile.h"

#include "app/job_run.h"
#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define WHITEN_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WHITEN_TEST_ASAN 1
#endif
#endif

namespace {

std::atomic<bool> watching{false};
std::atomic<std::size_t> largestRequest{0};

void NoteRequest(std::size_t bytes) {
    if (!watching.load(std::memory_order_relaxed)) return;
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (bytes > seen && !largestRequest.compare_exchange_weak(seen, bytes)) {
    }
}

}  // namespace

// The replaced operators pair malloc with free themselves; GCC cannot see that
// through the inlined calls and would warn about a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t bytes) {
    NoteRequest(bytes);
    if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) { return ::operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    NoteRequest(bytes);
    return std::malloc(bytes == 0 ? 1 : bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t& tag) noexcept { return ::operator new(bytes, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

using testbmp::Headers;
using testsupport::TempDir;
using testsupport::WriteFile;

// `bytes`, in a file extended to `fileSize` bytes when that is larger: a
// sparse file, which holds every row the headers announce at no cost of disk.
struct Claim { const char* name; std::string bytes; std::uintmax_t fileSize = 0; };

void WriteClaim(const std::string& path, const Claim& claim) {
    WriteFile(path, claim.bytes);
    if (claim.fileSize > claim.bytes.size()) std::filesystem::resize_file(path, claim.fileSize);
}

// Pages of 2^30 pixels, one more than the gray plane holds, with all their rows.
constexpr std::uintmax_t kFullFile = 54 + (std::uintmax_t{3} << 30);
const std::vector<Claim> kBeyondTheLimit = {
    {"2^15 x 2^15, every row", Headers(1 << 15, 1 << 15, 24), kFullFile},
    {"2^20 x 2^10, every row", Headers(1 << 20, 1 << 10, 24), kFullFile},
    {"top-down 2^10 x 2^20, every row", Headers(1 << 10, -(1 << 20), 24), kFullFile},
};

// Claims of pages up to the largest accepted (2^30 - 1 pixels, 3 GiB of rows)
// in files of 78 bytes, and the pages beyond the limit.
std::vector<Claim> HugeClaims() {
    const std::string rows = testbmp::Rows(3, 2, 3);
    std::vector<Claim> claims = {
        {"2^30 - 1 pixels", Headers((1 << 15) - 1, (1 << 15) + 1, 24) + rows},
        {"2^20 x (2^10 - 1)", Headers(1 << 20, (1 << 10) - 1, 24) + rows},
        {"widest row", Headers(1 << 20, 1, 24) + rows},
        {"tallest column", Headers(1, 1 << 20, 24) + rows},
        {"top-down 2^30 - 1 pixels", Headers((1 << 15) - 1, -((1 << 15) + 1), 24) + rows},
        {"2^30 - 1 pixels behind a large offset", Headers((1 << 15) - 1, (1 << 15) + 1, 24, 70) + rows},
        {"beyond the limits", Headers(INT_MAX, INT_MAX, 24) + rows},
    };
    claims.insert(claims.end(), kBeyondTheLimit.begin(), kBeyondTheLimit.end());
    return claims;
}

int Job(const std::string& path) {
    testing::internal::CaptureStdout();
    const int result = ProcessFile(path);
    testing::internal::GetCapturedStdout();
    return result;
}

TEST(HostileLimits, HugeClaimsAllocateNothingLarge) {
    for (const Claim& claim : HugeClaims()) {
        SCOPED_TRACE(claim.name);
        TempDir dir;
        WriteClaim(dir / "in.bmp", claim);
        largestRequest = 0;
        watching = true;
        const int result = Job(dir / "in.bmp");
        watching = false;
        EXPECT_EQ(result, 2);
        EXPECT_LT(largestRequest.load(), 64u * 1024u);
    }
    // The watch sees the job's real blocks: a 200 x 100 page needs a plane of 80,000 bytes.
    TempDir dir;
    WriteFile(dir / "in.bmp", testbmp::Page(200, 100));
    largestRequest = 0;
    watching = true;
    const int result = Job(dir / "in.bmp");
    watching = false;
    EXPECT_EQ(result, 0);
    EXPECT_GE(largestRequest.load(), 80000u);
}

// In a child process with at most `bytes` of address space: 0 when every claim
// is refused and a sound page still goes through, 3 otherwise.
[[noreturn, maybe_unused]] void RunWithAddressSpace(const std::vector<std::string>& refused, const std::string& sound, rlim_t bytes) {
    std::freopen("/dev/null", "w", stdout);
    const rlimit limit{bytes, bytes};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(4);
    int failures = 0;
    for (const auto& path : refused) failures += ProcessFile(path) != 2;
    failures += ProcessFile(sound) != 0;
    std::exit(failures == 0 ? 0 : 3);
}

TEST(HostileLimits, HugeClaimsAreRefusedInABoundedAddressSpace) {
#if defined(WHITEN_TEST_ASAN)
    GTEST_SKIP() << "the address sanitizer needs an unbounded address space";
#else
    TempDir dir;
    std::vector<std::string> refused;
    int i = 0;
    for (const Claim& claim : HugeClaims()) {
        refused.push_back(dir / ("claim" + std::to_string(i++) + ".bmp"));
        WriteClaim(refused.back(), claim);
    }
    WriteFile(dir / "sound.bmp", testbmp::Page(64, 48));
    EXPECT_EXIT(RunWithAddressSpace(refused, dir / "sound.bmp", rlim_t{1} << 30), testing::ExitedWithCode(0), "");
#endif
}

// One run over the pages beyond the limit and a sound page: each large page is
// refused with its one line and the run goes on to whiten the next.
TEST(HostileLimits, TheRunGoesOnPastPagesBeyondTheLimit) {
    TempDir dir;
    std::vector<std::string> args;
    std::string expected;
    for (const Claim& claim : kBeyondTheLimit) {
        args.push_back("large" + std::to_string(args.size()) + ".bmp");
        WriteClaim(dir / args.back(), claim);
        expected += testjob::Progress("./Result", args.back()) + "File is broken: image is too large\n";
    }
    WriteFile(dir / "next.bmp", testbmp::Page(5, 4));
    args.push_back("next.bmp");
    expected += testjob::Progress("./Result", "next.bmp");

    const auto run = testsupport::RunWhiten(args, dir.Path().string());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(testsupport::ReadFile(dir / "Result/next.bmp"), testbmp::WhitenedReference(testbmp::Page(5, 4)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "Result"), {}), 1);
}

// The tool's memory beyond the page does not grow with the core count: under
// an address-space limit of twice what a 2000 x 2000 page needs on one thread,
// and under larger ones, a run with 8, 16 or 64 processors reported succeeds.
// The count is faked by mounting a file over /sys/devices/system/cpu/online in
// a mount namespace of the child; the one-processor case at 40 MiB shows what
// one thread needs. Worker stacks and per-thread heaps once took all of 80 to
// 400 MiB, depending on how many of them the limit let start.
TEST(HostileLimits, APageFitsTwiceItsOneThreadNeedsOnAnyNumberOfCores) {
#if defined(WHITEN_TEST_ASAN)
    GTEST_SKIP() << "the address sanitizer needs an unbounded address space";
#else
    constexpr rlim_t kMiB = rlim_t{1} << 20;
    constexpr int kRuns = 1;
    struct Case { const char* name; const char* online; rlim_t limit; };
    const Case cases[] = {
        {"1 processor, 40 MiB", "0\n", 40 * kMiB},
        {"8 processors, 80 MiB", "0-7\n", 80 * kMiB},
        {"16 processors, 80 MiB", "0-15\n", 80 * kMiB},
        {"64 processors, 80 MiB", "0-63\n", 80 * kMiB},
        {"8 processors, 120 MiB", "0-7\n", 120 * kMiB},
        {"16 processors, 120 MiB", "0-15\n", 120 * kMiB},
        {"64 processors, 120 MiB", "0-63\n", 120 * kMiB},
        {"16 processors, 400 MiB", "0-15\n", 400 * kMiB},
        {"64 processors, 400 MiB", "0-63\n", 400 * kMiB},
    };
    TempDir dir;
    struct Child { const Case* c; std::string folder; pid_t pid; };
    std::vector<Child> children;
    for (const Case& c : cases) {
        for (int run = 0; run < kRuns; ++run) {
            const std::string folder = dir / (std::to_string(children.size()));
            std::filesystem::create_directory(folder);
            WriteFile(folder + "/online", c.online);
            WriteFile(folder + "/p.bmp", testbmp::Page(2000, 2000));
            const pid_t pid = fork();
            if (pid == 0) {
                const int err = open((folder + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                const int null = open("/dev/null", O_WRONLY);
                if (err < 0 || null < 0 || dup2(null, 1) < 0 || dup2(err, 2) < 0 || chdir(folder.c_str()) != 0) _exit(126);
                if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    mount((folder + "/online").c_str(), "/sys/devices/system/cpu/online", nullptr, MS_BIND, nullptr) != 0)
                    _exit(125);
                const rlimit limit{c.limit, c.limit};
                if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
                execl(WHITEN_BINARY, "whiten", "p.bmp", static_cast<char*>(nullptr));
                _exit(127);
            }
            children.push_back({&c, folder, pid});
        }
    }
    bool noNamespace = false;
    for (const Child& child : children) {
        int status = -1;
        waitpid(child.pid, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 125) {
            noNamespace = true;
            continue;
        }
        SCOPED_TRACE(child.c->name);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testsupport::ReadFile(child.folder + "/err");
        EXPECT_TRUE(std::filesystem::exists(child.folder + "/Result/p.bmp"));
    }
    if (noNamespace) GTEST_SKIP() << "needs a mount namespace (root or CAP_SYS_ADMIN) to fake the processor count";
#endif
}

}  // namespace

#endif
