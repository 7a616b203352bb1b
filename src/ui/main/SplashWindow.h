// The start-up splash window: the logo alone, on top for one second.
#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace nrvs {

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SplashWindow(QWidget* parent = nullptr);
    // Centred on the main window, top-most; closes itself after 1000 ms.
    void ShowCentred(QWidget* over);

    QLabel* messageLabel;
    QLabel* logoLabel;
    QTimer* refreshTimer;
};

// The 200 by 100 logo, drawn rather than loaded.
QPixmap LogoPixmap();

} // namespace nrvs
