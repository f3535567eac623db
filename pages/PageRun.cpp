// The run: outputs planned for every input first (RunPlan), then a pool of
// workers takes the pages in order. The pages of a multi-page output are
// added in file order (OrderedOutput).
#include "pages/PageRun.h"

#include "formats/PageReader.h"
#include "library/whiten.h"
#include "pages/InputJob.h"
#include "pages/MadeOutputs.h"
#include "pages/QuotedName.h"
#include "pages/RunPlan.h"
#include "platform/ParallelFor.h"
#include "platform/LargeBlock.h"
#include "platform/Path.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

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

// The system's message names the file by its path, raw ("can't open PATH: ..."):
// shown here by its name (`shown`), quoted.
std::string QuoteIn(std::string message, const std::string& path, const std::string& shown) {
    const std::string quoted = QuotedName(shown);
    const auto at = quoted == path ? std::string::npos : message.find(path);
    if (at != std::string::npos) message.replace(at, path.size(), quoted);
    return message;
}

// The current exception as a page's outcome. `writing`: it came from making
// or writing an output, where the system's errors may stop the run; `path`:
// the file it concerns, `shown` its name in lines.
Failure Classify(std::exception_ptr error, bool writing, const std::string& path, const std::string& shown) {
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
        // A pipe or device named as a page is the input's own fault.
        const PageResult result = system.code() == platform::NotARegularFile() ? PageResult::Refused : PageResult::Failed;
        return {result, QuoteIn(system.what(), path, shown), writing && EndsTheRun(system.code())};
    } catch (const std::bad_alloc&) {
        return {PageResult::Failed, "out of memory", false};
    } catch (const std::exception& other) {
        return {PageResult::Failed, other.what(), false};
    } catch (...) {
        return {PageResult::Failed, "unknown error", false};
    }
}

class Run {
public:
    Run(const RunSettings& settings, RunReport& report) : settings_(settings), report_(report) {}

    RunTotals Go() {
        RunPlan plan = PlanRun(settings_, report_);
        jobs_ = std::move(plan.jobs);
        totals_.skipped = plan.skipped;
        for (const auto& job : jobs_)
            for (int page = 0; page < job->Pages(); ++page) tasks_.push_back({job.get(), page});
        totals_.pages = static_cast<int>(tasks_.size());
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
        // Pages added to an output that a stop left unfinished are lost with it.
        for (auto& job : jobs_)
            if (OrderedOutput* out = job->Ordered()) totals_.notDone += out->GiveUp(totals_.stopReason);
        return totals_;
    }

private:
    struct Task {
        InputJob* job;
        int page;
    };

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
        event.input = job.Shown().input;
        event.page = index;
        event.pages = job.Pages();
        std::unique_ptr<std::uint8_t[]> gray;
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
                failure = Classify(std::current_exception(), false, job.Input(), job.Shown().input);
            }
        }
        if (job.Ordered() != nullptr) {
            WriteInOrder(job, index, ok, image, failure, event);
            return;
        }
        if (ok) {
            const auto output = static_cast<std::size_t>(index);
            try {
                WriteOne(job, output, image);
                gray.reset();
                event.output = job.Shown().outputs[output];
                Tell(event);
                return;
            } catch (...) {
                failure =
                    Classify(std::current_exception(), true, job.Plan().paths[output], job.Shown().outputs[output]);
            }
        }
        Fail(event, failure);
    }

    // Decodes the page and whitens it into `gray`; the decoded samples are gone on return.
    // `gray` is not cleared: the whitening writes every byte of it. (Cleared, and
    // without the huge-page hint, it cost about 4 % of the processor time of a
    // book of A4 JPEG pages to PNG.)
    void Whiten(InputJob& job, int index, std::unique_ptr<std::uint8_t[]>& gray, GrayImage& image) {
        PageImage page;
        job.Read(index, page);
        const whiten::Page source{page.samples.data(), page.width, page.height,
                                  static_cast<std::ptrdiff_t>(page.width) * page.channels, page.channels};
        const std::size_t bytes = static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height);
        gray = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
        platform::AdviseLargeBlock(gray.get(), bytes);
        whiten::WhitenInto(source, gray.get(), page.width, threads_);
        image = {gray.get(), page.width, page.height, page.width, page.dpiX, page.dpiY};
    }

    std::unique_ptr<PageWriter> StartWriter(const InputJob& job, std::size_t output) {
        MakeFolder(job.Plan().folder, job.Shown().folder);
        return CreatePageWriter(job.Plan().paths[output], job.Plan().format, settings_.writer);
    }

    void WriteOne(const InputJob& job, std::size_t output, const GrayImage& image) {
        const auto writer = StartWriter(job, output);
        writer->Add(image);
        Commit(job, output, *writer);
    }

    void Commit(const InputJob& job, std::size_t output, PageWriter& writer) {
        made_.Commit(writer, job.Plan().paths[output], job.Shown().outputs[output], job.Shown().input);
    }

    // The page's turn in its multi-page output: added (or its failure told),
    // and after the last page the output committed, unless that page stopped
    // the run (a Ctrl-C while it was whitened): then the output is unfinished,
    // and is lost with the run's other unfinished outputs.
    void WriteInOrder(InputJob& job, int index, bool ok, const GrayImage& image, Failure failure,
                      PageEvent& event) {
        OrderedOutput& out = *job.Ordered();
        if (!out.AwaitTurn(index)) {  // stopped while waiting
            Count([&] { ++totals_.notDone; });
            return;
        }
        if (ok && !out.Broken().empty()) {
            ok = false;
            failure = {PageResult::Failed, out.Broken(), false};
        }
        if (ok) ok = AddInOrder(job, index, image, event, failure);
        if (!ok) Fail(event, failure);
        if (index == job.Pages() - 1 && (ok || !failure.stopsRun)) CommitInOrder(job);
        out.PassTurn();
    }

    bool AddInOrder(InputJob& job, int index, const GrayImage& image, PageEvent& event, Failure& failure) {
        try {
            job.Ordered()->Add(index, image, [&] { return StartWriter(job, 0); });
            event.output = job.Shown().outputs[0];
            Count([&] { report_.PageAdded(event); });
            return true;
        } catch (...) {
            failure = Classify(std::current_exception(), true, job.Plan().paths[0], job.Shown().outputs[0]);
            Lose(job, failure.reason);
            return false;
        }
    }

    void CommitInOrder(InputJob& job) {
        const ShownNames& shown = job.Shown();
        try {
            const std::vector<int> pages = job.Ordered()->Commit([&](PageWriter& writer) { Commit(job, 0, writer); });
            for (const int page : pages) {
                PageEvent event{shown.input, page, job.Pages(), PageResult::Whitened, shown.outputs[0], {}, true};
                Tell(event);
            }
        } catch (...) {
            const Failure lost = Classify(std::current_exception(), true, job.Plan().paths[0], shown.outputs[0]);
            Lose(job, lost.reason);
            if (lost.stopsRun) Stop(lost.reason);
        }
    }

    // Drops an unfinished multi-page output (its file is removed) and its pages.
    void Lose(InputJob& job, const std::string& reason) {
        const int lost = job.Ordered()->GiveUp(reason);
        if (lost == 0) return;
        Count([&] {
            totals_.failed += lost;
            report_.OutputLost(job.Shown().input, job.Shown().outputs[0], lost, reason);
        });
    }

    void MakeFolder(const std::string& folder, const std::string& shown) {
        const std::lock_guard<std::mutex> guard(folderLock_);
        if (madeFolders_.count(folder) != 0) return;
        const std::error_code error = platform::MakeFolders(folder);
        if (error) throw RunStops(platform::WithReason("cannot make the output folder " + QuotedName(shown), error));
        madeFolders_.insert(folder);
    }

    void Tell(PageEvent& event) {
        event.result = PageResult::Whitened;
        Count([&] {
            ++totals_.whitened;
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
        if (stopped_.exchange(true)) return;
        for (auto& job : jobs_)
            if (OrderedOutput* out = job->Ordered()) out->Stop();
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
    MadeOutputs made_;
    std::mutex folderLock_;
    std::set<std::string> madeFolders_;
    std::mutex countLock_;
    RunTotals totals_;
};

}  // namespace

RunTotals RunPages(const RunSettings& settings, RunReport& report) {
    if (!settings.outputPath.empty() && settings.inputs.size() != 1)
        throw std::invalid_argument("an output path is for one input");
    return Run(settings, report).Go();
}
