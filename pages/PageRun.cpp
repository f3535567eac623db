// The run: outputs planned for every input first (so that no output replaces
// an input or another input's output), then a pool of workers takes the pages
// in order. The pages of a multi-page output are added in file order: a page
// whitened early waits, holding only its gray bytes, for the pages before it.
#include "pages/PageRun.h"

#include "formats/PageReader.h"
#include "library/whiten.h"
#include "pages/InputIdentities.h"
#include "pages/InputJob.h"
#include "pages/OutputNames.h"
#include "pages/SerialWriter.h"
#include "platform/ParallelFor.h"
#include "platform/Path.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <sys/stat.h>

namespace {

// A failure that ends the run; what() says why, the system's reason included.
class RunStops : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Errors of writing that every later output would meet too.
bool EndsTheRun(const std::error_code& error) {
    if (error.category() != std::generic_category() && error.category() != std::system_category()) return false;
    switch (error.value()) {
        case ENOSPC: case EDQUOT: case EROFS: case EACCES: case EPERM: case EIO: return true;
        default: return false;
    }
}

struct Failure {
    PageResult result = PageResult::Failed;
    std::string reason;
    bool stopsRun = false;
};

// The current exception as a page's outcome. `writing`: it came from making
// or writing an output, where the system's errors may stop the run.
Failure Classify(std::exception_ptr error, bool writing) {
    try {
        std::rethrow_exception(error);
    } catch (const PageRefused& refused) {
        return {PageResult::Refused, refused.what(), false};
    } catch (const std::invalid_argument& limit) {  // the whitening's limits
        return {PageResult::Refused, limit.what(), false};
    } catch (const RunStops& stop) {
        return {PageResult::Failed, stop.what(), true};
    } catch (const StopRequested&) {  // the caller's Ctrl-C (platform/ParallelFor.h): nothing more is written
        return {PageResult::Failed, "interrupted", true};
    } catch (const std::system_error& system) {
        return {PageResult::Failed, system.what(), writing && EndsTheRun(system.code())};
    } catch (const std::bad_alloc&) {
        return {PageResult::Failed, "out of memory", false};
    } catch (const std::exception& other) {
        return {PageResult::Failed, other.what(), false};
    } catch (...) {
        return {PageResult::Failed, "unknown error", false};
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool LooksLikeTiff(const std::string& input) {
    char magic[4] = {};
    std::ifstream file(input, std::ios::binary);
    if (!file.read(magic, sizeof magic)) return false;
    return std::memcmp(magic, "II*\0", 4) == 0 || std::memcmp(magic, "MM\0*", 4) == 0 ||
           std::memcmp(magic, "II+\0", 4) == 0 || std::memcmp(magic, "MM\0+", 4) == 0;
}

class Run {
public:
    Run(const RunSettings& settings, RunReport& report) : settings_(settings), report_(report) {}

    RunTotals Go() {
        Plan();
        const int atOnce = std::max(1, std::min(settings_.jobs, totals_.pages));
        threads_ = settings_.threadsPerPage > 0 ? settings_.threadsPerPage
                                                : std::max(1, whiten::DefaultThreads() / atOnce);
        report_.Started(totals_.pages);
        std::vector<std::thread> workers;
        for (int w = 1; w < settings_.jobs && w < static_cast<int>(tasks_.size()); ++w) {
            try {
                workers.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // the threads already started share the pages
            }
        }
        Work();
        for (auto& worker : workers) worker.join();
        for (auto& job : jobs_) {
            // Pages added to an output that a stop left unfinished are lost with it.
            totals_.notDone += job->Ordered().added;
            job->Ordered().writer.reset();
        }
        return totals_;
    }

private:
    struct Task {
        InputJob* job;
        int page;
    };

    void Plan() {
        InputIdentities inputs;
        for (const auto& input : settings_.inputs) inputs.Add(input);
        std::map<std::string, std::string> outputOwner;  // resolved output path -> input
        for (const auto& input : settings_.inputs) {
            // A TIFF output is one file whatever the input's pages: looked for before the input is opened.
            const bool oneTiff = settings_.formatGiven && settings_.format == OutputFormat::Tiff;
            if (oneTiff && Skips(input, PlanFor(input, 1))) continue;
            const int pages = CountPages(input);
            OutputPlan plan = PlanFor(input, pages);
            if (!oneTiff && Skips(input, plan)) continue;
            std::string refusal;
            for (const auto& path : plan.paths) {
                if (inputs.IsInput(path)) {
                    refusal = "its output " + path + " would replace an input";
                    break;
                }
                const auto [owner, isNew] = outputOwner.emplace(ResolvedPath(path), input);
                if (!isNew) {
                    refusal = "its output " + path + " is already the output of " + owner->second;
                    break;
                }
            }
            jobs_.push_back(std::make_unique<InputJob>(input, pages, std::move(plan), std::move(refusal)));
            for (int page = 0; page < pages; ++page) tasks_.push_back({jobs_.back().get(), page});
        }
        totals_.pages = static_cast<int>(tasks_.size());
    }

    OutputPlan PlanFor(const std::string& input, int pages) const {
        if (!settings_.outputPath.empty()) return PlanOutputsAt(settings_.outputPath, pages, settings_.format);
        return PlanOutputs(input, pages, settings_.formatGiven, settings_.format, settings_.outputFolder);
    }

    // True (and told) when the input is passed over: asked to, and every output it would make is there.
    bool Skips(const std::string& input, const OutputPlan& plan) {
        if (!settings_.keepExisting) return false;
        for (const auto& path : plan.paths)
            if (!IsRegularFile(path)) return false;
        ++totals_.skipped;
        report_.InputSkipped(input, plan.paths);
        return true;
    }

    void Work() {
        for (std::size_t t = next_++; t < tasks_.size(); t = next_++) {
            if (stopped_) {
                Count([&] { ++totals_.notDone; });
                continue;
            }
            DoPage(*tasks_[t].job, tasks_[t].page);
        }
    }

    void DoPage(InputJob& job, int index) {
        PageEvent event;
        event.input = job.Input();
        event.page = index;
        event.pages = job.Pages();
        std::vector<std::uint8_t> gray;
        GrayImage image;
        Failure failure;
        bool ok = false;
        if (!job.Refusal().empty()) {
            failure = {PageResult::Refused, job.Refusal(), false};
        } else {
            try {
                Whiten(job, index, gray, image);
                ok = true;
            } catch (...) {
                failure = Classify(std::current_exception(), false);
            }
        }
        const bool ordered = job.Plan().oneFile && job.Pages() > 1;
        if (ordered) {
            WriteInOrder(job, index, ok, image, failure, event);
            return;
        }
        if (ok) {
            try {
                WriteOne(job.Plan(), job.Plan().paths[static_cast<std::size_t>(index)], image);
                gray = {};
                event.output = job.Plan().paths[static_cast<std::size_t>(index)];
                Tell(event, PageResult::Whitened);
                return;
            } catch (...) {
                failure = Classify(std::current_exception(), true);
            }
        }
        Fail(event, failure);
    }

    // Decodes the page and whitens it into `gray`; the decoded samples are gone on return.
    void Whiten(InputJob& job, int index, std::vector<std::uint8_t>& gray, GrayImage& image) {
        PageImage page;
        job.Read(index, page);
        const whiten::Page source{page.samples.data(), page.width, page.height,
                                  static_cast<std::ptrdiff_t>(page.width) * page.channels, page.channels};
        gray.resize(static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height));
        whiten::WhitenInto(source, gray.data(), page.width, threads_);
        image = {gray.data(), page.width, page.height, page.width, page.dpiX, page.dpiY};
    }

    void WriteOne(const OutputPlan& plan, const std::string& path, const GrayImage& image) {
        MakeFolder(plan.folder);
        SerialWriter writer(writerLock_, path, plan.format, settings_.writer);
        writer.Add(image);
        writer.Commit();
    }

    void WriteInOrder(InputJob& job, int index, bool ok, const GrayImage& image, Failure failure,
                      PageEvent& event) {
        auto& out = job.Ordered();
        std::unique_lock<std::mutex> turn(turnLock_);
        turnChanged_.wait(turn, [&] { return out.nextPage == index || stopped_; });
        if (out.nextPage != index) {  // stopped while waiting
            Count([&] { ++totals_.notDone; });
            return;
        }
        turn.unlock();  // only this page's worker touches the output until it passes the turn
        const std::string& path = job.Plan().paths[0];
        if (ok && !out.broken.empty()) {
            ok = false;
            failure = {PageResult::Failed, out.broken, false};
        }
        if (ok) {
            try {
                if (!out.writer) {
                    MakeFolder(job.Plan().folder);
                    out.writer = std::make_unique<SerialWriter>(writerLock_, path, job.Plan().format, settings_.writer);
                }
                out.writer->Add(image);
                ++out.added;
                event.output = path;
                Tell(event, PageResult::Whitened, false);
            } catch (...) {
                failure = Classify(std::current_exception(), true);
                ok = false;
                GiveUp(job, failure.reason);
            }
        }
        if (!ok) Fail(event, failure);
        if (index == job.Pages() - 1 && out.writer) {
            try {
                out.writer->Commit();
                out.writer.reset();
                Count([&] { totals_.whitened += out.added; });
                out.added = 0;
            } catch (...) {
                const Failure lost = Classify(std::current_exception(), true);
                GiveUp(job, lost.reason);
                if (lost.stopsRun) Stop(lost.reason);
            }
        }
        turn.lock();
        ++out.nextPage;
        turnChanged_.notify_all();
    }

    // Drops an unfinished multi-page output (its file is removed) and its pages.
    void GiveUp(InputJob& job, const std::string& reason) {
        auto& out = job.Ordered();
        out.writer.reset();
        out.broken = reason;
        if (out.added > 0) {
            const int lost = out.added;
            out.added = 0;
            Count([&] {
                totals_.failed += lost;
                report_.OutputLost(job.Input(), job.Plan().paths[0], lost, reason);
            });
        }
    }

    void MakeFolder(const std::string& folder) {
        const std::lock_guard<std::mutex> guard(folderLock_);
        if (madeFolders_.count(folder) != 0) return;
        const std::error_code error = platform::MakeFolders(folder);
        if (error) throw RunStops(platform::WithReason("cannot make the output folder " + folder, error));
        madeFolders_.insert(folder);
    }

    void Tell(PageEvent& event, PageResult result, bool counts = true) {
        event.result = result;
        Count([&] {
            if (counts && result == PageResult::Whitened) ++totals_.whitened;
            report_.Page(event);
        });
    }

    void Fail(PageEvent& event, const Failure& failure) {
        event.reason = failure.reason;
        event.result = failure.result;
        Count([&] {
            ++(failure.result == PageResult::Refused ? totals_.refused : totals_.failed);
            report_.Page(event);
        });
        if (failure.stopsRun) Stop(failure.reason);
    }

    void Stop(const std::string& reason) {
        {
            const std::lock_guard<std::mutex> guard(countLock_);
            if (totals_.stopReason.empty()) totals_.stopReason = reason;
        }
        {
            const std::lock_guard<std::mutex> guard(turnLock_);
            stopped_ = true;
        }
        turnChanged_.notify_all();
    }

    template <class Change>
    void Count(Change change) {
        const std::lock_guard<std::mutex> guard(countLock_);
        change();
    }

    const RunSettings& settings_;
    RunReport& report_;
    int threads_ = 1;
    std::vector<std::unique_ptr<InputJob>> jobs_;
    std::vector<Task> tasks_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopped_{false};
    std::mutex turnLock_;
    std::condition_variable turnChanged_;
    std::mutex writerLock_;
    std::mutex folderLock_;
    std::set<std::string> madeFolders_;
    std::mutex countLock_;
    RunTotals totals_;
};

}  // namespace

int CountPages(const std::string& input) {
    if (!LooksLikeTiff(input)) return 1;
    try {
        const int pages = OpenPageReader(input)->PageCount();
        return pages > 0 ? pages : 1;
    } catch (...) {
        return 1;
    }
}

RunTotals RunPages(const RunSettings& settings, RunReport& report) {
    if (!settings.outputPath.empty() && settings.inputs.size() != 1)
        throw std::invalid_argument("an output path is for one input");
    return Run(settings, report).Go();
}
