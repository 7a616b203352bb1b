// Measurement hooks for tests: every question answered yes, and what the
// measurement told kept for the test to read; the scripted ones also stop
// when told to and keep the progress shown.
#pragma once

#include "core/measure/Measure.h"
#include "lib/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nrvs::test {

struct YesHooks : MeasureHooks {
    std::vector<std::string> told;
    int Ask(const std::string&, int) override { return ID_YES; }
    void Tell(const std::string& text, int) override { told.push_back(text); }
};

// Answers every question with yes and stops when told to.
struct ScriptedHooks : MeasureHooks {
    int stopAfterProgress = -1; // STOP once this many progress texts were shown
    std::vector<std::string> progress;
    int questions = 0;
    std::string lastQuestion;
    bool StopRequested() override {
        return stopAfterProgress >= 0 && static_cast<int>(progress.size()) >= stopAfterProgress;
    }
    void SetProgressText(const std::string& t) override { progress.push_back(t); }
    int countCalls = 0;
    int64_t countedFolders = -1, countedFiles = -1;
    double countedBytes = -1;
    void SetProgressCounts(int64_t folders, int64_t files, double bytes) override {
        ++countCalls;
        countedFolders = folders, countedFiles = files, countedBytes = bytes;
    }
    int Ask(const std::string& text, int) override {
        ++questions;
        lastQuestion = text;
        return ID_YES;
    }
    std::vector<std::string> told;
    void Tell(const std::string& text, int) override { told.push_back(text); }
};

} // namespace nrvs::test
