#include "ui/info/Umonitor.h"

#include "core/Utglobal.h"
#include "ui/main/Utmain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace nrvs {

MonitorWindow::MonitorWindow(QWidget* main, const QString& caption, const std::string& extension)
    : QDialog(main), main_(main), settingsFile_(SettingsFileName(extension)) {
    setWindowTitle(caption);
    // Only a close box, above every other window. Without a compositor the
    // translucency is simply not drawn; nothing else depends on it.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    TMtimer = new QTimer(this);
    TMtimer->setObjectName("TMtimer");
    connect(TMtimer, &QTimer::timeout, this, [this] { TMtimerTimer(); });
}

void MonitorWindow::showEvent(QShowEvent* event) {
    Rebuild();
    // The frame is not known before the window manager has drawn it; the
    // main window's is the best guess for the first placement.
    QSize frame = size();
    if (main_) frame += main_->frameGeometry().size() - main_->size();
    const QRect mainFrame = main_ ? main_->frameGeometry() : QRect();
    const QPoint def = DefaultPlace(mainFrame, frame);
    settings_ = LoadMonitorSettings(settingsFile_, {def.x(), def.y(), 192, 60000});
    setWindowOpacity(UsableAlpha(settings_.Alpha) / 255.0);
    TMtimer->setInterval(UsableInterval(settings_.Interval));
    // A place on a screen that is no longer there would leave the window
    // out of reach: it is brought onto the nearest screen.
    const QRect wanted(QPoint(settings_.Left, settings_.Top), frame);
    const QRect fitted = TFMmain::FitFrame(wanted, TFMmain::ScreenOf(wanted) ?
                                                       TFMmain::ScreenOf(wanted)->availableGeometry() :
                                                       wanted);
    move(fitted.topLeft());
    QDialog::showEvent(event);
    raise();
    TMtimerTimer();
}

void MonitorWindow::hideEvent(QHideEvent* event) {
    TMtimer->stop();
    QDialog::hideEvent(event);
}

void MonitorWindow::closeEvent(QCloseEvent* event) {
    TMtimer->stop();
    Closing();
    settings_.Left = x();
    settings_.Top = y();
    SaveMonitorSettings(settingsFile_, settings_);
    QDialog::closeEvent(event);
}

void MonitorWindow::RestartTimer() {
    if (isVisible()) TMtimer->start();
    else TMtimer->stop();
}

} // namespace nrvs
