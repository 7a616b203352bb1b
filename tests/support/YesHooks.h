// Measurement hooks for tests: every question answered yes, and what the
// measurement told kept for the test to read.
#pragma once

#include "core/measure/Measure.h"

#include <string>
#include <vector>

namespace nrvs::test {

struct YesHooks : MeasureHooks {
    std::vector<std::string> told;
    int Ask(const std::string&, int) override { return ID_YES; }
    void Tell(const std::string& text, int) override { told.push_back(text); }
};

} // namespace nrvs::test
