#include "ui/running/RunningDialog.h"
#include "lib/SizeText.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace nrvs {

// A tool window whose frame offers only the close box, which acts as STOP:
// the customised set asks for no minimise and maximise buttons (most window
// managers draw what these hints ask; openbox needs the window type below).
constexpr Qt::WindowFlags kRunningFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

RunningDialog::RunningDialog(QWidget* parent) : QDialog(parent, kRunningFlags) {
    setObjectName("RunningDialog");
    setWindowTitle(QStringLiteral(" 実行中..."));
    setModal(true);
    captionLabel = new QLabel(this);
    captionLabel->setObjectName("captionLabel");
    // The line is as high as the font needs (a 12-pixel line cuts off the
    // descenders of a 9-point text); the button and the dialog move down
    // with it.
    const int lineHeight = std::max(12, captionLabel->fontMetrics().height() + 2);
    captionLabel->setGeometry(8, 8, 377, lineHeight);
    // Below the folder: what has been counted, and beside STOP the time.
    countLabel = new QLabel(this);
    countLabel->setObjectName("countLabel");
    countLabel->setGeometry(8, 8 + lineHeight + 2, 377, lineHeight);
    const int stopTop = std::max(26, 8 + 2 * lineHeight + 2 + 4);
    timeLabel = new QLabel(this);
    timeLabel->setObjectName("timeLabel");
    timeLabel->setGeometry(8, stopTop + (25 - lineHeight) / 2, 300, lineHeight);
    setFixedSize(392, stopTop + 25 + 3);
    // Some window managers (openbox) keep minimise and maximise on every
    // utility window whatever the hints ask; a toolbar window gets only its
    // close box there, and the others read the type list on to "utility".
    KeepOnlyCloseBox(this);
    stopButton = new QPushButton(QStringLiteral("&STOP"), this);
    stopButton->setObjectName("stopButton");
    stopButton->setGeometry(314, stopTop, 75, 25);
    stopButton->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    stopButton->setAutoDefault(false);
    connect(stopButton, &QPushButton::clicked, this, &RunningDialog::onStop);
    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName("refreshTimer");
    refreshTimer->setInterval(100);
    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, &RunningDialog::StartJob);
}

void RunningDialog::PrepareRunning(const QString& caption, bool showStop) {
    if (!caption.isEmpty()) setWindowTitle(caption);
    captionLabel->clear();
    countLabel->clear();
    timeLabel->clear();
    stopButton->setVisible(showStop);
    stopButton->setEnabled(true);
    QApplication::processEvents();
}

int RunningDialog::RunJob(const std::function<void()>& job) {
    job_ = job;
    jobPending_ = true;
    startPosted_ = false;
    started_.start();
    CentreOn(this, parentWidget());
    return exec() == 1 ? 1 : 0;
}

bool RunningDialog::StopRequested() const {
    return !stopButton->isEnabled();
}

void RunningDialog::SetProgressText(const QString& text) {
    SetPathText(captionLabel, text);
}

void RunningDialog::SetProgressCounts(int64_t folders, int64_t files, double bytes) {
    countLabel->setText(QString::fromStdString(
        "フォルダ " + GroupedNumber(static_cast<double>(folders), 0) + "　ファイル " +
        GroupedNumber(static_cast<double>(files), 0) + "　" + FormatSizeText(bytes, 0)));
    const qint64 s = started_.isValid() ? started_.elapsed() / 1000 : 0;
    timeLabel->setText(QStringLiteral("経過 %1:%2:%3")
                           .arg(s / 3600)
                           .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0')));
}

void RunningDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refreshTimer->start();
}

// The job starts once the dialog is on screen: right after its first paint.
// The timer starts it anyway should the dialog never be painted (a window
// manager that does not map it); waiting for the timer alone kept every job,
// a measurement of a few tenths of a second among them, a tenth of a second
// longer on screen.
void RunningDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (jobPending_ && !startPosted_) {
        startPosted_ = true;
        // Posted: it runs once the dialog's picture has been flushed.
        QMetaObject::invokeMethod(this, &RunningDialog::StartJob, Qt::QueuedConnection);
    }
}

void RunningDialog::StartJob() {
    refreshTimer->stop();
    // Once per RunJob: the paint's call and the timer may both come.
    if (!jobPending_) return;
    jobPending_ = false;
    auto job = std::move(job_);
    job_ = nullptr;
    QApplication::processEvents();
    if (job) job();
    done(stopButton->isEnabled() ? 1 : 2);
}

void RunningDialog::onStop() {
    stopButton->setEnabled(false);
    QApplication::processEvents();
}

// Esc and the close box are STOP when STOP is offered; the dialog never
// closes before its job returns.
void RunningDialog::reject() {
    if (stopButton->isVisible() && stopButton->isEnabled()) onStop();
}

void RunningHooks::RunJob(const std::string& caption, const std::function<void()>& job) {
    dialog_.PrepareRunning(QString::fromStdString(caption), true);
    dialog_.RunJob(job);
}

bool RunningHooks::StopRequested() {
    return dialog_.StopRequested();
}

void RunningHooks::SetProgressText(const std::string& text) {
    dialog_.SetProgressText(QString::fromStdString(text));
}

void RunningHooks::SetProgressCounts(int64_t folders, int64_t files, double bytes) {
    dialog_.SetProgressCounts(folders, files, bytes);
}

void RunningHooks::ProcessMessages() {
    QApplication::processEvents();
}

} // namespace nrvs
