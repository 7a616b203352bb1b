// The main window's measure menu: a drive, the folder shown, the ranking, the
// simulation and the changes since the previous measurement.
#include "ui/main/MainWindow.h"

#include "lib/Messages.h"

#include "core/GlobalState.h"
#include "core/measure/Measure.h"
#include "ui/changes/ChangesWindow.h"
#include "ui/main/MainWindowParts.h"
#include "ui/main/RowModel.h"
#include "ui/rank/RankingWindow.h"
#include "ui/running/RunningDialog.h"
#include "ui/settings/MeasureDrivesDialog.h"
#include "ui/sim/SimulationWindow.h"

#include <ctime>

namespace nrvs {

void MainWindow::ReopenAfterMeasure(const std::string& path) {
    GlobalState& g = Global();
    justMeasured_ = true;
    OpenPath(path, true);
    if (g.CurrentDrive) ShowDriveStatus(*g.CurrentDrive, &g.Folders);
    justMeasured_ = false;
}

namespace {
// The running dialog's hooks, and the drives-to-measure dialog for the choice.
class DriveChoiceHooks : public RunningHooks {
  public:
    DriveChoiceHooks(RunningDialog& running, MeasureDrivesDialog& choose)
        : RunningHooks(running), choose_(choose) {}
    bool ChooseDrives(std::string& flags) override { return choose_.Run(flags); }

  private:
    MeasureDrivesDialog& choose_;
};
} // namespace

void MainWindow::onMeasureDrive() {
    GlobalState& g = Global();
    DriveChoiceHooks hooks(*Running, *MeasureDrivesChoice);
    if (!MeasureDrives(hooks) || !g.CurrentDrive) return;
    ReopenAfterMeasure(g.CurrentDrive->RootPath);
}

void MainWindow::onMeasureFolder() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready || model_->rowCount() == 0) return;
    MeasureFolderAt(model_->RowAt(0).Caption);
}

void MainWindow::MeasureFolderAt(const std::string& path) {
    RunningHooks hooks(*Running);
    if (!MeasureFolder(path, hooks)) return;
    ReopenAfterMeasure(path);
}

void MainWindow::OpenAndMeasure(const std::string& path, bool force) {
    OpenPath(path, force);
    const DriveRecord* cur = Global().CurrentDrive;
    // Only when the folder's drive is the one now shown: a drive that could
    // not be opened is not asked about.
    if (!cur || cur->Offline || cur->RootPath.empty() || cur->RootPath[0] != path[0]) return;
    // The folder opened counts as unmeasured by itself, even when nothing
    // below it is a folder.
    const bool unmeasured =
        RowsShowUnmeasured(model_->Rows()) || Global().Folders.IndexOfPath(path) < 0;
    if (!ShouldMeasure(unmeasured, std::time(nullptr))) return;
    // A folder below the root is asked about, and measured, alone.
    if (path.size() > 3)
        MeasureFolderAt(path);
    else
        onMeasureDrive();
}

// The ranking shows what was measured; a drive whose volume cannot be read
// has nothing to rank.
void MainWindow::onMeasureRanking() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready || !g.Drives.ReadVolume(*g.CurrentDrive)) return;
    Ranking->setGeometry(geometry().adjusted(32, 32, -32, -32));
    Ranking->exec();
}

void MainWindow::onMeasureChanges() {
    Changes->OpenChanges();
}

void MainWindow::onMeasureSimulation() {
    if (!mainwindow::CurrentDriveReady()) return;
    if (!DisplayComplete) {
        ShowMessageBox("表示を省略しているときは使用できません。", MB_ICONINFORMATION);
        return;
    }
    Simulation->Prepare();
    Simulation->exec();
}

} // namespace nrvs
