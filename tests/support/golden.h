// Reader for the golden vector files under tests/data/golden: whitespace-separated
// tokens, '#' comment lines skipped, floats as 8-digit IEEE single bit patterns.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Folder of the project's test data (tests/data).
std::string DataPath(const std::string& relative);

class GoldenReader {
public:
    explicit GoldenReader(const std::string& path);

    bool AtEnd() const;               // true once the closing `end` token is next
    const std::string& Peek() const;  // next token without consuming it
    std::string Word();               // any token
    void Expect(const std::string& keyword);  // fails the test (throws) on mismatch
    std::int64_t Int();
    float Float();                    // bit pattern to float, exactly
    std::uint32_t Bits();             // the raw pattern
    std::complex<float> Complex();
    std::vector<float> Floats(std::size_t count);
    std::vector<std::complex<float>> Complexes(std::size_t count);

private:
    std::vector<std::string> tokens_;
    std::size_t next_ = 0;
};

std::uint32_t FloatBits(float value);
float BitsFloat(std::uint32_t bits);

// Bitwise equality, except that any NaN matches an expected NaN.
bool SameFloat(float expected, float actual);

std::string Hex(float value);  // "3f800000" form, for failure messages

}  // namespace testsupport
