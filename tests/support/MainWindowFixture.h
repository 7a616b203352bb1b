// The main window as most window tests start from it: a fresh process state,
// shown, its refresh timer stopped so that nothing changes under the test,
// and the temporary drive's root opened.
#pragma once

#include "support/TempDrive.h"
#include "ui/main/MainWindow.h"

#include <memory>
#include <string>

namespace nrvs::test {

struct MainWindowOptions {
    // Written to norvessa.prm beside the executable before the window reads
    // it; empty leaves the file as it is.
    std::string settings{};
    // Files listed beside the folders.
    bool showFiles = false;
    // Waits until the window is on the screen, for tests of windows that
    // place themselves against its frame.
    bool waitUntilExposed = false;
    // False keeps the state the windows before left, as when a test opens a
    // second window in the same run to see what the first one saved.
    bool resetState = true;
};

std::unique_ptr<MainWindow> OpenMainWindow(const TempDrive& drive,
                                           const MainWindowOptions& options = {});

} // namespace nrvs::test
