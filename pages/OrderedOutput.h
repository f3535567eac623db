// The one output file that takes every page of a multi-page input (a
// multi-page TIFF), in file order whatever order the pages are whitened in.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "formats/PageWriter.h"

// Each page waits for its turn (a page whitened early holds only its gray
// bytes meanwhile), and only the page whose turn it is touches the file. A
// page that cannot be added, or a commit that fails, loses the file and the
// pages in it; the later pages then fail with the same reason.
class OrderedOutput {
public:
    // Waits until it is page `index`'s turn; false when Stop came first.
    bool AwaitTurn(int index);
    // Gives the turn to the next page.
    void PassTurn();
    // Ends every wait, for good: the pages still waiting are not done.
    void Stop();

    // Why the file was given up; empty while it is not.
    const std::string& Broken() const { return broken_; }
    // Adds page `index`, the file started by `start` for the first page.
    void Add(int index, const GrayImage& image, const std::function<std::unique_ptr<PageWriter>()>& start);
    // Finishes the file by `commit` (which commits the writer) and gives the
    // pages now in it; none when no page was added.
    std::vector<int> Commit(const std::function<void(PageWriter&)>& commit);
    // Drops the file unfinished (it is removed) and gives the number of pages
    // lost with it; later pages fail with `reason`.
    int GiveUp(const std::string& reason);

private:
    std::mutex lock_;
    std::condition_variable turnChanged_;
    int nextPage_ = 0;
    bool stopped_ = false;

    std::unique_ptr<PageWriter> writer_;
    std::vector<int> added_;  // pages in the writer, not committed yet
    std::string broken_;
};
