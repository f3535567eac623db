// Radix-2 decimation-in-frequency FFT over one axis.
#include "reference/CFft1D.h"

#include <string>
#include <utility>

#include "fft/FftArithmetic.h"

namespace {

// Exchanges the two halves of n values, bringing index 0 of a centred sequence
// to position 0 and back again.
void SwapHalves(std::complex<float>* data, std::int32_t n) {
    const std::int32_t h = n / 2;
    for (std::int32_t i = 0; i < h; ++i) std::swap(data[i], data[i + h]);
}

}  // namespace

bool CFft1D::IsPowerOfTwo(std::int32_t count) {
    std::int64_t p = 1;
    while (p < count) p *= 2;
    return p == count;
}

CFft1D::CFft1D(std::int32_t dataCount, float scale, std::int32_t fftType)
    : dataCount_(dataCount), fftType_(fftType), scale_(scale) {
    if (!IsPowerOfTwo(dataCount_)) throw std::string("CFft1D::CFft1D : data count error!");
    makeSwapTable();
    makeSinusoidTable();
}

// The bit-reversal permutation as disjoint exchanges, in ascending order of
// their first index, so that a transform moves each exchanged element once.
void CFft1D::makeSwapTable() {
    const std::int32_t n = dataCount_;
    std::vector<bool> done(static_cast<std::size_t>(n), false);
    swapPairs_.assign(static_cast<std::size_t>(n), SwapPair{});
    swapCount_ = 0;

    std::int32_t bits = 0;
    for (std::int32_t half = n / 2; half > 0; half /= 2) ++bits;

    for (std::int32_t j = 0; j < n; ++j) {
        if (done[static_cast<std::size_t>(j)]) continue;
        std::int32_t r = 0;
        for (std::int32_t b = 0, rest = j; b < bits; ++b, rest >>= 1) r = 2 * r + (rest & 1);
        if (r != j) {
            swapPairs_[static_cast<std::size_t>(swapCount_++)] = SwapPair{j, r};
            done[static_cast<std::size_t>(j)] = true;
            done[static_cast<std::size_t>(r)] = true;
        }
    }
}

void CFft1D::makeSinusoidTable() {
    const std::int32_t half = dataCount_ / 2;
    sinusoidTable_.assign(static_cast<std::size_t>(half), std::complex<float>(0.0f, 0.0f));
    if (fftType_ != 0 && fftType_ != 1) {
        std::vector<std::complex<float>>().swap(sinusoidTable_);
        throw std::string("CFft1D::makeSinusoidTable : fft type error!");
    }
    for (std::int32_t k = 0; k < half; ++k)
        sinusoidTable_[static_cast<std::size_t>(k)] = FftTwiddle(dataCount_, k, fftType_ == 1);
}

void CFft1D::Transform(std::complex<float>* data) const {
    const std::int32_t n = dataCount_;
    const std::complex<float>* table = sinusoidTable_.data();

    // Span h halves each stage; s = (n/2)/h is both the number of groups and
    // the step through the twiddle table.
    for (std::int32_t h = n / 2; h > 0; h /= 2) {
        const std::int32_t s = (n / 2) / h;
        for (std::int32_t g = 0; g < s; ++g) {
            std::complex<float>* group = data + static_cast<std::ptrdiff_t>(2) * h * g;
            for (std::int32_t j = 0; j < h; ++j) FftButterfly(group[j], group[j + h], table[j * s]);
        }
    }

    for (std::int32_t i = 0; i < swapCount_; ++i) {
        const SwapPair& p = swapPairs_[static_cast<std::size_t>(i)];
        std::swap(data[p.first], data[p.second]);
    }

    // A NaN scale is "not 1" as well.
    if (!(scale_ == 1.0f)) {
        for (std::int32_t i = 0; i < n; ++i) FftScale(data[i], scale_);
    }
}

void CFft1D::TransformCentered(std::complex<float>* data) const {
    SwapHalves(data, dataCount_);
    Transform(data);
    SwapHalves(data, dataCount_);
}
