// Readers are not shared between threads: the lock makes the file's pages
// decode one after the other, while their whitening still runs side by side.
#include "pages/InputJob.h"

#include <utility>

InputJob::InputJob(std::string input, int pages, OutputPlan plan, std::string refusal)
    : input_(std::move(input)), pages_(pages), plan_(std::move(plan)), refusal_(std::move(refusal)) {}

void InputJob::Read(int index, PageImage& page) {
    const std::lock_guard<std::mutex> guard(readLock_);
    // Counted whatever happens, so that the file is closed after its last page.
    struct Done {
        InputJob& job;
        ~Done() {
            if (++job.pagesRead_ >= job.pages_) job.reader_.reset();
        }
    } done{*this};
    if (!reader_) reader_ = OpenPageReader(input_);
    if (index >= reader_->PageCount()) throw PageRefused("the file has fewer pages than when the run began");
    reader_->Read(index, page);
}
