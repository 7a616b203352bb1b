// The drive monitor: every fixed disk's capacity, free space and free share,
// refreshed on a timer, in a small window above all others.
#pragma once

#include "ui/info/MonitorWindow.h"

class QTreeWidget;

namespace nrvs {

class DriveMonitorWindow : public MonitorWindow {
    Q_OBJECT
  public:
    explicit DriveMonitorWindow(QWidget* main);

    void onRefreshTimer() override;
    // Every row's volume read afresh.
    void Refresh();

    QWidget* panel;
    QTreeWidget* driveList;

  protected:
    void Rebuild() override;
    bool OpensAtTop() const override { return true; }
};

} // namespace nrvs
