// One input file during a run: the reader opened when the run was planned,
// shared by the file's pages (one page decoded at a time, the reader dropped
// after the last page), its output plan, and for a multi-page output that
// takes the pages in order, that output.
#pragma once

#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "formats/PageReader.h"
#include "pages/OrderedOutput.h"
#include "pages/OutputNames.h"

// The names lines give an input and its outputs: the paths themselves in
// whiten-pages; for WhitenFile, the caller's names for the paths it opens.
struct ShownNames {
    std::string input;
    std::string folder;                // the plan's folder
    std::vector<std::string> outputs;  // one a path of the plan
};

class InputJob {
public:
    // `reader` null: `openError` is what opening the file threw, rethrown for
    // its page. `refusal` non-empty: every page is refused with it, unread.
    InputJob(std::string input, int pages, OutputPlan plan, ShownNames shown, std::string refusal,
             std::unique_ptr<PageReader> reader, std::exception_ptr openError);

    const std::string& Input() const { return input_; }
    int Pages() const { return pages_; }
    const OutputPlan& Plan() const { return plan_; }
    const ShownNames& Shown() const { return shown_; }
    const std::string& Refusal() const { return refusal_; }

    // Decodes page `index`; the reader goes once every page has been read or
    // has failed. Throws as PageReader::Read does, or what opening the file threw.
    void Read(int index, PageImage& page);

    // The multi-page output taking the pages in order; null for outputs of one page.
    OrderedOutput* Ordered() { return ordered_.get(); }

private:
    std::string input_;
    int pages_;
    OutputPlan plan_;
    ShownNames shown_;
    std::string refusal_;

    std::mutex readLock_;
    std::unique_ptr<PageReader> reader_;
    std::exception_ptr openError_;
    int pagesRead_ = 0;

    std::unique_ptr<OrderedOutput> ordered_;
};
