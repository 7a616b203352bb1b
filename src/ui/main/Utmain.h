// The main window.
#pragma once

#include "lib/Slib.h"

#include <QMainWindow>

namespace nrvs {

class TFMmain : public QMainWindow {
    Q_OBJECT
public:
    // Loads the parameters and applies the saved geometry.
    explicit TFMmain(const StringList& args, QWidget* parent = nullptr);

    // Width and height clamped to the available screen size.
    static QSize ClampedSize(int width, int height, const QSize& screen);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyGeometry();
    void StoreGeometry();
    bool saved_ = false;
};

} // namespace nrvs
