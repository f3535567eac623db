// The per-file job: one command-line argument from path check to written output.
#pragma once

#include <string>

// Result codes of the job.
constexpr int kJobDone = 0;           // output written
constexpr int kJobNoTargetFolder = 1; // the Result folder could not be made; the run stops
constexpr int kJobRefused = 2;        // not a ".bmp" name, not 24-bit, or a broken file

// Checks the name, makes the Result folder beside the file, prints the progress
// line and any refusal on standard output, and writes the page under its own name
// into Result. Errors other than a refusal (a file that cannot be opened or
// written, memory) are thrown and end the run.
int ProcessFile(const std::string& path);
