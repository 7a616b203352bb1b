#include "ui/running/RunningDialog.h"
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

TFMing::TFMing(QWidget* parent) : QDialog(parent, kRunningFlags) {
    setObjectName("TFMing");
    setWindowTitle(QStringLiteral(" 実行中..."));
    setModal(true);
    LLing = new QLabel(this);
    LLing->setObjectName("LLing");
    // The line is as high as the font needs (a 12-pixel line cuts off the
    // descenders of a 9-point text); the button and the dialog move down
    // with it.
    const int lineHeight = std::max(12, LLing->fontMetrics().height() + 2);
    LLing->setGeometry(8, 8, 377, lineHeight);
    // Below the folder: what has been counted, and beside STOP the time.
    LLcount = new QLabel(this);
    LLcount->setObjectName("LLcount");
    LLcount->setGeometry(8, 8 + lineHeight + 2, 377, lineHeight);
    const int stopTop = std::max(26, 8 + 2 * lineHeight + 2 + 4);
    LLtime = new QLabel(this);
    LLtime->setObjectName("LLtime");
    LLtime->setGeometry(8, stopTop + (25 - lineHeight) / 2, 300, lineHeight);
    setFixedSize(392, stopTop + 25 + 3);
    // Some window managers (openbox) keep minimise and maximise on every
    // utility window whatever the hints ask; a toolbar window gets only its
    // close box there, and the others read the type list on to "utility".
    // The type is taken from the native window, so that is made first.
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    BTstop = new QPushButton(QStringLiteral("&STOP"), this);
    BTstop->setObjectName("BTstop");
    BTstop->setGeometry(314, stopTop, 75, 25);
    BTstop->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    BTstop->setAutoDefault(false);
    connect(BTstop, &QPushButton::clicked, this, &TFMing::BTstopClick);
    TMtimer = new QTimer(this);
    TMtimer->setObjectName("TMtimer");
    TMtimer->setInterval(100);
    TMtimer->setSingleShot(true);
    connect(TMtimer, &QTimer::timeout, this, &TFMing::TMtimerTimer);
}

void TFMing::PrepareRunning(const QString& caption, bool showStop) {
    if (!caption.isEmpty()) setWindowTitle(caption);
    LLing->clear();
    LLcount->clear();
    LLtime->clear();
    BTstop->setVisible(showStop);
    BTstop->setEnabled(true);
    QApplication::processEvents();
}

int TFMing::RunJob(const std::function<void()>& job) {
    job_ = job;
    started_.start();
    CentreOn(this, parentWidget());
    return exec() == 1 ? 1 : 0;
}

bool TFMing::StopRequested() const { return !BTstop->isEnabled(); }

void TFMing::SetProgressText(const QString& text) { SetPathText(LLing, text); }

void TFMing::SetProgressCounts(int64_t folders, int64_t files, double bytes) {
    LLcount->setText(QString::fromStdString("フォルダ " + GroupedNumber(static_cast<double>(folders), 0) + "　ファイル " +
                                            GroupedNumber(static_cast<double>(files), 0) + "　" + FormatSizeText(bytes, 0)));
    const qint64 s = started_.isValid() ? started_.elapsed() / 1000 : 0;
    LLtime->setText(QStringLiteral("経過 %1:%2:%3")
                        .arg(s / 3600)
                        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(s % 60, 2, 10, QLatin1Char('0')));
}

void TFMing::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TMtimer->start();
}

void TFMing::TMtimerTimer() {
    TMtimer->stop();
    QApplication::processEvents();
    if (job_) {
        auto job = std::move(job_);
        job_ = nullptr;
        job();
    }
    done(BTstop->isEnabled() ? 1 : 2);
}

void TFMing::BTstopClick() {
    BTstop->setEnabled(false);
    QApplication::processEvents();
}

// Esc and the close box are STOP when STOP is offered; the dialog never
// closes before its job returns.
void TFMing::reject() {
    if (BTstop->isVisible() && BTstop->isEnabled()) BTstopClick();
}

void RunningHooks::RunJob(const std::string& caption, const std::function<void()>& job) {
    dialog_.PrepareRunning(QString::fromStdString(caption), true);
    dialog_.RunJob(job);
}

bool RunningHooks::StopRequested() { return dialog_.StopRequested(); }

void RunningHooks::SetProgressText(const std::string& text) { dialog_.SetProgressText(QString::fromStdString(text)); }

void RunningHooks::SetProgressCounts(int64_t folders, int64_t files, double bytes) {
    dialog_.SetProgressCounts(folders, files, bytes);
}

void RunningHooks::ProcessMessages() { QApplication::processEvents(); }

} // namespace nrvs
