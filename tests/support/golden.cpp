#include "support/golden.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string DataPath(const std::string& relative) {
    return std::string(WHITEN_TEST_DATA) + "/" + relative;
}

GoldenReader::GoldenReader(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open golden file " + path);
    std::string line, token;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') continue;
        std::istringstream words(line);
        while (words >> token) tokens_.push_back(token);
    }
    if (tokens_.empty() || tokens_.back() != "end")
        throw std::runtime_error("golden file does not end with 'end': " + path);
}

bool GoldenReader::AtEnd() const { return Peek() == "end"; }

const std::string& GoldenReader::Peek() const {
    if (next_ >= tokens_.size()) throw std::runtime_error("golden file ended early");
    return tokens_[next_];
}

std::string GoldenReader::Word() {
    std::string t = Peek();
    ++next_;
    return t;
}

void GoldenReader::Expect(const std::string& keyword) {
    const std::string t = Word();
    if (t != keyword)
        throw std::runtime_error("golden file: expected '" + keyword + "', found '" + t + "'");
}

std::int64_t GoldenReader::Int() { return std::stoll(Word()); }

std::uint32_t GoldenReader::Bits() {
    const std::string t = Word();
    if (t.size() != 8) throw std::runtime_error("golden file: bad float token '" + t + "'");
    return static_cast<std::uint32_t>(std::stoul(t, nullptr, 16));
}

float GoldenReader::Float() { return BitsFloat(Bits()); }

std::complex<float> GoldenReader::Complex() {
    const float re = Float();
    const float im = Float();
    return {re, im};
}

std::vector<float> GoldenReader::Floats(std::size_t count) {
    std::vector<float> values(count);
    for (auto& v : values) v = Float();
    return values;
}

std::vector<std::complex<float>> GoldenReader::Complexes(std::size_t count) {
    std::vector<std::complex<float>> values(count);
    for (auto& v : values) v = Complex();
    return values;
}

std::uint32_t FloatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool SameFloat(float expected, float actual) {
    if (std::isnan(expected)) return std::isnan(actual);
    return FloatBits(expected) == FloatBits(actual);
}

std::string Hex(float value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(FloatBits(value)));
    return text;
}

}  // namespace testsupport
