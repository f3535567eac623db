// The tool's path: the pruned centred transform, the butterflies of the
// decimation-in-frequency transform that can reach a wanted output from a
// possibly non-zero input.
#include "fft/CPrunedFft.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <string>

#include "fft/FftArithmetic.h"
#include "platform/VectorClones.h"

namespace {

constexpr int kLanes = CPrunedFft::kLanes;
constexpr std::uint32_t kPositionMask = (1u << 30) - 1;
constexpr std::uint32_t kWritesSum = 1u << 30, kWritesDifference = 2u << 30, kWritesBoth = 3u << 30;

// The lanes of one butterfly, with exactly the arithmetic of FftButterfly.
// With kRealInputs, the imaginary parts of both inputs are +0 and not read:
// the difference's imaginary part is +0 - +0 = +0, and its products with the
// twiddle factor, +0 * ti and +0 * tr, are formed as they stand.
template <int kLaneCount, bool kRealInputs, bool kWriteSum, bool kWriteDifference>
WHITEN_CLONED_BODY void LaneButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                      float* __restrict ci, double tr, double ti) {
    for (int l = 0; l < kLaneCount; ++l) {
        const float xr = ar[l], yr = cr[l];
        const float xi = kRealInputs ? 0.0f : ai[l], yi = kRealInputs ? 0.0f : ci[l];
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
template <int kLaneCount, bool kRealInputs>
WHITEN_CLONED_BODY void LaneUnitButterfly(float* __restrict ar, float* __restrict ai, float* __restrict cr,
                                          float* __restrict ci) {
    for (int l = 0; l < kLaneCount; ++l) {
        const float xr = ar[l], yr = cr[l];
        const float xi = kRealInputs ? 0.0f : ai[l], yi = kRealInputs ? 0.0f : ci[l];
        ar[l] = xr + yr;
        ai[l] = xi + yi;
        cr[l] = xr - yr;
        ci[l] = xi - yi;
    }
}

// One butterfly at positions a and a + span of a stage.
template <int kLaneCount, bool kRealInputs>
WHITEN_CLONED_BODY void Butterfly(float* re, float* im, std::int32_t a, std::int32_t span, std::uint32_t results,
                                  std::int32_t twiddle, const std::complex<float>* twiddles) {
    float* ar = re + static_cast<std::ptrdiff_t>(a) * kLaneCount;
    float* ai = im + static_cast<std::ptrdiff_t>(a) * kLaneCount;
    float* cr = ar + static_cast<std::ptrdiff_t>(span) * kLaneCount;
    float* ci = ai + static_cast<std::ptrdiff_t>(span) * kLaneCount;
    if (twiddle == 0) {
        // Writing both results where one is wanted is harmless: the other
        // position is read by no butterfly that follows.
        LaneUnitButterfly<kLaneCount, kRealInputs>(ar, ai, cr, ci);
        return;
    }
    const double tr = static_cast<double>(twiddles[twiddle].real());
    const double ti = static_cast<double>(twiddles[twiddle].imag());
    switch (results) {
        case kWritesSum:
            LaneButterfly<kLaneCount, kRealInputs, true, false>(ar, ai, cr, ci, tr, ti);
            break;
        case kWritesDifference:
            LaneButterfly<kLaneCount, kRealInputs, false, true>(ar, ai, cr, ci, tr, ti);
            break;
        default:
            LaneButterfly<kLaneCount, kRealInputs, true, true>(ar, ai, cr, ci, tr, ti);
            break;
    }
}

// The butterflies of the given stages in order; with kRealInputs, for inputs
// whose imaginary parts are all +0 and not stored (the first stage only).
template <int kLaneCount, bool kRealInputs>
WHITEN_CLONED_BODY void RunStages(float* re, float* im, const std::uint32_t* ops, const CPrunedFft::Stage* stages,
                                  std::size_t stageCount, std::int32_t n, const std::complex<float>* twiddles) {
    for (std::size_t s = 0; s < stageCount; ++s) {
        const std::int32_t span = stages[s].span, stride = (n / 2) / span;
        if (stages[s].whole) {
            for (std::int32_t base = 0; base < n; base += 2 * span)
                for (std::int32_t j = 0; j < span; ++j)
                    Butterfly<kLaneCount, kRealInputs>(re, im, base + j, span, kWritesBoth, j * stride, twiddles);
            continue;
        }
        for (std::size_t i = stages[s].first; i < stages[s].end; ++i) {
            const auto a = static_cast<std::int32_t>(ops[i] & kPositionMask);
            Butterfly<kLaneCount, kRealInputs>(re, im, a, span, ops[i] & ~kPositionMask, (a & (span - 1)) * stride,
                                               twiddles);
        }
    }
}

WHITEN_VECTOR_CLONES
void RunRealStages(float* re, float* im, const std::uint32_t* ops, const CPrunedFft::Stage* stages,
                   std::size_t stageCount, std::int32_t n, const std::complex<float>* twiddles) {
    RunStages<kLanes, true>(re, im, ops, stages, stageCount, n, twiddles);
}

WHITEN_VECTOR_CLONES
void RunComplexStages(float* re, float* im, const std::uint32_t* ops, const CPrunedFft::Stage* stages,
                      std::size_t stageCount, std::int32_t n, const std::complex<float>* twiddles) {
    RunStages<kLanes, false>(re, im, ops, stages, stageCount, n, twiddles);
}

// The real part of FftScale's product by (s, 0) for each lane, into out; each
// lane's magnitude raises largest[lane] where it is larger.
template <int kLaneCount>
WHITEN_CLONED_BODY void ScaledReal(const float* __restrict re, const float* __restrict im, double s,
                                   float* __restrict out, float* __restrict largest) {
    for (int l = 0; l < kLaneCount; ++l) {
        const float v = static_cast<float>(static_cast<double>(re[l]) * s - static_cast<double>(im[l]) * 0.0);
        out[l] = v;
        largest[l] = std::max(largest[l], std::fabs(v));
    }
}

// The pointers are marked again here: through the inlined body alone, the
// compiler does not know that they never overlap, and keeps the lanes apart.
WHITEN_VECTOR_CLONES
void ScaledRealLanes(const float* __restrict re, const float* __restrict im, double s, float* __restrict out,
                     float* __restrict largest) {
    ScaledReal<kLanes>(re, im, s, out, largest);
}

}  // namespace

CPrunedFft::Block::Block(const CPrunedFft& plan, int lanes)
    : n_(plan.length()),
      lanes_(lanes == 1 ? 1 : kLanes),
      re_(static_cast<std::size_t>(plan.length()) * static_cast<std::size_t>(lanes_), 0.0f),
      im_(static_cast<std::size_t>(plan.length()) * static_cast<std::size_t>(lanes_), 0.0f) {}

CPrunedFft::CPrunedFft(std::int32_t n, float scale, std::int32_t fftType, const std::vector<std::int32_t>& inputs,
                       const std::vector<std::int32_t>& outputs)
    : n_(n), scale_(scale) {
    if (n < 1 || (n & (n - 1)) != 0 || n > (1 << 30)) throw std::string("CPrunedFft : length is not a power of two!");
    if (fftType != 0 && fftType != 1) throw std::string("CPrunedFft : fft type error!");
    // CFft1D's own table.
    twiddles_.reserve(static_cast<std::size_t>(n / 2));
    for (std::int32_t k = 0; k < n / 2; ++k) twiddles_.push_back(FftTwiddle(n, k, fftType == 1));
    for (std::int32_t i : inputs)
        if (i < -(n / 2) || i > (n - 1) / 2) throw std::string("CPrunedFft : input index outside the transform!");
    for (std::int32_t k : outputs)
        if (k < -(n / 2) || k > (n - 1) / 2) throw std::string("CPrunedFft : output index outside the transform!");
    // The full transform leaves natural frequency k at position BitReverse(k),
    // which is k / 2 reversed and shifted down, with k's lowest bit on top.
    outputPosition_.assign(static_cast<std::size_t>(n), 0);
    for (std::int32_t k = 1; k < n; ++k)
        outputPosition_[static_cast<std::size_t>(k)] =
            outputPosition_[static_cast<std::size_t>(k / 2)] / 2 + ((k & 1) != 0 ? n / 2 : 0);
    PlanButterflies(inputs, outputs);
}

void CPrunedFft::PlanButterflies(const std::vector<std::int32_t>& inputs, const std::vector<std::int32_t>& outputs) {
    const std::int32_t n = n_;
    const auto size = static_cast<std::size_t>(n);
    std::vector<std::int32_t> spans;
    for (std::int32_t h = n / 2; h > 0; h /= 2) spans.push_back(h);

    // Stage s mixes the position bits of spans n/2 .. n/2^s, so position p may
    // be non-zero on entry to stage s exactly when some input agrees with p in
    // the bits below: live[s][p mod (n >> s)] (s = spans.size(): after the last).
    std::vector<std::vector<char>> live(spans.size() + 1);
    live[0].assign(size, 0);
    for (std::int32_t i : inputs) live[0][static_cast<std::size_t>(Position(i))] = 1;
    for (std::size_t s = 0; s < spans.size(); ++s) {
        const auto h = static_cast<std::size_t>(spans[s]);
        live[s + 1].resize(h);
        for (std::size_t r = 0; r < h; ++r) live[s + 1][r] = static_cast<char>(live[s][r] || live[s][r + h]);
    }
    auto isLive = [&live](std::size_t s, std::size_t p) { return live[s][p & (live[s].size() - 1)] != 0; };

    std::vector<char> needed(size, 0);  // wanted on exit from the stage being planned
    std::vector<char> zeroRead(size, 0);
    for (std::int32_t k : outputs) {
        const auto p = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]);
        needed[p] = 1;
        if (!isLive(spans.size(), p)) zeroRead[p] = 1;
    }

    // Walk the stages backwards: a butterfly is kept when one of its outputs is
    // wanted and may be non-zero; it then needs both its inputs. A stage that
    // keeps every butterfly (with both results) is marked whole instead of listed.
    // The stages are collected last first, each in reverse, and the whole
    // turned round at the end.
    std::vector<char> neededBefore(size);
    for (std::size_t s = spans.size(); s-- > 0;) {
        const std::int32_t h = spans[s];
        const std::size_t first = ops_.size();
        // Every position wanted and possibly non-zero: every butterfly is kept.
        const bool whole = std::all_of(needed.begin(), needed.end(), [](char c) { return c != 0; }) &&
                           std::all_of(live[s + 1].begin(), live[s + 1].end(), [](char c) { return c != 0; });
        std::fill(neededBefore.begin(), neededBefore.end(), static_cast<char>(whole));
        for (std::int32_t p = n - 1; p >= 0; --p) {
            const auto a = static_cast<std::size_t>(p), c = a + static_cast<std::size_t>(h);
            if ((p & h) != 0 || !isLive(s + 1, a)) continue;
            const std::uint32_t results = (needed[a] ? kWritesSum : 0u) | (needed[c] ? kWritesDifference : 0u);
            if (results == 0) continue;
            if (!whole) ops_.push_back(static_cast<std::uint32_t>(p) | results);
            neededBefore[a] = neededBefore[c] = 1;
            if (!isLive(s, a)) zeroRead[a] = 1;
            if (!isLive(s, c)) zeroRead[c] = 1;
        }
        stages_.push_back({first, ops_.size(), h, whole});
        needed.swap(neededBefore);
    }
    std::reverse(ops_.begin(), ops_.end());
    std::reverse(stages_.begin(), stages_.end());
    for (Stage& stage : stages_) {
        const std::size_t count = stage.end - stage.first;
        stage.first = ops_.size() - stage.end;
        stage.end = stage.first + count;
    }
    // Pairs of one stage never share a position, so n/2 of them cover all n.
    firstStageCoversAll_ =
        !stages_.empty() && (stages_.front().whole || stages_.front().end - stages_.front().first == size / 2);
    for (std::int32_t p = 0; p < n; ++p)
        if (zeroRead[static_cast<std::size_t>(p)]) zeroReads_.push_back(p);
}

std::int32_t CPrunedFft::Position(std::int32_t centred) const {
    return centred < 0 ? centred + n_ : centred;
}

void CPrunedFft::Block::SetRealRows(const std::uint8_t* const* rows, int count, const std::int32_t* column) {
    const std::int32_t half = n_ / 2;
    for (std::int32_t p = 0; p < n_; ++p) {
        // Storage position p holds centred index p, or p - n for the upper half.
        const std::int32_t c = column[(p < half || n_ == 1 ? p : p - n_) + half];
        float* lane = &re_[static_cast<std::size_t>(p) * static_cast<std::size_t>(lanes_)];
        for (int l = 0; l < count; ++l) lane[l] = static_cast<float>(rows[l][c]);
        for (int l = count; l < lanes_; ++l) lane[l] = 0.0f;
    }
    realInputs_ = true;
}

void CPrunedFft::Block::ClearImaginaryParts() {
    std::fill(im_.begin(), im_.end(), 0.0f);
    realInputs_ = false;
}

std::int64_t CPrunedFft::butterflyCount() const {
    auto count = static_cast<std::int64_t>(ops_.size());
    for (const Stage& stage : stages_)
        if (stage.whole) count += n_ / 2;
    return count;
}

std::int64_t CPrunedFft::fullButterflyCount() const {
    std::int64_t stages = 0;
    for (std::int32_t h = n_ / 2; h > 0; h /= 2) ++stages;
    return stages * (n_ / 2);
}

void CPrunedFft::Run(Block& block) const {
    float* re = block.re_.data();
    float* im = block.im_.data();
    const auto lanes = static_cast<std::ptrdiff_t>(block.lanes_);
    for (std::int32_t p : zeroReads_) {
        std::fill_n(re + p * lanes, lanes, 0.0f);
        std::fill_n(im + p * lanes, lanes, 0.0f);
    }
    std::size_t done = 0;
    if (block.realInputs_) {
        if (firstStageCoversAll_) {
            // The first stage writes every imaginary part the later ones read.
            done = 1;
            if (lanes == kLanes) {
                RunRealStages(re, im, ops_.data(), stages_.data(), 1, n_, twiddles_.data());
            } else {
                RunStages<1, true>(re, im, ops_.data(), stages_.data(), 1, n_, twiddles_.data());
            }
        } else {
            block.ClearImaginaryParts();
        }
        block.realInputs_ = false;
    }
    if (lanes == kLanes) {
        RunComplexStages(re, im, ops_.data(), stages_.data() + done, stages_.size() - done, n_, twiddles_.data());
    } else {
        RunStages<1, false>(re, im, ops_.data(), stages_.data() + done, stages_.size() - done, n_, twiddles_.data());
    }
}

std::complex<float> CPrunedFft::Output(const Block& block, std::int32_t k, int lane) const {
    assert(!block.realInputs_);  // outputs exist only after Run
    const auto at = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]) *
                        static_cast<std::size_t>(block.lanes_) +
                    static_cast<std::size_t>(lane);
    std::complex<float> value(block.re_[at], block.im_[at]);
    if (!(scale_ == 1.0f)) FftScale(value, scale_);
    return value;
}

float CPrunedFft::OutputRealRows(const Block& block, std::int32_t first, std::int32_t last, int count, float* rows,
                                 std::ptrdiff_t stride) const {
    assert(!block.realInputs_);  // outputs exist only after Run
    const auto lanes = static_cast<std::size_t>(block.lanes_);
    const double s = static_cast<double>(scale_);
    float largest[kLanes] = {};
    float partial[kLanes];
    for (std::int32_t k = first; k <= last; ++k, rows += stride) {
        const std::size_t at = static_cast<std::size_t>(outputPosition_[static_cast<std::size_t>(Position(k))]) * lanes;
        // A whole block's lanes go straight to their row; fewer through `partial`.
        float* out = count == kLanes ? rows : partial;
        if (lanes == kLanes) {
            ScaledRealLanes(block.re_.data() + at, block.im_.data() + at, s, out, largest);
        } else {
            ScaledReal<1>(block.re_.data() + at, block.im_.data() + at, s, out, largest);
        }
        if (out == partial) std::copy_n(partial, count, rows);
    }
    return *std::max_element(largest, largest + count);
}
