#include "ui/running/Sluting.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace nrvs {

TFMing::TFMing(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TFMing");
    setWindowTitle(QStringLiteral(" 実行中..."));
    setModal(true);
    setFixedSize(392, 54);
    LLing = new QLabel(this);
    LLing->setObjectName("LLing");
    LLing->setGeometry(8, 8, 377, 14);
    BTstop = new QPushButton(QStringLiteral("&STOP"), this);
    BTstop->setObjectName("BTstop");
    BTstop->setGeometry(314, 26, 75, 25);
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
    BTstop->setVisible(showStop);
    BTstop->setEnabled(true);
    QApplication::processEvents();
}

int TFMing::RunJob(const std::function<void()>& job) {
    job_ = job;
    if (QWidget* p = parentWidget()) move(p->geometry().center() - rect().center());
    return exec() == 1 ? 1 : 0;
}

bool TFMing::StopRequested() const { return !BTstop->isEnabled(); }

void TFMing::SetProgressText(const QString& text) { LLing->setText(text); }

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

// Esc is STOP when STOP is offered; the dialog never closes before its job.
void TFMing::reject() {
    if (BTstop->isVisible() && BTstop->isEnabled()) BTstopClick();
}

void RunningHooks::RunJob(const std::string& caption, const std::function<void()>& job) {
    dialog_.PrepareRunning(QString::fromStdString(caption), true);
    dialog_.RunJob(job);
}

bool RunningHooks::StopRequested() { return dialog_.StopRequested(); }

void RunningHooks::SetProgressText(const std::string& text) { dialog_.SetProgressText(QString::fromStdString(text)); }

void RunningHooks::ProcessMessages() { QApplication::processEvents(); }

} // namespace nrvs
