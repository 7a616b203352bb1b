// What the drive monitor and the folder monitor share: a small translucent
// tool window above all others, its place, translucency and timer kept in a
// settings file of its own, saved when it closes.
#pragma once

#include "core/drives/Monitors.h"

#include <QDialog>
#include <string>

class QTimer;

namespace nrvs {

class MonitorWindow : public QDialog {
    Q_OBJECT
  public:
    // extension: of the settings file beside the executable ("mdv", "mfr").
    MonitorWindow(QWidget* main, const QString& caption, const std::string& extension);

    const std::string& SettingsFile() const { return settingsFile_; }
    const MonitorSettings& Settings() const { return settings_; }
    // The timer's step: the content's refresh, then the timer on while the
    // window is visible and off while it is not.
    virtual void onRefreshTimer() = 0;

    QTimer* refreshTimer;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Called at every show before the place is applied: the content is
    // rebuilt and the client size fixed, so that the default place can be
    // computed from the final size.
    virtual void Rebuild() {}
    // Whether the window goes by the top of the main window on first use
    // (else by its bottom).
    virtual bool OpensAtTop() const = 0;
    // Where the window goes on first use, given the main window's frame and
    // this window's frame size: where it covers none of the main window's
    // controls, beside the main window where its screen has room, else over
    // the right end of the main list's rows.
    QPoint DefaultPlace(const QRect& mainFrame, const QSize& frame) const;
    // A modal dialog comes above the monitor: while one blocks it, it is
    // not kept above other windows.
    bool event(QEvent* event) override;
    // Called when the window closes, before the settings are saved.
    virtual void Closing() {}
    void RestartTimer();
    // Moves the frame to wanted (or to the default place) once the window
    // manager has framed the window, looking up to tries times.
    void PlaceFrame(QPoint wanted, bool byDefault, int tries);

    QWidget* main_;

  private:
    std::string settingsFile_;
    MonitorSettings settings_;
};

} // namespace nrvs
