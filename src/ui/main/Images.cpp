#include "ui/main/Images.h"

#include <QString>

#include <array>
#include <mutex>

// Outside the namespace: the macro declares a global function.
static void InitImageResources() {
    Q_INIT_RESOURCE(images);
}

namespace nrvs {

namespace {

// The resources sit in a static library, whose registration the linker drops
// unless someone calls the initialiser; doing it here spares every caller.
void EnsureResources() {
    static std::once_flag once;
    std::call_once(once, InitImageResources);
}

} // namespace

QIcon ImageIcon(int index) {
    if (index < 0 || index > kLastImageIndex) return QIcon();
    EnsureResources();
    // Loaded once and never freed: pixmaps must not outlive the application
    // object, which a static destructor would risk.
    static auto* icons = new std::array<QIcon, kLastImageIndex + 1>;
    QIcon& icon = (*icons)[index];
    if (icon.isNull())
        icon = QIcon(
            QPixmap(QStringLiteral(":/images/img%1.png").arg(index, 2, 10, QLatin1Char('0'))));
    return icon;
}

QIcon NodeIcon(int normal, int selected) {
    const QIcon a = ImageIcon(normal);
    const QIcon b = ImageIcon(selected);
    if (a.isNull() || b.isNull()) return a;
    QIcon icon;
    // The views ask for the Selected mode of a selected item's icon, in both
    // states of the on/off pair.
    for (QIcon::State state : {QIcon::Off, QIcon::On}) {
        icon.addPixmap(a.pixmap(16, 16), QIcon::Normal, state);
        icon.addPixmap(a.pixmap(16, 16), QIcon::Active, state);
        icon.addPixmap(b.pixmap(16, 16), QIcon::Selected, state);
    }
    return icon;
}

QPixmap LampPixmap(int index) {
    if (index < 0 || index > 2) return QPixmap();
    EnsureResources();
    static auto* lamps = new std::array<QPixmap, 3>;
    QPixmap& lamp = (*lamps)[index];
    if (lamp.isNull()) lamp = QPixmap(QStringLiteral(":/images/lamp%1.png").arg(index));
    return lamp;
}

} // namespace nrvs
