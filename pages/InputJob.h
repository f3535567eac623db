// One input file during a run: its reader, shared by the file's pages (one
// page decoded at a time, the file closed after its last page), its output
// plan, and the state of a multi-page output that takes the pages in order.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "formats/PageReader.h"
#include "formats/PageWriter.h"
#include "pages/OutputNames.h"

class InputJob {
public:
    // `refusal` non-empty: every page is refused with it, unread.
    InputJob(std::string input, int pages, OutputPlan plan, std::string refusal);

    const std::string& Input() const { return input_; }
    int Pages() const { return pages_; }
    const OutputPlan& Plan() const { return plan_; }
    const std::string& Refusal() const { return refusal_; }

    // Decodes page `index`, opening the file for the first page that needs it
    // and closing it once every page has been read or has failed. Throws as
    // OpenPageReader and PageReader::Read do.
    void Read(int index, PageImage& page);

    // The multi-page output, used only by the page whose turn it is.
    struct OrderedOutput {
        int nextPage = 0;                     // the page whose turn it is
        std::unique_ptr<PageWriter> writer;   // started by the first page added
        int added = 0;                        // pages in the writer, not yet committed
        std::string broken;                   // why the output was given up; later pages fail with it
    };
    OrderedOutput& Ordered() { return ordered_; }

private:
    std::string input_;
    int pages_;
    OutputPlan plan_;
    std::string refusal_;

    std::mutex readLock_;
    std::unique_ptr<PageReader> reader_;
    int pagesRead_ = 0;

    OrderedOutput ordered_;
};
