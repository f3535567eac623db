// Kernel benchmarks: the full and the pruned transforms on the flattening's
// shapes, the two flattenings side by side on a small page, the tone curve, and
// the tone curve's bytes evaluated per value and from its steps.
// Run: build/release/bench/whiten-kernels-bench
#include <benchmark/benchmark.h>

#include <complex>
#include <random>
#include <vector>

#include "fft/CFft1D.h"
#include "fft/CPrunedFft.h"
#include "whiten/FlattenBackground.h"
#include "whiten/FlattenBackgroundFast.h"
#include "whiten/Reference.h"
#include "whiten/ToneBytes.h"

namespace {

std::vector<std::int32_t> Band(std::int32_t first, std::int32_t last) {
    std::vector<std::int32_t> indices;
    for (std::int32_t i = first; i <= last; ++i) indices.push_back(i);
    return indices;
}

CArray2D<float> TextPage(std::int32_t width, std::int32_t height) {
    CArray2D<float> page(0, width - 1, 0, height - 1);
    std::mt19937 random(3);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            page(x, y) = static_cast<float>((y / 7) % 3 == 0 && random() % 5 == 0 ? 40 : 150 + 80 * x / width);
    return page;
}

// Eight sequences through the full engine, as the pruned one takes them.
void FullTransform4096(benchmark::State& state) {
    const CFft1D engine(4096, 1.0f, 0);
    std::vector<std::complex<float>> data(4096 * CPrunedFft::kLanes, {1.0f, 0.0f});
    for (auto _ : state) {
        for (int lane = 0; lane < CPrunedFft::kLanes; ++lane) engine.TransformCentered(&data[lane * 4096]);
        benchmark::DoNotOptimize(data.data());
    }
}
BENCHMARK(FullTransform4096);

// A page row of the forward pass: all inputs, 21 outputs.
void PrunedRow4096(benchmark::State& state) {
    const CPrunedFft plan(4096, 1.0f, 0, Band(-2048, 2047), Band(-10, 10));
    CPrunedFft::Block block(plan);
    std::vector<std::uint8_t> row(4096);
    std::vector<std::int32_t> column(4096);
    for (std::int32_t i = 0; i < 4096; ++i) {
        row[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i % 251);
        column[static_cast<std::size_t>(i)] = i;
    }
    const std::uint8_t* rows[CPrunedFft::kLanes];
    for (auto& r : rows) r = row.data();
    block.SetRealRows(rows, CPrunedFft::kLanes, column.data());
    for (auto _ : state) {
        plan.Run(block);
        benchmark::DoNotOptimize(plan.Output(block, 0, 0));
    }
}
BENCHMARK(PrunedRow4096);

// A page column of the inverse pass: 21 inputs, 3508 outputs.
void PrunedColumn4096(benchmark::State& state) {
    const CPrunedFft plan(4096, 1.0f / 4096, 1, Band(-10, 10), Band(-1754, 1753));
    CPrunedFft::Block block(plan);
    for (int lane = 0; lane < CPrunedFft::kLanes; ++lane)
        for (std::int32_t i = -10; i <= 10; ++i) block.Set(i, lane, {static_cast<float>(i), 1.0f});
    for (auto _ : state) {
        plan.Run(block);
        benchmark::DoNotOptimize(plan.Output(block, 0, 0));
    }
}
BENCHMARK(PrunedColumn4096);

void Flatten(benchmark::State& state, bool fast) {
    const CArray2D<float> page = TextPage(600, 800);
    const std::vector<std::uint8_t> bytes(page.elements(), page.elements() + page.elementCount());
    for (auto _ : state) {
        CArray2D<float> plane(page);
        if (fast) {
            FastFlattenOptions options;
            options.threads = static_cast<int>(state.range(0));
            FlattenBackgroundFast({bytes.data(), 600, 600, 800}, plane, options);
        } else {
            FlattenBackground(plane);
        }
        benchmark::DoNotOptimize(plane.elements());
    }
}
BENCHMARK_CAPTURE(Flatten, reference_600x800, false)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Flatten, fast_600x800, true)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void Tone(benchmark::State& state) {
    const CArray2D<float> page = TextPage(2480, 3508);
    for (auto _ : state) {
        CArray2D<float> plane(page);
        ToneMap(plane, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(plane.elements());
    }
}
BENCHMARK(Tone)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The output bytes of a million flattened values on one thread: the curve
// evaluated per value, and placed among the curve's steps.
void ToneBytes(benchmark::State& state, bool steps) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> flattened(0.0f, 300.0f);
    std::vector<float> values(1 << 20);
    for (float& v : values) v = flattened(random);
    std::vector<std::uint8_t> pixels(3 * values.size());
    const ToneCurve curve = ToneCurve::ForPaperLevel(200);
    for (auto _ : state) {
        const ToneByteMap map(curve);  // per page, so it is part of the cost
        if (steps) {
            map.WritePixels(values.data(), static_cast<std::int64_t>(values.size()), pixels.data());
        } else {
            for (std::size_t i = 0; i < values.size(); ++i)
                pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = ToneByteMap::CurveByte(curve, values[i]);
        }
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK_CAPTURE(ToneBytes, per_value, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToneBytes, steps, true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
