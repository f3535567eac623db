// The parts of OutputFile all platforms share: temporary names, writing and
// the last steps.
#include "platform/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/Path.h"
#include "platform/SystemError.h"

namespace platform {

namespace {

// Spreads consecutive counter values over all 64 bits (splitmix64).
std::uint64_t Mix(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// Differs between processes started at the same moment, and between calls.
std::uint64_t NextNameNumber() {
    static std::uint64_t state = [] {
        std::uint64_t seed =
            static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
        try {
            seed ^= static_cast<std::uint64_t>(std::random_device()()) << 32;
        } catch (...) {
            // No entropy source: the clock alone, and exclusive creation retries.
        }
        return seed;
    }();
    return Mix(state++);
}

}  // namespace

std::string TemporaryPathFor(const std::string& target) {
    constexpr std::size_t kShortest = 4;
    constexpr std::size_t kLongest = 12;
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const std::string name = PathFileName(target);
    const std::size_t digits = std::clamp(name.size(), kShortest, kLongest) - 1;
    std::string temporary = target.substr(0, target.size() - name.size()) + '~';
    std::uint64_t number = NextNameNumber();
    for (std::size_t i = 0; i < digits; ++i, number /= 36) temporary += kDigits[number % 36];
    return temporary;
}

std::error_code OutputFile::Write(const void* data, std::size_t size) {
    errno = 0;
    if (size == 0 || std::fwrite(data, 1, size, stream_) == size) return {};
    return LastCError();
}

std::error_code OutputFile::Commit() {
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) return LastCError();
    if (unnamed_) {
        if (const std::error_code error = NameUnnamedFile()) return error;
    }
    errno = 0;
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (closed != 0) return LastCError();
    const InterruptCleanup::Hold hold;
    if (const std::error_code error = RenameOver(temporary_, target_)) return error;
    temporary_.clear();
    cleanup_.Forget();
    return {};
}

OutputFile::~OutputFile() {
    if (stream_ != nullptr) std::fclose(stream_);
    if (temporary_.empty()) return;
    const InterruptCleanup::Hold hold;
    Remove(temporary_);
    cleanup_.Forget();
}

}  // namespace platform
