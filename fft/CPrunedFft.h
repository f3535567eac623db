// A centred radix-2 transform that computes only the outputs asked for, from
// sequences of which only some inputs may be non-zero, on several sequences side
// by side. Every butterfly it keeps performs exactly the operations of
// CFft1D::TransformCentered (see FftArithmetic.h), so each value it returns is
// bit-identical to the full transform's, up to the sign of a zero result:
// a butterfly whose inputs are both zero, and which it therefore skips, can only
// yield zeros, and a zero of either sign leaves every non-zero sum, difference
// and product it meets unchanged.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

// One butterfly of a pruned transform: the pair of positions a < c, the twiddle
// table index, and which of its two results are written.
struct CPrunedFftOp {
    std::int32_t a, c;
    std::int32_t twiddle;
    std::uint8_t results;  // 1: the sum into a; 2: the product of the difference into c; 3: both
};

class CPrunedFft {
public:
    // Sequences transformed together; their values lie lane by lane.
    static constexpr int kLanes = 16;

    // Holds kLanes sequences of the plan's length while they are transformed.
    class Block {
    public:
        explicit Block(const CPrunedFft& plan);
        // Input value at centred index i (one of the plan's inputs) of one lane.
        void Set(std::int32_t i, int lane, std::complex<float> value) {
            if (realInputs_) ClearImaginaryParts();
            const std::size_t at = Slot(i, lane);
            re_[at] = value.real();
            im_[at] = value.imag();
        }
        // Sets every input index -n/2 .. n/2 - 1 of every lane to a real value:
        // lane l < lanes takes rows[l][column[i + n/2]] at index i; the other lanes
        // take zeros. The imaginary parts, all +0, are left implied until they
        // are needed.
        void SetRealRows(const float* const* rows, int lanes, const std::int32_t* column);

    private:
        friend class CPrunedFft;
        void ClearImaginaryParts();
        std::size_t Slot(std::int32_t i, int lane) const {
            return static_cast<std::size_t>(i < 0 ? i + n_ : i) * kLanes + static_cast<std::size_t>(lane);
        }
        std::int32_t n_;
        std::vector<float> re_, im_;  // position-major, kLanes values per position
        bool realInputs_ = false;     // im_ stands for +0 everywhere, whatever it holds
    };

    // Length n (a power of two), scale and direction as CFft1D(n, scale, fftType).
    // `inputs`: centred indices -n/2 .. n/2-1 that may hold non-zero values; all
    // others are zero. `outputs`: centred frequencies that will be read.
    CPrunedFft(std::int32_t n, float scale, std::int32_t fftType, const std::vector<std::int32_t>& inputs,
               const std::vector<std::int32_t>& outputs);

    std::int32_t length() const { return n_; }

    // Transforms every lane of the block. Inputs not set since the last Run keep
    // stale values: set every input index of every lane that is used.
    //
    // With `finiteInputs` the caller promises that every input is finite (and
    // the transform's sums stay finite). Butterflies whose twiddle factor is
    // (1, +-0) then take the difference as it is instead of multiplying it: for
    // finite values the product differs from it at most in the sign of a zero,
    // and a zero's sign never changes a non-zero result further on.
    void Run(Block& block, bool finiteInputs = false) const;

    // The transform's value at centred frequency k (one of the plan's outputs)
    // of one lane, scaled like CFft1D's scaling pass.
    std::complex<float> Output(const Block& block, std::int32_t k, int lane) const;

    // The real parts of every lane's value at centred frequency k, scaled alike.
    void OutputReal(const Block& block, std::int32_t k, float* lanes) const;

    // Butterflies the plan performs, and those a full transform performs.
    std::int64_t butterflyCount() const { return static_cast<std::int64_t>(ops_.size()); }
    std::int64_t fullButterflyCount() const;

private:
    enum : std::uint8_t { kSum = 1, kDifference = 2 };
    using Op = CPrunedFftOp;

    std::int32_t Position(std::int32_t centred) const;  // natural-order storage position

    std::int32_t n_;
    float scale_;
    std::vector<std::complex<float>> twiddles_;
    std::vector<Op> ops_;  // stage after stage
    // The first stage's butterflies cover every position, so for real inputs it
    // can run on the real parts alone and write every imaginary part.
    bool firstStageCoversAll_ = false;
    std::vector<std::int32_t> zeroReads_;       // positions read while still holding a zero input
    std::vector<std::int32_t> outputPosition_;  // by natural frequency: where its value ends up
};
