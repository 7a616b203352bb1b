#include "ui/info/MonitorWindow.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "ui/main/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QWindow>

namespace nrvs {

MonitorWindow::MonitorWindow(QWidget* main, const QString& caption, const std::string& extension)
    : QDialog(main), main_(main), settingsFile_(SettingsFileName(extension)) {
    setWindowTitle(caption);
    // Only a close box, above every other window. Without a compositor the
    // translucency is simply not drawn; nothing else depends on it.
    KeepOnlyCloseBox(this, Qt::WindowStaysOnTopHint);
    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName("refreshTimer");
    connect(refreshTimer, &QTimer::timeout, this, [this] { onRefreshTimer(); });
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
    refreshTimer->setInterval(UsableInterval(settings_.Interval));
    // A place on a screen that is no longer there would leave the window
    // out of reach: it is brought onto the nearest screen.
    const QRect wanted(QPoint(settings_.Left, settings_.Top), frame);
    const QRect fitted = MainWindow::FitFrame(
        wanted,
        MainWindow::ScreenOf(wanted) ? MainWindow::ScreenOf(wanted)->availableGeometry() : wanted);
    move(fitted.topLeft());
    QDialog::showEvent(event);
    raise();
    onRefreshTimer();
    // Once the window manager has framed the window its frame is known: the
    // place is applied again to the frame, and a default place is worked
    // out again from the real frame size. The frame comes when the window
    // manager gets to it, so it is looked for a few times.
    const bool byDefault = settings_.Left == def.x() && settings_.Top == def.y();
    PlaceFrame(fitted.topLeft(), byDefault, 10);
}

void MonitorWindow::PlaceFrame(QPoint wanted, bool byDefault, int tries) {
    QTimer::singleShot(200, this, [this, wanted, byDefault, tries] {
        if (!isVisible()) return;
        const bool framed = frameGeometry() != geometry();
        if (!framed && tries > 1) {
            PlaceFrame(wanted, byDefault, tries - 1);
            return;
        }
        QRect target(wanted, frameGeometry().size());
        if (byDefault && main_)
            target.moveTopLeft(DefaultPlace(main_->frameGeometry(), target.size()));
        if (const QScreen* screen = MainWindow::ScreenOf(target))
            target = MainWindow::FitFrame(target, screen->availableGeometry());
        if (frameGeometry().topLeft() != target.topLeft()) move(target.topLeft());
    });
}

QPoint MonitorWindow::DefaultPlace(const QRect& mainFrame, const QSize& frame) const {
    const bool top = OpensAtTop();
    const QScreen* screen = MainWindow::ScreenOf(mainFrame);
    if (screen) {
        const QRect room = screen->availableGeometry();
        const int y = top ? mainFrame.top() : mainFrame.bottom() + 1 - frame.height();
        if (room.right() - mainFrame.right() >= frame.width()) return {mainFrame.right() + 1, y};
        if (mainFrame.left() - room.left() >= frame.width())
            return {mainFrame.left() - frame.width(), y};
    }
    // No room beside it: over the rows of the main list, clear of its
    // headings and scroll bars, in the corner by the list's right edge.
    const auto* main = qobject_cast<const MainWindow*>(main_);
    if (main && main->isVisible() && main->folderList) {
        const QWidget* rows = main->folderList->viewport();
        const QRect area(rows->mapToGlobal(QPoint(0, 0)), rows->size());
        return {area.right() + 1 - frame.width(),
                top ? area.top() : area.bottom() + 1 - frame.height()};
    }
    return {mainFrame.right() + 1 - frame.width(),
            top ? mainFrame.top() : mainFrame.bottom() + 1 - frame.height()};
}

bool MonitorWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) {
        // The native window's flag alone: the widget's flags would make a
        // new native window, hidden and placed anew.
        // Setting the flags sets the native window's type anew: the
        // toolbar type that keeps the frame to its close box is set again,
        // and once more after a while, as openbox may take the types of the
        // flags after the first.
        if (QWindow* handle = windowHandle()) {
            handle->setFlag(Qt::WindowStaysOnTopHint, event->type() == QEvent::WindowUnblocked);
            auto toolbarType = [this] {
                setAttribute(Qt::WA_X11NetWmWindowTypeToolBar, false);
                setAttribute(Qt::WA_X11NetWmWindowTypeToolBar, true);
            };
            toolbarType();
            QTimer::singleShot(300, this, toolbarType);
        }
    }
    return QDialog::event(event);
}

void MonitorWindow::hideEvent(QHideEvent* event) {
    refreshTimer->stop();
    QDialog::hideEvent(event);
}

void MonitorWindow::closeEvent(QCloseEvent* event) {
    refreshTimer->stop();
    Closing();
    settings_.Left = x();
    settings_.Top = y();
    if (!SaveMonitorSettings(settingsFile_, settings_)) TellSaveFailed(settingsFile_);
    QDialog::closeEvent(event);
}

void MonitorWindow::RestartTimer() {
    if (isVisible())
        refreshTimer->start();
    else
        refreshTimer->stop();
}

} // namespace nrvs
