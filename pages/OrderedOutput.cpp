// The turn is a page number behind a lock; the file and its pages belong to
// the page holding the turn, so they need no lock of their own.
#include "pages/OrderedOutput.h"

#include <utility>

bool OrderedOutput::AwaitTurn(int index) {
    std::unique_lock<std::mutex> guard(lock_);
    turnChanged_.wait(guard, [&] { return nextPage_ == index || stopped_; });
    return nextPage_ == index;
}

void OrderedOutput::PassTurn() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        ++nextPage_;
    }
    turnChanged_.notify_all();
}

void OrderedOutput::Stop() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopped_ = true;
    }
    turnChanged_.notify_all();
}

void OrderedOutput::Add(int index, const GrayImage& image,
                        const std::function<std::unique_ptr<PageWriter>()>& start) {
    if (!writer_) writer_ = start();
    writer_->Add(image);
    added_.push_back(index);
}

std::vector<int> OrderedOutput::Commit(const std::function<void(PageWriter&)>& commit) {
    if (!writer_) return {};
    commit(*writer_);
    writer_.reset();
    return std::exchange(added_, {});
}

int OrderedOutput::GiveUp(const std::string& reason) {
    writer_.reset();
    broken_ = reason;
    return static_cast<int>(std::exchange(added_, {}).size());
}
