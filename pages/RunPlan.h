// Planning a run before its first page: the inputs listed (folders read), each
// file opened once to tell its kind and count its pages (the reader is kept
// for reading them), and its outputs named and checked against the inputs and
// against each other.
#pragma once

#include <memory>
#include <vector>

#include "pages/InputJob.h"
#include "pages/PageRun.h"

struct RunPlan {
    std::vector<std::unique_ptr<InputJob>> jobs;  // in the order their pages are handed out
    int skipped = 0;                              // inputs passed over (keepExisting)
};

// A file found in a folder that is no page by its first bytes is passed over
// quietly; any other file that cannot be opened holds one page, whose failure
// is told when its turn comes. Skipped inputs are told to `report`.
RunPlan PlanRun(const RunSettings& settings, RunReport& report);
