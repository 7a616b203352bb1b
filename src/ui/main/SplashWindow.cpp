#include "ui/main/SplashWindow.h"
#include "ui/Locale.h"
#include "ui/WindowLayout.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

namespace nrvs {

QPixmap LogoPixmap() {
    QPixmap pm(200, 100);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 100);
    g.setColorAt(0, QColor(0, 0, 80));
    g.setColorAt(1, QColor(77, 93, 189));
    p.fillRect(pm.rect(), g);
    // Three bars in the list's folder, file and total colours.
    const QColor bars[] = {QColor(255, 204, 0), QColor(153, 153, 255), QColor(255, 128, 0)};
    const int lengths[] = {150, 96, 120};
    for (int i = 0; i < 3; ++i) {
        p.fillRect(25, 58 + i * 11, lengths[i], 7, bars[i]);
        p.setPen(Qt::black);
        p.drawRect(25, 58 + i * 11, 150, 7);
    }
    QFont f = UiFont(30, true);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 8, 200, 44), Qt::AlignCenter, QStringLiteral("Norvessa"));
    return pm;
}

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("SplashWindow");
    messageLabel =
        new QLabel(QStringLiteral("このフォームはグローバル変数定義用のダミーです。"), this);
    messageLabel->setObjectName("messageLabel");
    QFont bold = messageLabel->font();
    bold.setBold(true);
    messageLabel->setFont(bold);
    // The form's placeholder text: under the logo, never shown.
    messageLabel->hide();
    logoLabel = new QLabel(this);
    logoLabel->setObjectName("logoLabel");
    logoLabel->setPixmap(LogoPixmap());
    // Only the logo shows: the image at the origin, the window its size.
    logoLabel->setGeometry(0, 0, 200, 100);
    logoLabel->raise();
    setFixedSize(200, 100);
    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName("refreshTimer");
    refreshTimer->setInterval(1000);
    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, &QWidget::close);
}

void SplashWindow::ShowCentred(QWidget* over) {
    CentreOn(this, over);
    show();
    raise();
    refreshTimer->start();
}

} // namespace nrvs
