// A measurement's progress on the terminal, for measure and sim.
#pragma once

#include "core/measure/Measure.h"
#include "lib/Messages.h"
#include "platform/ProgramLocation.h"

#include <cstdio>
#include <string>

namespace nrvs::cli {

// Answers yes for the user who typed the command, and shows progress on a
// terminal.
struct TerminalMeasureHooks : MeasureHooks {
    bool tty = platform::IsTerminal(2);
    int Ask(const std::string&, int) override { return ID_YES; }
    void SetProgressText(const std::string& text) override {
        if (tty) std::fprintf(stderr, "\r\033[K%s", text.c_str());
    }
    ~TerminalMeasureHooks() override {
        if (tty) std::fprintf(stderr, "\r\033[K");
    }
};

} // namespace nrvs::cli
