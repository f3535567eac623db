#include "whiten/FlattenBackgroundFast.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <vector>

#include "array/MirrorIndex.h"
#include "fft/CFftWindow2D.h"
#include "fft/CPrunedFft.h"
#include "platform/LargeBlock.h"
#include "platform/VectorClones.h"
#include "whiten/FlattenBackground.h"
#include "whiten/Histogram.h"

namespace {

using Complex = std::complex<float>;
constexpr int kLanes = CPrunedFft::kLanes;
constexpr std::int32_t kTileColumns = 64;  // page columns a worker takes at a time
static_assert(kTileColumns % kLanes == 0);

// A contiguous range of centred indices.
struct Band {
    std::int32_t first, last;
    std::int32_t Count() const { return last - first + 1; }
    std::vector<std::int32_t> Indices() const {
        std::vector<std::int32_t> indices;
        for (std::int32_t i = first; i <= last; ++i) indices.push_back(i);
        return indices;
    }
};

// The indices a transform of length n works on: -n/2 .. n/2 - 1, or 0 alone for n = 1.
Band TransformBand(std::int32_t n) {
    return n == 1 ? Band{0, 0} : Band{-(n / 2), n / 2 - 1};
}

// The window's frequencies that the inverse transform reads: those in -b .. b
// that lie on the transform's own indices. The repeated last row and column of
// a spectrum are never read by the inverse, so they need no value here.
Band KeptBand(std::int32_t n, std::int32_t b) {
    const Band all = TransformBand(n);
    return {std::max(all.first, -b), std::min(all.last, b)};
}

std::int64_t Batches(std::int64_t count) {
    return (count + kLanes - 1) / kLanes;
}

// Rows are worked on kBlock elements at a time through local arrays: each loop
// over a block has a fixed length and reads or writes only one of the caller's
// buffers, so the compiler runs it in vector lanes even where buffers coincide
// (the flattened page is written over the background it is divided by).
constexpr std::int32_t kBlock = 64;

// Copies a row of whole numbers 0 .. 255 into bytes; false (and the bytes of no
// use) when a value is anything else, -0 and NaN included.
WHITEN_VECTOR_CLONES
bool CopyBytes(const float* row, std::int32_t width, std::uint8_t* bytes) {
    auto byteOf = [](float v, std::uint32_t& mismatch) {
        // v where it lies in 0 .. 255, else 0 (NaN too), chosen by a bit mask.
        const std::uint32_t keep = 0u - static_cast<std::uint32_t>((v >= 0.0f) & (v <= 255.0f));
        const float inRange = std::bit_cast<float>(std::bit_cast<std::uint32_t>(v) & keep);
        const auto whole = static_cast<std::int32_t>(inRange);
        mismatch |= std::bit_cast<std::uint32_t>(static_cast<float>(whole)) ^ std::bit_cast<std::uint32_t>(v);
        return static_cast<std::uint8_t>(whole);
    };
    std::uint32_t mismatch = 0;
    std::int32_t i = 0;
    for (; i + kBlock <= width; i += kBlock) {
        float values[kBlock];
        std::uint8_t block[kBlock];
        std::copy_n(row + i, kBlock, values);
        for (std::int32_t k = 0; k < kBlock; ++k) block[k] = byteOf(values[k], mismatch);
        std::copy_n(block, kBlock, bytes + i);
    }
    for (; i < width; ++i) bytes[i] = byteOf(row[i], mismatch);
    return mismatch == 0;
}

// out = page / (background / largest), or page / background when largest is 0,
// and 0 wherever that divisor is 0, in single precision. Both quotients are
// formed for every element and the zero case chosen afterwards. `out` may be
// `page` or `background` itself.
template <class Page>
WHITEN_CLONED_BODY void DivideRowOf(const Page* page, const float* background, float* out, std::int32_t count,
                                    float largest) {
    const bool normalise = largest != 0.0f;
    auto quotient = [](float p, float d) {
        // q, or +0 where d is 0, chosen by a bit mask.
        const float q = p / d;
        const std::uint32_t keep = 0u - static_cast<std::uint32_t>(d != 0.0f);
        return std::bit_cast<float>(std::bit_cast<std::uint32_t>(q) & keep);
    };
    std::int32_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        float d[kBlock], p[kBlock];
        std::copy_n(background + i, kBlock, d);
        for (std::int32_t k = 0; k < kBlock; ++k) p[k] = static_cast<float>(page[i + k]);
        if (normalise)
            for (std::int32_t k = 0; k < kBlock; ++k) d[k] = d[k] / largest;
        for (std::int32_t k = 0; k < kBlock; ++k) p[k] = quotient(p[k], d[k]);
        std::copy_n(p, kBlock, out + i);
    }
    for (; i < count; ++i) {
        const float d = normalise ? background[i] / largest : background[i];
        out[i] = quotient(static_cast<float>(page[i]), d);
    }
}

WHITEN_VECTOR_CLONES
void DivideRow(const std::uint8_t* page, const float* background, float* out, std::int32_t count, float largest) {
    DivideRowOf(page, background, out, count, largest);
}

WHITEN_VECTOR_CLONES
void DivideRow(const float* page, const float* background, float* out, std::int32_t count, float largest) {
    DivideRowOf(page, background, out, count, largest);
}

// One block per worker thread, made on first use.
class Blocks {
public:
    Blocks(const CPrunedFft& plan, int threads) : plan_(plan), blocks_(static_cast<std::size_t>(threads)) {}
    CPrunedFft::Block& For(int worker) {
        auto& block = blocks_[static_cast<std::size_t>(worker)];
        if (!block) block = std::make_unique<CPrunedFft::Block>(plan_);
        return *block;
    }

private:
    const CPrunedFft& plan_;
    std::vector<std::unique_ptr<CPrunedFft::Block>> blocks_;
};

}  // namespace

void FlattenBackgroundFast(CArray2D<float>& plane, const FastFlattenOptions& options) {
    int threads = options.threads;
    CArray2D<float>* backgroundOut = options.background;
    const std::span<std::uint8_t> scratch = options.scratch;
    if (plane.elementCount() == 0) throw std::string("FlattenBackgroundFast : the plane has no elements!");
    threads = std::max(threads, 1);

    plane.CenterOrigin();
    const std::int32_t width = plane.Width(), height = plane.Height();
    const std::int32_t x0 = plane.xFirst(), y0 = plane.yFirst();
    const std::int32_t m = PaddedSize(width), n = PaddedSize(height);
    const std::int32_t b = WindowHalfSize(m, n);
    const Band allX = TransformBand(m), allY = TransformBand(n);
    const Band keptU = KeptBand(m, b), keptV = KeptBand(n, b);
    const Band pageX{x0, plane.xLast()}, pageY{y0, plane.yLast()};
    const auto units = static_cast<std::size_t>(keptU.Count());
    const auto vunits = static_cast<std::size_t>(keptV.Count());

    // Which page column and row each padded index mirrors, as offsets from the page's first.
    std::vector<std::int32_t> sourceColumn(static_cast<std::size_t>(allX.Count()));
    std::vector<std::int32_t> sourceRow(static_cast<std::size_t>(allY.Count()));
    {
        const MirrorIndex mirrorX(x0, width), mirrorY(y0, height);
        for (std::int32_t i = allX.first; i <= allX.last; ++i)
            sourceColumn[static_cast<std::size_t>(i - allX.first)] = mirrorX.Map(i) - x0;
        for (std::int32_t i = allY.first; i <= allY.last; ++i)
            sourceRow[static_cast<std::size_t>(i - allY.first)] = mirrorY.Map(i) - y0;
    }

    // Forward rows: each page row once, outputs at the kept frequencies u.
    // rows[r * |U| + (u - U.first)] is the row transform of page row r.
    //
    // A page of whole numbers 0 .. 255 (every page made from a bitmap) is also
    // kept as bytes, so that the background can later take the plane's storage;
    // its values, and every sum the transforms form from them, are finite.
    std::vector<Complex> rows(static_cast<std::size_t>(height) * units);
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint8_t[]> ownBytes;
    std::uint8_t* pageBytes = scratch.size() >= pixels ? scratch.data() : nullptr;
    if (pageBytes == nullptr) {
        ownBytes = std::make_unique_for_overwrite<std::uint8_t[]>(pixels);
        platform::AdviseLargeBlock(ownBytes.get(), pixels);
        pageBytes = ownBytes.get();
    }
    std::atomic<bool> allBytes{true};
    {
        const CPrunedFft plan(m, 1.0f, 0, allX.Indices(), keptU.Indices());
        Blocks blocks(plan, threads);
        ParallelFor(Batches(height), threads, [&](std::int64_t batch, int worker) {
            CPrunedFft::Block& block = blocks.For(worker);
            const auto first = static_cast<std::int32_t>(batch * kLanes);
            const std::int32_t lanes = std::min(kLanes, height - first);
            bool bytes = true;
            const float* pageRows[kLanes];
            for (int lane = 0; lane < lanes; ++lane) {
                pageRows[lane] = plane.Row(y0 + first + lane);
                bytes = CopyBytes(pageRows[lane], width, &pageBytes[static_cast<std::size_t>(first + lane) * width]) &&
                        bytes;
            }
            block.SetRealRows(pageRows, lanes, sourceColumn.data());
            if (!bytes) allBytes = false;
            plan.Run(block, bytes);
            for (int lane = 0; lane < lanes; ++lane) {
                Complex* out = &rows[static_cast<std::size_t>(first + lane) * units];
                for (std::int32_t u = keptU.first; u <= keptU.last; ++u)
                    out[u - keptU.first] = plan.Output(block, u, lane);
            }
        });
    }

    // Forward columns u, through the row mirror map, outputs at the kept v;
    // then the window: lowPass[(v - V.first) * |U| + (u - U.first)].
    const bool finite = allBytes;
    if (!finite) ownBytes.reset();
    std::vector<Complex> lowPass(vunits * units);
    {
        const CPrunedFft plan(n, 1.0f, 0, allY.Indices(), keptV.Indices());
        Blocks blocks(plan, threads);
        const CFftWindow2D<float> window(-b, b, -b, b);
        ParallelFor(Batches(keptU.Count()), threads, [&](std::int64_t batch, int worker) {
            CPrunedFft::Block& block = blocks.For(worker);
            const auto first = static_cast<std::int32_t>(batch * kLanes);
            const std::int32_t lanes = std::min(kLanes, keptU.Count() - first);
            for (int lane = 0; lane < lanes; ++lane) {
                for (std::int32_t i = allY.first; i <= allY.last; ++i) {
                    const auto r = static_cast<std::size_t>(sourceRow[static_cast<std::size_t>(i - allY.first)]);
                    block.Set(i, lane, rows[r * units + static_cast<std::size_t>(first + lane)]);
                }
            }
            plan.Run(block, finite);
            for (int lane = 0; lane < lanes; ++lane) {
                const std::int32_t u = keptU.first + first + lane;
                for (std::int32_t v = keptV.first; v <= keptV.last; ++v) {
                    // The window product times the spectrum, as MultiplyBy forms it:
                    // (w, 0) x (a, b), each component in double, rounded once.
                    const Complex s = plan.Output(block, v, lane);
                    const double w = static_cast<double>(window(u, v)), zero = 0.0;
                    const double sa = static_cast<double>(s.real()), sb = static_cast<double>(s.imag());
                    lowPass[static_cast<std::size_t>(v - keptV.first) * units +
                            static_cast<std::size_t>(u - keptU.first)] =
                        Complex(static_cast<float>(w * sa - zero * sb), static_cast<float>(zero * sa + w * sb));
                }
            }
        });
    }
    std::vector<Complex>().swap(rows);

    // Inverse rows v: inputs at the kept u only, outputs at the page's columns.
    // between[(v - V.first) * width + (x - x0)].
    std::vector<Complex> between(vunits * static_cast<std::size_t>(width));
    {
        const CPrunedFft plan(m, static_cast<float>(1.0 / m), 1, keptU.Indices(), pageX.Indices());
        Blocks blocks(plan, threads);
        ParallelFor(Batches(keptV.Count()), threads, [&](std::int64_t batch, int worker) {
            CPrunedFft::Block& block = blocks.For(worker);
            const auto first = static_cast<std::int32_t>(batch * kLanes);
            const std::int32_t lanes = std::min(kLanes, keptV.Count() - first);
            for (int lane = 0; lane < lanes; ++lane) {
                const Complex* in = &lowPass[static_cast<std::size_t>(first + lane) * units];
                for (std::int32_t u = keptU.first; u <= keptU.last; ++u) block.Set(u, lane, in[u - keptU.first]);
            }
            plan.Run(block, finite);
            for (int lane = 0; lane < lanes; ++lane) {
                Complex* out = &between[static_cast<std::size_t>(first + lane) * static_cast<std::size_t>(width)];
                for (std::int32_t x = pageX.first; x <= pageX.last; ++x) out[x - x0] = plan.Output(block, x, lane);
            }
        });
    }

    // Inverse columns: each page column from its kept v, outputs at the page's
    // rows, kTileColumns columns at a time into a worker's tile. The background
    // is never stored whole: a first pass finds its largest magnitude, a second
    // computes it again and divides the page by it, tile by tile. Recomputing
    // costs less than a page-sized plane of fresh memory.
    const CPrunedFft plan(n, static_cast<float>(1.0 / n), 1, keptV.Indices(), pageY.Indices());
    Blocks blocks(plan, threads);
    std::vector<std::vector<float>> tiles(static_cast<std::size_t>(threads));
    const std::int64_t tileCount = (width + kTileColumns - 1) / kTileColumns;
    // Fills the worker's tile with background rows for columns tileFirst ..
    // tileFirst + kTileColumns - 1 (as many as the page has), kTileColumns per row.
    auto computeTile = [&](std::int64_t tileIndex, int worker) -> std::vector<float>& {
        CPrunedFft::Block& block = blocks.For(worker);
        std::vector<float>& tile = tiles[static_cast<std::size_t>(worker)];
        tile.resize(static_cast<std::size_t>(height) * kTileColumns);
        const auto tileFirst = static_cast<std::int32_t>(tileIndex * kTileColumns);
        const std::int32_t tileEnd = std::min(width, tileFirst + kTileColumns);
        for (std::int32_t first = tileFirst; first < tileEnd; first += kLanes) {
            const std::int32_t lanes = std::min(kLanes, width - first);
            for (int lane = 0; lane < lanes; ++lane) {
                for (std::int32_t v = keptV.first; v <= keptV.last; ++v) {
                    block.Set(v, lane,
                              between[static_cast<std::size_t>(v - keptV.first) * static_cast<std::size_t>(width) +
                                      static_cast<std::size_t>(first + lane)]);
                }
            }
            plan.Run(block, finite);
            float* column = tile.data() + (first - tileFirst);
            for (std::int32_t y = pageY.first; y <= pageY.last; ++y, column += kTileColumns)
                plan.OutputReal(block, y, column);
        }
        return tile;
    };

    // The largest magnitude in storage order, as MaxAbs finds it: the first
    // element's magnitude, raised by every larger one; a NaN never raises it, and
    // a NaN first element keeps the result NaN. Tiles keep their own maxima of
    // the magnitudes that are not NaN, which combine in any order.
    std::vector<float> tileLargest(static_cast<std::size_t>(tileCount), 0.0f);
    float firstMagnitude = 0.0f;
    ParallelFor(tileCount, threads, [&](std::int64_t tileIndex, int worker) {
        const std::vector<float>& tile = computeTile(tileIndex, worker);
        const auto tileFirst = static_cast<std::int32_t>(tileIndex * kTileColumns);
        const std::int32_t tileWidth = std::min(kTileColumns, width - tileFirst);
        // A maximum per column first, so that the loop runs in vector lanes;
        // std::max(m, NaN) keeps m, so a NaN never wins.
        float columnLargest[kTileColumns] = {};
        const float* row = tile.data();
        for (std::int32_t y = 0; y < height; ++y, row += kTileColumns)
            for (std::int32_t i = 0; i < kTileColumns; ++i)
                columnLargest[i] = std::max(columnLargest[i], std::fabs(row[i]));
        float largest = 0.0f;
        for (std::int32_t i = 0; i < tileWidth; ++i) largest = std::max(largest, columnLargest[i]);
        tileLargest[static_cast<std::size_t>(tileIndex)] = largest;
        if (tileIndex == 0) firstMagnitude = std::fabs(tile[0]);
        // With the page kept as bytes, the plane's storage takes the background.
        if (finite) {
            row = tile.data();
            for (std::int32_t y = pageY.first; y <= pageY.last; ++y, row += kTileColumns)
                std::copy_n(row, tileWidth, plane.Row(y) + tileFirst);
        }
    });
    float largest = firstMagnitude;
    if (!std::isnan(largest))
        for (float t : tileLargest) largest = std::max(largest, t);

    if (backgroundOut != nullptr) backgroundOut->Resize(pageX.first, pageX.last, pageY.first, pageY.last);

    // Normalise by the largest magnitude and divide: the page from its bytes by
    // the background in the plane, or, for any other page, by the background
    // computed once more, a row segment at a time.
    std::vector<std::vector<int>> bins(options.toneBins != nullptr ? static_cast<std::size_t>(threads) : 0,
                                       std::vector<int>(kHistogramBins, 0));
    auto countBins = [&](const float* values, std::int32_t count, int worker) {
        if (options.toneBins != nullptr)
            CountIntoBins(values, count, kToneBinsOrigin, kToneBinWidth, bins[static_cast<std::size_t>(worker)]);
    };
    if (finite) {
        // Rows lie one after the other, so a band of them is counted as one run.
        const std::int64_t bandRows = std::max<std::int64_t>(1, (std::int64_t{1} << 15) / width);
        ParallelFor((height + bandRows - 1) / bandRows, threads, [&](std::int64_t band, int worker) {
            const std::int64_t firstRow = band * bandRows, endRow = std::min<std::int64_t>(height, firstRow + bandRows);
            for (std::int64_t r = firstRow; r < endRow; ++r) {
                float* values = plane.Row(static_cast<std::int32_t>(pageY.first + r));
                if (backgroundOut != nullptr)
                    std::copy_n(values, width, backgroundOut->Row(static_cast<std::int32_t>(pageY.first + r)));
                DivideRow(&pageBytes[static_cast<std::size_t>(r) * static_cast<std::size_t>(width)], values, values,
                          width, largest);
            }
            countBins(plane.Row(static_cast<std::int32_t>(pageY.first + firstRow)),
                      static_cast<std::int32_t>((endRow - firstRow) * width), worker);
        });
    } else {
        ParallelFor(tileCount, threads, [&](std::int64_t tileIndex, int worker) {
            const std::vector<float>& tile = computeTile(tileIndex, worker);
            const auto tileFirst = static_cast<std::int32_t>(tileIndex * kTileColumns);
            const std::int32_t tileWidth = std::min(kTileColumns, width - tileFirst);
            const float* estimate = tile.data();
            for (std::int32_t y = pageY.first; y <= pageY.last; ++y, estimate += kTileColumns) {
                float* values = plane.Row(y) + tileFirst;
                if (backgroundOut != nullptr) std::copy_n(estimate, tileWidth, backgroundOut->Row(y) + tileFirst);
                DivideRow(values, estimate, values, tileWidth, largest);
                countBins(values, tileWidth, worker);
            }
        });
    }
    if (options.toneBins != nullptr) {
        options.toneBins->assign(kHistogramBins, 0);
        for (const auto& partial : bins)
            for (int bin = 0; bin < kHistogramBins; ++bin)
                (*options.toneBins)[static_cast<std::size_t>(bin)] += partial[static_cast<std::size_t>(bin)];
    }
}
