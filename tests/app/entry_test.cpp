// The argument loop: usage decision, job order, stop on result 1, pauses, exit
// status and errors escaping a job, with an injected job and sleeper.
#include "app/Entry.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

struct LoopRun {
    int status = -1;
    std::vector<std::string> jobs;  // arguments in the order the job saw them
    std::vector<int> pauses;        // milliseconds of each pause
    std::string usage;
    std::string errors;
};

// Runs the loop over `args`; `results` gives a job's result per argument (0 when
// not listed); an argument "throw:KIND" makes the job throw.
LoopRun RunWith(const std::vector<std::string>& args, const std::map<std::string, int>& results = {}) {
    LoopRun run;
    std::ostringstream usageOut, errorOut;
    const EntryServices services{
        [&](const std::string& path) {
            run.jobs.push_back(path);
            if (path == "throw:string") throw std::string("CBmp24_::IsThisType : can't open x.bmp");
            if (path == "throw:bad_alloc") throw std::bad_alloc();
            if (path == "throw:exception") throw std::runtime_error("disk on fire");
            if (path == "throw:int") throw 42;
            const auto found = results.find(path);
            return found == results.end() ? 0 : found->second;
        },
        [&](int milliseconds) { run.pauses.push_back(milliseconds); },
        usageOut,
        errorOut,
        "USAGE\n",
    };
    std::vector<const char*> argv{"whiten"};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    run.status = RunEntry(static_cast<int>(args.size() + 1), argv.data(), services);
    run.usage = usageOut.str();
    run.errors = errorOut.str();
    return run;
}

using Strings = std::vector<std::string>;
using Pauses = std::vector<int>;

TEST(Entry, UsageIsDecidedByTheFirstCharacterOfTheFirstArgument) {
    struct Case { const char* name; Strings args; bool usage; };
    const Case cases[] = {
        {"no arguments", {}, true},
        {"-h before paths", {"-h", "a.bmp", "b.bmp"}, true},
        {"-x", {"-x"}, true},
        {"lone ?", {"?", "a.bmp"}, true},
        {"?-prefixed word", {"?help"}, true},
        {"empty first argument is a path", {"", "a.bmp"}, false},
        {"later dash is a path", {"a.bmp", "-h"}, false},
        {"path first", {"a.bmp"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoopRun run = RunWith(c.args);
        EXPECT_EQ(run.status, 0);
        if (c.usage) {
            EXPECT_EQ(run.usage, "USAGE\n");
            EXPECT_TRUE(run.jobs.empty());
            EXPECT_TRUE(run.pauses.empty());
        } else {
            EXPECT_EQ(run.usage, "");
            EXPECT_EQ(run.jobs, c.args);
            EXPECT_EQ(run.pauses, Pauses{5000});
        }
    }
}

TEST(Entry, JobsRunInOrderAndResultOneStopsTheRun) {
    struct Case { const char* name; Strings args; std::map<std::string, int> results; Strings jobs; Pauses pauses; };
    const Case cases[] = {
        {"all done or refused", {"a.bmp", "notes.txt", "b.bmp"}, {{"notes.txt", 2}},
         {"a.bmp", "notes.txt", "b.bmp"}, {5000}},
        {"second stops", {"a.bmp", "b.bmp", "c.bmp"}, {{"b.bmp", 1}}, {"a.bmp", "b.bmp"}, {5000, 5000}},
        {"last stops", {"a.bmp", "b.bmp"}, {{"b.bmp", 1}}, {"a.bmp", "b.bmp"}, {5000, 5000}},
        {"other codes go on", {"a.bmp", "b.bmp"}, {{"a.bmp", 7}}, {"a.bmp", "b.bmp"}, {5000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoopRun run = RunWith(c.args, c.results);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.jobs, c.jobs);
        EXPECT_EQ(run.pauses, c.pauses);
        EXPECT_EQ(run.errors, "");
    }
}

TEST(Entry, AnEscapingErrorEndsTheRunWithOneLineAndStatusOne) {
    struct Case { const char* kind; const char* line; };
    const Case cases[] = {
        {"throw:string", "CBmp24_::IsThisType : can't open x.bmp\n"},
        {"throw:bad_alloc", "out of memory\n"},
        {"throw:exception", "disk on fire\n"},
        {"throw:int", "unknown error\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const LoopRun run = RunWith(Strings{"a.bmp", c.kind, "c.bmp"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, c.line);
        EXPECT_EQ(run.jobs, (Strings{"a.bmp", c.kind}));
        EXPECT_TRUE(run.pauses.empty());
    }
}

}  // namespace
