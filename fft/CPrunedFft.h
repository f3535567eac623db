// The tool's path: a centred radix-2 transform that computes only the outputs
// asked for, from sequences of which only some inputs may be non-zero, on
// several sequences side by side. Every butterfly it keeps performs exactly the
// operations of CFft1D::TransformCentered (see FftArithmetic.h), so each value
// it returns is bit-identical to the full transform's, up to the sign of a zero
// result: a butterfly whose inputs are both zero, and which it therefore skips,
// can only yield zeros, and a zero of either sign leaves every non-zero sum,
// difference and product it meets unchanged.
//
// Inputs must be finite and keep the transform's sums finite (the flattening's
// come from bytes). Butterflies whose twiddle factor is (1, +-0) then take the
// difference as it is instead of multiplying it: for finite values the product
// differs from it at most in the sign of a zero.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

class CPrunedFft {
public:
    // The most sequences a block transforms together; their values lie lane by lane.
    static constexpr int kLanes = 16;

    // Lanes a block of a length-n plan should have for `sequences` sequences:
    // kLanes, unless most lanes would idle (fewer than kLanes / 4 sequences) or
    // the block would be large (n beyond 2^17, 16 MiB), where kLanes lanes
    // stream 128 bytes per position through memory at every stage: then one.
    static int LanesFor(std::int32_t n, std::int64_t sequences) {
        return n <= (1 << 17) && sequences >= kLanes / 4 ? kLanes : 1;
    }

    // Holds `lanes` sequences (1 or kLanes) of the plan's length while they are transformed.
    class Block {
    public:
        explicit Block(const CPrunedFft& plan, int lanes = kLanes);
        int lanes() const { return lanes_; }
        // Input value at centred index i (one of the plan's inputs) of one lane.
        void Set(std::int32_t i, int lane, std::complex<float> value) {
            if (realInputs_) ClearImaginaryParts();
            const std::size_t at = Slot(i, lane);
            re_[at] = value.real();
            im_[at] = value.imag();
        }
        // Sets every input index -n/2 .. n/2 - 1 of every lane to a real value:
        // lane l < count takes rows[l][column[i + n/2]] at index i; the other
        // lanes take zeros. The imaginary parts, all +0, are left implied until
        // they are needed.
        void SetRealRows(const std::uint8_t* const* rows, int count, const std::int32_t* column);

    private:
        friend class CPrunedFft;
        void ClearImaginaryParts();
        std::size_t Slot(std::int32_t i, int lane) const {
            return static_cast<std::size_t>(i < 0 ? i + n_ : i) * static_cast<std::size_t>(lanes_) +
                   static_cast<std::size_t>(lane);
        }
        std::int32_t n_;
        int lanes_;
        std::vector<float> re_, im_;  // position-major, lanes_ values per position
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
    void Run(Block& block) const;

    // The transform's value at centred frequency k (one of the plan's outputs)
    // of one lane, scaled like CFft1D's scaling pass.
    std::complex<float> Output(const Block& block, std::int32_t k, int lane) const;

    // The real parts of lanes 0 .. count - 1 (count <= block.lanes()) at the
    // centred frequencies first .. last, scaled alike (up to the sign of a
    // zero), frequency k's at rows + (k - first) * stride. Returns the largest
    // magnitude among them.
    float OutputRealRows(const Block& block, std::int32_t first, std::int32_t last, int count, float* rows,
                         std::ptrdiff_t stride) const;

    // Butterflies the plan performs, and those a full transform performs.
    std::int64_t butterflyCount() const;
    std::int64_t fullButterflyCount() const;

    // One stage's butterflies: ops_[first .. end) pair positions a and a + span;
    // a whole stage lists none and performs all n/2, each writing both results.
    struct Stage {
        std::size_t first, end;
        std::int32_t span;
        bool whole;
    };

private:
    std::int32_t Position(std::int32_t centred) const;  // natural-order storage position
    void PlanButterflies(const std::vector<std::int32_t>& inputs, const std::vector<std::int32_t>& outputs);

    std::int32_t n_;
    float scale_;
    std::vector<std::complex<float>> twiddles_;
    // A butterfly in 32 bits: its first position a in the low 30, in the top two
    // which results it writes (1: the sum into a; 2: the product of the
    // difference into a + span; 3: both). The twiddle index follows from a.
    std::vector<std::uint32_t> ops_;
    std::vector<Stage> stages_;  // first to last
    // The first stage's butterflies cover every position, so for real inputs it
    // can run on the real parts alone and write every imaginary part.
    bool firstStageCoversAll_ = false;
    std::vector<std::int32_t> zeroReads_;       // positions read while still holding a zero input
    std::vector<std::int32_t> outputPosition_;  // by natural frequency: where its value ends up
};
