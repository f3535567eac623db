// Pruned centred transform: the butterflies of the decimation-in-frequency
// transform that can reach a wanted output from a possibly non-zero input.
#include "fft/CPrunedFft.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "fft/CFft1D.h"
#include "fft/FftArithmetic.h"
#include "platform/VectorClones.h"

namespace {

constexpr int kLanes = CPrunedFft::kLanes;

std::int32_t BitReverse(std::int32_t value, std::int32_t n) {
    std::int32_t reversed = 0;
    for (std::int32_t half = n / 2; half > 0; half /= 2, value >>= 1) reversed = 2 * reversed + (value & 1);
    return reversed;
}

// The lanes of one butterfly, with exactly the arithmetic of FftButterfly.
template <bool kWriteSum, bool kWriteDifference>
WHITEN_CLONED_BODY void LaneButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                      float* __restrict ci, double tr, double ti) {
    for (int l = 0; l < kLanes; ++l) {
        const float xr = ar[l], xi = ai[l], yr = cr[l], yi = ci[l];
        const float dr = xr - yr;
        const float di = xi - yi;
        if (kWriteSum) {
            ar[l] = xr + yr;
            ai[l] = xi + yi;
        }
        if (kWriteDifference) {
            cr[l] = static_cast<float>(static_cast<double>(dr) * tr - static_cast<double>(di) * ti);
            ci[l] = static_cast<float>(static_cast<double>(dr) * ti + static_cast<double>(di) * tr);
        }
    }
}

// A butterfly whose twiddle factor is (1, +-0), on finite values: the product
// of the difference by the factor is the difference itself, up to a zero's sign.
WHITEN_CLONED_BODY void LaneUnitButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                          float* __restrict ci) {
    for (int l = 0; l < kLanes; ++l) {
        const float xr = ar[l], xi = ai[l], yr = cr[l], yi = ci[l];
        ar[l] = xr + yr;
        ai[l] = xi + yi;
        cr[l] = xr - yr;
        ci[l] = xi - yi;
    }
}

// The first stage's butterfly for inputs whose imaginary parts are all +0: the
// arithmetic of LaneButterfly with xi = yi = +0 written out, so that the
// imaginary parts are neither stored nor read beforehand. The difference's
// imaginary part is +0 - +0 = +0, and its products with the twiddle factor,
// +0 * ti and +0 * tr, are formed as they stand, signs of zero included.
template <bool kWriteSum, bool kWriteDifference>
WHITEN_CLONED_BODY void LaneRealButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                          float* __restrict ci, double tr, double ti) {
    const double zeroTimesTi = 0.0 * ti, zeroTimesTr = 0.0 * tr;
    for (int l = 0; l < kLanes; ++l) {
        const float xr = ar[l], yr = cr[l];
        const float dr = xr - yr;
        if (kWriteSum) {
            ar[l] = xr + yr;
            ai[l] = 0.0f;
        }
        if (kWriteDifference) {
            cr[l] = static_cast<float>(static_cast<double>(dr) * tr - zeroTimesTi);
            ci[l] = static_cast<float>(static_cast<double>(dr) * ti + zeroTimesTr);
        }
    }
}

// LaneUnitButterfly for inputs whose imaginary parts are all +0.
WHITEN_CLONED_BODY void LaneRealUnitButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                              float* __restrict ci) {
    for (int l = 0; l < kLanes; ++l) {
        const float xr = ar[l], yr = cr[l];
        ar[l] = xr + yr;
        ai[l] = 0.0f;
        cr[l] = xr - yr;
        ci[l] = 0.0f;
    }
}

// One butterfly's lanes, for complex inputs or for inputs whose imaginary
// parts are all +0.
template <bool kRealInputs, bool kWriteSum, bool kWriteDifference>
WHITEN_CLONED_BODY void Butterfly(float* ar, float* ai, float* cr, float* ci, double tr, double ti) {
    if constexpr (kRealInputs) {
        LaneRealButterfly<kWriteSum, kWriteDifference>(ar, ai, cr, ci, tr, ti);
    } else {
        LaneButterfly<kWriteSum, kWriteDifference>(ar, ai, cr, ci, tr, ti);
    }
}

// The plan's butterflies in order; with kRealInputs, for inputs whose
// imaginary parts are all +0 and not stored (the first stage only).
template <bool kRealInputs>
WHITEN_CLONED_BODY void RunButterflies(float* re, float* im, const CPrunedFftOp* ops, std::size_t count,
                                       const std::complex<float>* twiddles, bool finite) {
    for (std::size_t i = 0; i < count; ++i) {
        const CPrunedFftOp& op = ops[i];
        float* ar = re + static_cast<std::ptrdiff_t>(op.a) * kLanes;
        float* ai = im + static_cast<std::ptrdiff_t>(op.a) * kLanes;
        float* cr = re + static_cast<std::ptrdiff_t>(op.c) * kLanes;
        float* ci = im + static_cast<std::ptrdiff_t>(op.c) * kLanes;
        const double tr = static_cast<double>(twiddles[op.twiddle].real());
        const double ti = static_cast<double>(twiddles[op.twiddle].imag());
        if (finite && op.twiddle == 0) {
            // Writing both results where one is wanted is harmless: the other
            // position is read by no butterfly that follows.
            if (kRealInputs) {
                LaneRealUnitButterfly(ar, ai, cr, ci);
            } else {
                LaneUnitButterfly(ar, ai, cr, ci);
            }
            continue;
        }
        switch (op.results) {
            case 1:
                Butterfly<kRealInputs, true, false>(ar, ai, cr, ci, tr, ti);
                break;
            case 2:
                Butterfly<kRealInputs, false, true>(ar, ai, cr, ci, tr, ti);
                break;
            default:
                Butterfly<kRealInputs, true, true>(ar, ai, cr, ci, tr, ti);
                break;
        }
    }
}

WHITEN_VECTOR_CLONES
void RunRealOps(float* re, float* im, const CPrunedFftOp* ops, std::size_t count, const std::complex<float>* twiddles,
                bool finite) {
    RunButterflies<true>(re, im, ops, count, twiddles, finite);
}

WHITEN_VECTOR_CLONES
void RunOps(float* re, float* im, const CPrunedFftOp* ops, std::size_t count, const std::complex<float>* twiddles,
            bool finite) {
    RunButterflies<false>(re, im, ops, count, twiddles, finite);
}

}  // namespace

CPrunedFft::Block::Block(const CPrunedFft& plan)
    : n_(plan.length()),
      re_(static_cast<std::size_t>(plan.length()) * kLanes, 0.0f),
      im_(static_cast<std::size_t>(plan.length()) * kLanes, 0.0f) {}

CPrunedFft::CPrunedFft(std::int32_t n, float scale, std::int32_t fftType, const std::vector<std::int32_t>& inputs,
                       const std::vector<std::int32_t>& outputs)
    : n_(n), scale_(scale) {
    const CFft1D engine(n, scale, fftType);  // checks the length and type, and gives the twiddles
    twiddles_.assign(engine.sinusoidTable(), engine.sinusoidTable() + n / 2);

    const auto size = static_cast<std::size_t>(n);
    std::vector<std::int32_t> spans;
    for (std::int32_t h = n / 2; h > 0; h /= 2) spans.push_back(h);

    // live[s][p]: position p may be non-zero on entry to stage s (s = spans.size(): after the last).
    std::vector<std::vector<char>> live(spans.size() + 1, std::vector<char>(size, 0));
    for (std::int32_t i : inputs) {
        if (i < -(n / 2) || i > (n - 1) / 2) throw std::string("CPrunedFft : input index outside the transform!");
        live[0][static_cast<std::size_t>(Position(i))] = 1;
    }
    for (std::size_t s = 0; s < spans.size(); ++s) {
        const std::int32_t h = spans[s];
        for (std::int32_t base = 0; base < n; base += 2 * h) {
            for (std::int32_t j = 0; j < h; ++j) {
                const auto p = static_cast<std::size_t>(base + j), q = p + static_cast<std::size_t>(h);
                live[s + 1][p] = live[s + 1][q] = static_cast<char>(live[s][p] || live[s][q]);
            }
        }
    }

    // The full transform leaves natural frequency k at position BitReverse(k).
    outputPosition_.resize(size);
    for (std::int32_t k = 0; k < n; ++k) outputPosition_[static_cast<std::size_t>(k)] = BitReverse(k, n);

    std::vector<char> needed(size, 0);  // wanted on exit from the stage being planned
    std::vector<char> zeroRead(size, 0);
    for (std::int32_t k : outputs) {
        if (k < -(n / 2) || k > (n - 1) / 2) throw std::string("CPrunedFft : output index outside the transform!");
        const auto p = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]);
        needed[p] = 1;
        if (!live[spans.size()][p]) zeroRead[p] = 1;
    }

    // Walk the stages backwards: a butterfly is kept when one of its outputs is
    // wanted and may be non-zero; it then needs both its inputs.
    std::vector<std::vector<Op>> stageOps(spans.size());
    for (std::size_t s = spans.size(); s-- > 0;) {
        const std::int32_t h = spans[s];
        const std::int32_t stride = (n / 2) / h;
        std::vector<char> neededBefore(size, 0);
        for (std::int32_t base = 0; base < n; base += 2 * h) {
            for (std::int32_t j = 0; j < h; ++j) {
                const auto p = static_cast<std::size_t>(base + j), q = p + static_cast<std::size_t>(h);
                if (!live[s + 1][p]) continue;
                std::uint8_t results = 0;
                if (needed[p]) results |= kSum;
                if (needed[q]) results |= kDifference;
                if (results == 0) continue;
                stageOps[s].push_back(
                    {static_cast<std::int32_t>(p), static_cast<std::int32_t>(q), j * stride, results});
                neededBefore[p] = neededBefore[q] = 1;
                if (!live[s][p]) zeroRead[p] = 1;
                if (!live[s][q]) zeroRead[q] = 1;
            }
        }
        needed.swap(neededBefore);
    }
    // Pairs of one stage never share a position, so n/2 of them cover all n.
    firstStageCoversAll_ = !stageOps.empty() && stageOps.front().size() == size / 2;
    for (auto& stage : stageOps) ops_.insert(ops_.end(), stage.begin(), stage.end());
    for (std::int32_t p = 0; p < n; ++p)
        if (zeroRead[static_cast<std::size_t>(p)]) zeroReads_.push_back(p);
}

std::int32_t CPrunedFft::Position(std::int32_t centred) const {
    return centred < 0 ? centred + n_ : centred;
}

void CPrunedFft::Block::SetRealRows(const float* const* rows, int lanes, const std::int32_t* column) {
    const std::int32_t half = n_ / 2;
    for (std::int32_t p = 0; p < n_; ++p) {
        // Storage position p holds centred index p, or p - n for the upper half.
        const std::int32_t c = column[(p < half || n_ == 1 ? p : p - n_) + half];
        float* lane = &re_[static_cast<std::size_t>(p) * kLanes];
        for (int l = 0; l < lanes; ++l) lane[l] = rows[l][c];
        for (int l = lanes; l < kLanes; ++l) lane[l] = 0.0f;
    }
    realInputs_ = true;
}

void CPrunedFft::Block::ClearImaginaryParts() {
    std::fill(im_.begin(), im_.end(), 0.0f);
    realInputs_ = false;
}

std::int64_t CPrunedFft::fullButterflyCount() const {
    std::int64_t stages = 0;
    for (std::int32_t h = n_ / 2; h > 0; h /= 2) ++stages;
    return stages * (n_ / 2);
}

void CPrunedFft::Run(Block& block, bool finiteInputs) const {
    float* re = block.re_.data();
    float* im = block.im_.data();
    for (std::int32_t p : zeroReads_) {
        std::fill_n(re + static_cast<std::ptrdiff_t>(p) * kLanes, kLanes, 0.0f);
        std::fill_n(im + static_cast<std::ptrdiff_t>(p) * kLanes, kLanes, 0.0f);
    }
    std::size_t done = 0;
    if (block.realInputs_) {
        if (firstStageCoversAll_) {
            // The first stage writes every imaginary part the later ones read.
            done = static_cast<std::size_t>(n_ / 2);
            RunRealOps(re, im, ops_.data(), done, twiddles_.data(), finiteInputs);
        } else {
            block.ClearImaginaryParts();
        }
        block.realInputs_ = false;
    }
    RunOps(re, im, ops_.data() + done, ops_.size() - done, twiddles_.data(), finiteInputs);
}

std::complex<float> CPrunedFft::Output(const Block& block, std::int32_t k, int lane) const {
    assert(!block.realInputs_);  // outputs exist only after Run
    const auto at = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]) * kLanes +
                    static_cast<std::size_t>(lane);
    std::complex<float> value(block.re_[at], block.im_[at]);
    if (!(scale_ == 1.0f)) FftScale(value, scale_);
    return value;
}

void CPrunedFft::OutputReal(const Block& block, std::int32_t k, float* lanes) const {
    assert(!block.realInputs_);  // outputs exist only after Run
    const auto at = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]) * kLanes;
    const float* re = block.re_.data() + at;
    const float* im = block.im_.data() + at;
    if (scale_ == 1.0f) {
        std::copy_n(re, kLanes, lanes);
        return;
    }
    // The real part of FftScale's product by (scale, 0).
    const double s = static_cast<double>(scale_);
    for (int l = 0; l < kLanes; ++l)
        lanes[l] = static_cast<float>(static_cast<double>(re[l]) * s - static_cast<double>(im[l]) * 0.0);
}
