// What the page-reader fuzz targets check for one input, shared with the test
// that replays their seed corpora and regressions: every page of the file in
// memory is decoded under a lowered pixel limit, so that no allocation follows
// a fuzzed header's size. A refusal is an outcome, of one line; a page read
// holds exactly its samples. Returns "" when all was as it should be, else what
// went wrong; crashes, sanitizer reports, leaks, hangs and oversized
// allocations are the fuzzer's own findings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/PageReader.h"

namespace fuzzcheck {

constexpr std::size_t kPageFileMaxBytes = std::size_t{1} << 16;  // larger inputs are skipped
constexpr std::int64_t kPageMaxPixels = std::int64_t{1} << 20;
constexpr int kPagesRead = 8;  // of a multi-page file

inline std::string OneLine(const PageRefused& refused) {
    const std::string line = refused.what();
    return line.empty() || line.find('\n') != std::string::npos ? "refused without one line: \"" + line + "\"" : "";
}

inline std::string CheckPageRead(const std::uint8_t* data, std::size_t size) {
    if (size > kPageFileMaxBytes) return "";
    try {
        const auto reader = OpenPageReaderFromMemory(std::vector<std::uint8_t>(data, data + size), kPageMaxPixels);
        for (int i = 0; i < reader->PageCount() && i < kPagesRead; ++i) {
            PageImage page;
            try {
                reader->Read(i, page);
            } catch (const PageRefused& refused) {
                if (!OneLine(refused).empty()) return "page " + std::to_string(i + 1) + " " + OneLine(refused);
                continue;
            }
            const std::size_t expected = std::size_t(page.width) * std::size_t(page.height) * std::size_t(page.channels);
            if ((page.channels != 1 && page.channels != 3) || page.samples.size() != expected)
                return "page " + std::to_string(i + 1) + ": " + std::to_string(page.samples.size()) + " bytes for " +
                       std::to_string(page.width) + " x " + std::to_string(page.height) + " x " +
                       std::to_string(page.channels);
        }
    } catch (const PageRefused& refused) {
        return OneLine(refused);
    }
    return "";
}

}  // namespace fuzzcheck
