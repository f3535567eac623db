// Radix-2 FFT engine for one axis: one fixed power-of-two length, one direction
// and one output scale, with the permutation and twiddle table prepared once.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

class CFft1D {
public:
    // One of the bit-reversal exchanges; first < second.
    struct SwapPair {
        std::int32_t first = 0;
        std::int32_t second = 0;
    };

    // fftType 0 = forward (kernel e^(-2 pi i mk/n)), 1 = inverse (e^(+2 pi i mk/n)).
    // Not normalised: every output is multiplied by scale, and a scale of exactly
    // 1 skips that pass. Throws "CFft1D::CFft1D : data count error!" unless
    // dataCount is a power of two (1 included), and
    // "CFft1D::makeSinusoidTable : fft type error!" for any other fftType.
    CFft1D(std::int32_t dataCount, float scale, std::int32_t fftType);
    ~CFft1D() = default;
    CFft1D(const CFft1D&) = delete;
    CFft1D& operator=(const CFft1D&) = delete;

    // In place over n contiguous values in natural order (index 0 first); the
    // result is in natural frequency order. Allocates nothing, checks nothing.
    void Transform(std::complex<float>* data) const;
    // In place over n contiguous values holding indices -n/2 ... n/2-1; data
    // points to index -n/2 and the result has frequency -n/2 first.
    void TransformCentered(std::complex<float>* data) const;

    // Power of two, 1 included; 0 and negative counts are not.
    static bool IsPowerOfTwo(std::int32_t count);

    std::int32_t dataCount() const { return dataCount_; }
    std::int32_t fftType() const { return fftType_; }
    float scale() const { return scale_; }
    std::int32_t swapCount() const { return swapCount_; }
    const SwapPair* swapPairs() const { return swapPairs_.data(); }
    // n/2 entries, entry k = e^(-+2 pi i k/n); empty for n = 1.
    const std::complex<float>* sinusoidTable() const { return sinusoidTable_.data(); }

private:
    void makeSwapTable();
    void makeSinusoidTable();

    std::int32_t dataCount_;
    std::int32_t fftType_;
    float scale_;
    std::vector<SwapPair> swapPairs_;  // room for n pairs; the first swapCount_ are used
    std::int32_t swapCount_ = 0;
    std::vector<std::complex<float>> sinusoidTable_;
};
