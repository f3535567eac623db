// Readers are not shared between threads: the lock makes the file's pages
// decode one after the other, while their whitening still runs side by side.
#include "pages/InputJob.h"

#include <utility>

InputJob::InputJob(std::string input, int pages, OutputPlan plan, ShownNames shown, std::string refusal,
                   std::unique_ptr<PageReader> reader, std::exception_ptr openError)
    : input_(std::move(input)), pages_(pages), plan_(std::move(plan)), shown_(std::move(shown)),
      refusal_(std::move(refusal)), reader_(std::move(reader)), openError_(std::move(openError)) {
    if (plan_.oneFile && pages_ > 1) ordered_ = std::make_unique<OrderedOutput>();
}

void InputJob::Read(int index, PageImage& page) {
    const std::lock_guard<std::mutex> guard(readLock_);
    // Counted whatever happens, so that the reader goes after the last page.
    struct Done {
        InputJob& job;
        ~Done() {
            if (++job.pagesRead_ >= job.pages_) job.reader_.reset();
        }
    } done{*this};
    if (openError_) std::rethrow_exception(openError_);
    if (index >= reader_->PageCount()) throw PageRefused("the file has fewer pages than when the run began");
    reader_->Read(index, page);
}
