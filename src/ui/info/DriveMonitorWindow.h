// The drive monitor: every fixed disk's capacity, free space and free share,
// refreshed on a timer, in a small window above all others.
#pragma once

#include "ui/info/MonitorWindow.h"

class QTreeWidget;

namespace nrvs {

class TFMmdrv : public MonitorWindow {
    Q_OBJECT
public:
    explicit TFMmdrv(QWidget* main);

    void TMtimerTimer() override;
    // Every row's volume read afresh.
    void Refresh();

    QWidget* PLpanel;
    QTreeWidget* LVlist;

protected:
    void Rebuild() override;
    QPoint DefaultPlace(const QRect& mainFrame, const QSize& frame) const override;
};

} // namespace nrvs
