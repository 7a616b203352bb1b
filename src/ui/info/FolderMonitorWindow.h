// The folder monitor: the folder shown in the main window when the monitor
// opened, its size as measured, its size now (counted again on the timer in
// the background), and the change since the monitor opened.
#pragma once

#include "core/measure/FolderMonitor.h"
#include "ui/info/MonitorWindow.h"

#include <QList>

#include <memory>

class QLabel;

namespace nrvs {

class MainWindow;

class FolderMonitorWindow : public MonitorWindow {
    Q_OBJECT
  public:
    explicit FolderMonitorWindow(MainWindow* main);
    ~FolderMonitorWindow() override;

    void onRefreshTimer() override;
    // The folder being watched, program form; empty when none.
    const std::string& Folder() const { return folder_; }
    bool Counting() const;

    QLabel* pathLabel;
    QLabel* measuredLabel;
    QLabel* currentLabel;
    QLabel* differenceLabel;
    QLabel* contentsLabel;

  protected:
    void Rebuild() override;
    bool OpensAtTop() const override { return false; }
    void Closing() override;

  private:
    void CountDone(const std::string& path, const FolderCount& count);
    // Lays the rows out with values valueWidth pixels wide; the window
    // takes the size they need.
    void Arrange(int valueWidth);
    // Widens the window where a value no longer fits its row.
    void FitWidth();

    QList<QLabel*> captions_;

    MainWindow* mainWindow_;
    std::string folder_;
    uint32_t cluster_ = 0;
    double first_ = -1; // the first count since the window opened
    std::unique_ptr<FolderCounter> counter_;
};

} // namespace nrvs
