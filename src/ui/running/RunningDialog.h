// The running dialog: a long job runs inside it while it shows what is being
// done; its STOP button's enabled state is the stop flag.
#pragma once

#include "core/measure/Measure.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace nrvs {

class RunningDialog : public QDialog {
    Q_OBJECT
  public:
    explicit RunningDialog(QWidget* parent = nullptr);

    // A non-empty caption stays for later runs; the text is emptied and STOP
    // shown (or hidden) and enabled.
    void PrepareRunning(const QString& caption, bool showStop);
    // Shows the dialog modally and runs the job as soon as the dialog has
    // been painted (or from its timer, for a dialog that is never painted);
    // 1 when the job was not stopped.
    int RunJob(const std::function<void()>& job);
    bool StopRequested() const;
    void SetProgressText(const QString& text);
    // Folders, files and bytes counted so far, and the time since the job began.
    void SetProgressCounts(int64_t folders, int64_t files, double bytes);

    QLabel* captionLabel = nullptr;
    QLabel* countLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QPushButton* stopButton = nullptr;
    QTimer* refreshTimer = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

  private:
    void StartJob();
    void onStop();
    std::function<void()> job_;
    bool jobPending_ = false;
    bool startPosted_ = false;
    QElapsedTimer started_;
};

// Measurement hooks that run every job inside the running dialog.
class RunningHooks : public MeasureHooks {
  public:
    explicit RunningHooks(RunningDialog& dialog) : dialog_(dialog) {}
    void RunJob(const std::string& caption, const std::function<void()>& job) override;
    bool StopRequested() override;
    void SetProgressText(const std::string& text) override;
    void SetProgressCounts(int64_t folders, int64_t files, double bytes) override;
    void ProcessMessages() override;

  private:
    RunningDialog& dialog_;
};

} // namespace nrvs
