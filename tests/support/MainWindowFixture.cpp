#include "support/MainWindowFixture.h"

#include "support/ResetGlobalState.h"

#include <QtTest>

namespace nrvs::test {

std::unique_ptr<MainWindow> OpenMainWindow(const TempDrive& drive,
                                           const MainWindowOptions& options) {
    if (!options.settings.empty()) drive.ExeDir().Write("norvessa.prm", options.settings);
    if (options.resetState) ResetGlobalState();
    auto w = std::make_unique<MainWindow>(StringList{});
    w->show();
    w->refreshTimer->stop();
    if (options.waitUntilExposed && !QTest::qWaitForWindowExposed(w.get()))
        qWarning("the main window was not exposed");
    // After the window read its settings, which would otherwise decide it.
    if (options.showFiles) Global().ShowFiles = 1;
    w->OpenPath(drive.Root(), true);
    return w;
}

} // namespace nrvs::test
