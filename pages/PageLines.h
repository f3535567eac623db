// The lines whiten-pages prints for a page's outcome, in one wording for its
// progress and for WhitenFile's outcome. Names are quoted (QuotedName); a
// reason is shown as it is, its names quoted where it was made.
#pragma once

#include <string>
#include <vector>

#include "pages/RunEvents.h"

// "book.tif (page 3 of 12)", or the input alone for a file of one page.
std::string PageName(const PageEvent& event);
// "NAME -> OUTPUT" for a whitened page.
std::string WhitenedLine(const PageEvent& event);
// "NAME: refused: REASON" or "NAME: failed: REASON".
std::string ProblemLine(const PageEvent& event);
// "INPUT: failed: OUTPUT not finished, N pages lost: REASON".
std::string LostLine(const std::string& input, const std::string& output, int pages, const std::string& reason);
// What LostLine tells after "failed: ".
std::string LostReason(const std::string& output, int pages, const std::string& reason);
// "INPUT: skipped: OUTPUT, OUTPUT already there", for an input passed over
// because its outputs exist (RunSettings::keepExisting).
std::string SkippedLine(const std::string& input, const std::vector<std::string>& outputs);
