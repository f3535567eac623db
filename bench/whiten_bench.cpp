// whiten-bench: times the per-file job's stages on one page (load, whiten:
// gray to output image, save), in process and without the front end's pauses,
// for several pipelines side by side:
//   floor      load, gray, to bitmap, save (no whitening at all)
//   reference  the whole job with the straightforward flattening
//   fast       the whole job as the tool runs it (WhitenPage)
//   literal    the straightforward job: reference flattening, the tone curve
//              evaluated for every value in place, then the plane's bytes
// Every whitening pipeline's page is checked against the literal job's.
// Each repetition of each pipeline runs in a child process of its own, so that
// the peak memory reported (the child's maximum resident set) is that
// pipeline's alone. Figures are medians over the repetitions: each stage's
// wall time, and the job's processor time (all threads, user and system).
//
//   whiten-bench PAGE.bmp [--repetitions N] [--threads T] [--pipelines floor,fast,reference,literal]
//   whiten-bench --upscale2 IN.bmp OUT.bmp   (repeats every pixel 2 x 2)
//   whiten-bench --flatten [PAGE.bmp] [--repetitions N] [--threads T]
// The --flatten mode times the fast and the reference flattening alone, on thin
// synthetic strips (1 x 2^20, 16 x 2^20, 2^20 x 16) and on the page if given:
// each run in a child that makes the gray plane, then flattens it; the peak is
// that child's, the plane included.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "array/UnclearedStorage.h"
#include "image/CBmp24.h"
#include "image/GrayConversion.h"
#include "platform/LargeBlock.h"
#include "platform/ParallelFor.h"
#include "reference/FlattenBackground.h"
#include "whiten/FlattenBackgroundFast.h"
#include "reference/Reference.h"
#include "whiten/ToneBytes.h"
#include "whiten/WhitenPage.h"

namespace {

constexpr const char* kStages[] = {"load", "whiten", "save"};
constexpr int kStageCount = 3;

struct Sample {
    double seconds[kStageCount] = {};
    double total = 0;
    double cpu = 0;  // the job's processor time, all threads summed, user and system
    double peakMiB = 0;
};

// Processor time of the whole process so far, every thread's, in seconds.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Gray page to output image, as a pipeline other than the tool's runs it: the
// floor converts the gray plane back as it is; the reference flattens it with
// the straightforward flattening and writes the tone curve's bytes straight
// into the image, as the tool does; the literal one maps every value through
// the curve in place, then converts the plane.
void WhitenOtherwise(const std::string& pipeline, CBmp24_<0>& image, int threads) {
    if (pipeline == "literal") {
        WhitenPageReference(image, threads);
        return;
    }
    // The plane on uncleared, huge-page-hinted storage, as the tool's own
    // plane: the pipelines differ only in how they whiten.
    std::unique_ptr<float[]> storage;  // declared first: outlives the plane's use of it
    CArray2D<float> plane;
    storage = GiveUnclearedStorage(plane, 0, image.Width() - 1, 0, image.Height() - 1);  // filled next
    BitmapToGray(plane, image, threads);
    if (pipeline == "floor") {
        GrayToBitmap(image, plane, threads);
        return;
    }
    FlattenBackground(plane);
    const ToneByteMap toneBytes(FindToneCurve(plane, threads));
    GrayToBitmap(image, plane, threads, [&toneBytes](const float* values, std::int32_t count, std::uint8_t* pixels) {
        toneBytes.WritePixels(values, count, pixels);
    });
}

// Runs one pipeline; returns the stage times.
Sample RunPipeline(const std::string& pipeline, const std::string& page, const std::string& output, int threads) {
    Sample sample;
    const double cpuStart = ProcessCpuSeconds();
    auto last = std::chrono::steady_clock::now();
    auto lap = [&](int stage) {
        const auto now = std::chrono::steady_clock::now();
        sample.seconds[stage] = std::chrono::duration<double>(now - last).count();
        last = now;
    };
    auto image = std::make_unique<CBmp24_<0>>();
    if (!image->IsThisType(page)) throw std::string("not a 24-bit bitmap: " + page);
    image->Load(page);
    lap(0);
    if (pipeline == "fast") {
        WhitenPage(*image, threads);
    } else {
        WhitenOtherwise(pipeline, *image, threads);
    }
    lap(1);
    image->Save(output);
    lap(2);
    sample.cpu = ProcessCpuSeconds() - cpuStart;
    for (double s : sample.seconds) sample.total += s;
    return sample;
}

// Runs `work` in a child process of its own and returns its result (a plain
// value sent back through a pipe) with the child's peak resident set in MiB,
// from wait4. Throws `failure` when the child does not finish cleanly.
template <class Result, class Work>
std::pair<Result, double> InChild(Work&& work, const std::string& failure) {
    int fds[2];
    if (pipe(fds) != 0) throw std::string("pipe failed");
    const pid_t child = fork();
    if (child < 0) throw std::string("fork failed");
    if (child == 0) {
        close(fds[0]);
        int status = 1;
        try {
            const Result result = work();
            if (write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result)) status = 0;
        } catch (const std::string& message) {
            std::fprintf(stderr, "%s\n", message.c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        _exit(status);
    }
    close(fds[1]);
    Result result{};
    const ssize_t got = read(fds[0], &result, sizeof result);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (got != static_cast<ssize_t>(sizeof result) || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw failure;
    return {result, static_cast<double>(usage.ru_maxrss) / 1024.0};  // ru_maxrss is in KiB
}

// One repetition of a pipeline in a child process.
Sample RunInChild(const std::string& pipeline, const std::string& page, const std::string& output, int threads) {
    auto [sample, peakMiB] = InChild<Sample>([&] { return RunPipeline(pipeline, page, output, threads); },
                                             "the " + pipeline + " pipeline failed");
    sample.peakMiB = peakMiB;
    return sample;
}

// A gray page of whole numbers 0 .. 255: paper lit unevenly along both axes,
// with dark strokes.
void MakeSyntheticPage(CArray2D<float>& plane, std::int32_t width, std::int32_t height) {
    plane.Resize(0, width - 1, 0, height - 1);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t light = 150 + 80 * x / std::max(width, 2) + 20 * y / std::max(height, 2);
            const bool ink = (y / 7) % 3 == 0 && (x * 31 + y * 17) % 5 == 0;
            plane(x, y) = static_cast<float>(ink ? light / 5 : light);
        }
}

struct FlattenSample {
    double seconds = 0;
    double peakMiB = 0;
};

// One flattening in a child process: `shape` is "WxH" or a page's path.
FlattenSample FlattenInChild(const std::string& method, const std::string& shape, int threads) {
    auto flatten = [&] {
        // The page as gray bytes, and a float plane of its size.
        std::vector<std::uint8_t> bytes;
        CArray2D<float> plane;
        std::int32_t width = 0, height = 0;
        if (std::sscanf(shape.c_str(), "%dx%d", &width, &height) == 2) {
            MakeSyntheticPage(plane, width, height);
        } else {
            CBmp24_<0> image;
            image.Load(shape);
            BitmapToGray(plane, image, threads);
        }
        if (method == "fast") bytes.assign(plane.elements(), plane.elements() + plane.elementCount());
        const auto start = std::chrono::steady_clock::now();
        if (method == "fast") {
            FastFlattenOptions options;
            options.threads = threads;
            FlattenBackgroundFast({bytes.data(), plane.Width(), plane.Width(), plane.Height()}, plane, options);
        } else {
            FlattenBackground(plane);
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const auto [seconds, peakMiB] = InChild<double>(flatten, "the " + method + " flattening of " + shape + " failed");
    return {seconds, peakMiB};
}

double Median(std::vector<double> values);

// The fast and the reference flattening side by side, alternating, on each shape.
int CompareFlattenings(const std::vector<std::string>& shapes, int repetitions, int threads) {
    std::printf("flattening alone, %d threads, median of %d repetitions\n", threads, repetitions);
    std::printf("%-28s %10s %10s %10s %10s %8s %8s\n", "page", "fast s", "ref s", "fast MiB", "ref MiB", "s f/r",
                "MiB f/r");
    for (const std::string& shape : shapes) {
        std::vector<double> seconds[2], peak[2];
        for (int r = 0; r < repetitions; ++r)
            for (int m = 0; m < 2; ++m) {
                const FlattenSample s = FlattenInChild(m == 0 ? "fast" : "reference", shape, threads);
                seconds[m].push_back(s.seconds);
                peak[m].push_back(s.peakMiB);
            }
        const double fs = Median(seconds[0]), rs = Median(seconds[1]), fp = Median(peak[0]), rp = Median(peak[1]);
        std::printf("%-28s %10.3f %10.3f %10.1f %10.1f %8.2f %8.2f\n",
                    std::filesystem::path(shape).filename().string().c_str(), fs, rs, fp, rp, fs / rs, fp / rp);
    }
    return 0;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int Upscale2(const std::string& in, const std::string& out) {
    CBmp24_<0> source;
    if (!source.IsThisType(in)) throw std::string("not a 24-bit bitmap: " + in);
    source.Load(in);
    CBmp24_<0> scaled(CBmp24_<0>::empty);
    scaled.Create(source.Width() * 2, source.Height() * 2);
    for (std::int32_t y = 0; y < scaled.Height(); ++y) {
        const std::uint8_t* from = source.Row(y / 2);
        std::uint8_t* to = scaled.Row(y);
        for (std::int32_t x = 0; x < scaled.Width(); ++x) std::memcpy(to + 3 * x, from + 3 * (x / 2), 3);
    }
    scaled.Save(out);
    return 0;
}

// The medians of each pipeline's stages, wall and processor time and peak
// memory, and the ratios of the totals to the floor's and the fast job's.
void PrintMedians(const std::vector<std::string>& pipelines, const std::vector<std::vector<Sample>>& samples,
                  const std::string& page, double fileMiB, int threads, int repetitions) {
    std::printf("page %s (%.1f MiB), %d threads, median of %d repetitions, seconds\n", page.c_str(), fileMiB, threads,
                repetitions);
    std::printf("%-10s", "pipeline");
    for (const char* stage : kStages) std::printf(" %8s", stage);
    std::printf(" %8s %8s %9s %8s\n", "total", "cpu", "peak MiB", "x file");
    auto median = [&samples](std::size_t p, auto field) {
        std::vector<double> v;
        for (const Sample& sample : samples[p]) v.push_back(field(sample));
        return Median(v);
    };
    std::vector<double> totals(pipelines.size()), cpu(pipelines.size());
    for (std::size_t p = 0; p < pipelines.size(); ++p) {
        std::printf("%-10s", pipelines[p].c_str());
        for (int s = 0; s < kStageCount; ++s) std::printf(" %8.3f", median(p, [s](const Sample& x) { return x.seconds[s]; }));
        totals[p] = median(p, [](const Sample& x) { return x.total; });
        cpu[p] = median(p, [](const Sample& x) { return x.cpu; });
        const double peak = median(p, [](const Sample& x) { return x.peakMiB; });
        std::printf(" %8.3f %8.3f %9.1f %8.2f\n", totals[p], cpu[p], peak, peak / fileMiB);
    }
    for (std::size_t a = 0; a < pipelines.size(); ++a)
        for (std::size_t b = 0; b < pipelines.size(); ++b)
            if (a != b && (pipelines[b] == "floor" || (pipelines[b] == "fast" && pipelines[a] != "floor")))
                std::printf("%s / %s: %.2f total, %.2f cpu\n", pipelines[a].c_str(), pipelines[b].c_str(),
                            totals[a] / totals[b], cpu[a] / cpu[b]);
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    return parts;
}

int Main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--upscale2") return Upscale2(argv[2], argv[3]);
    if (argc >= 2 && std::string(argv[1]) == "--flatten") {
        std::vector<std::string> shapes = {"1x1048576", "16x1048576", "1048576x16"};
        int first = 2;
        if (argc % 2 == 1) shapes.push_back(argv[first++]);
        int repetitions = 5, threads = DefaultThreadCount();
        for (int i = first; i + 1 < argc; i += 2) {
            const std::string option = argv[i];
            if (option == "--repetitions") {
                repetitions = std::max(1, std::atoi(argv[i + 1]));
            } else if (option == "--threads") {
                threads = std::max(1, std::atoi(argv[i + 1]));
            } else {
                std::fprintf(stderr, "unknown option %s\n", option.c_str());
                return 2;
            }
        }
        return CompareFlattenings(shapes, repetitions, threads);
    }
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: whiten-bench PAGE.bmp [--repetitions N] [--threads T] [--pipelines floor,fast,reference,literal]\n"
            "       whiten-bench --upscale2 IN.bmp OUT.bmp\n"
            "       whiten-bench --flatten [PAGE.bmp] [--repetitions N] [--threads T]\n");
        return 2;
    }
    const std::string page = argv[1];
    int repetitions = 5;
    int threads = DefaultThreadCount();
    std::vector<std::string> pipelines = {"floor", "fast", "reference"};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--repetitions") {
            repetitions = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--threads") {
            threads = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--pipelines") {
            pipelines = Split(argv[i + 1]);
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("whiten-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto outputOf = [&folder](const std::string& pipeline) { return (folder / (pipeline + ".bmp")).string(); };
    const double fileMiB = static_cast<double>(std::filesystem::file_size(page)) / (1024.0 * 1024.0);

    // Repetitions interleave the pipelines, so that a slow spell of a shared
    // machine touches all of them alike.
    std::vector<std::vector<Sample>> samples(pipelines.size());
    for (int r = 0; r < repetitions; ++r)
        for (std::size_t p = 0; p < pipelines.size(); ++p) {
            // Each save writes a new file, as a run over a book does; replacing an
            // earlier output would add the release of its pages to the save.
            std::filesystem::remove(outputOf(pipelines[p]));
            samples[p].push_back(RunInChild(pipelines[p], page, outputOf(pipelines[p]), threads));
        }
    // Every whitening pipeline must give the straightforward job's page, byte
    // for byte; the literal pipeline runs once more for that if it was not timed.
    auto timed = [&pipelines](const std::string& name) {
        return std::find(pipelines.begin(), pipelines.end(), name) != pipelines.end();
    };
    std::vector<std::string> sameOutput;
    if (timed("fast") || timed("reference")) {
        if (!timed("literal")) RunInChild("literal", page, outputOf("literal"), threads);
        const std::string literal = ReadAll(outputOf("literal"));
        for (const char* name : {"fast", "reference"})
            if (timed(name))
                sameOutput.push_back(std::string(name) +
                                     " output: " + (ReadAll(outputOf(name)) == literal ? "identical" : "DIFFERENT") +
                                     " to the literal job's");
    }
    std::filesystem::remove_all(folder);

    PrintMedians(pipelines, samples, page, fileMiB, threads, repetitions);
    bool allSame = true;
    for (const std::string& line : sameOutput) {
        std::printf("%s\n", line.c_str());
        allSame = allSame && line.find("DIFFERENT") == std::string::npos;
    }
    return allSame ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::ReuseFreedBlocks();  // as the tool itself does
    try {
        return Main(argc, argv);
    } catch (const std::string& message) {
        std::fprintf(stderr, "whiten-bench: %s\n", message.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "whiten-bench: %s\n", e.what());
    }
    return 1;
}
