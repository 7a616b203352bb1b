#include "ui/main/Utmain.h"

#include "core/Utglobal.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace nrvs {

TFMmain::TFMmain(const StringList& args, QWidget* parent) : QMainWindow(parent) {
    LoadParameters(args);
    setWindowTitle(QStringLiteral(" Quorvalix - Norvessa -"));
    QFont f;
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                   QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSize(9);
    setFont(f);
    ApplyGeometry();
}

QSize TFMmain::ClampedSize(int width, int height, const QSize& screen) {
    if (screen.width() > 0 && screen.width() < width) width = screen.width();
    if (screen.height() > 0 && screen.height() < height) height = screen.height();
    return {width, height};
}

void TFMmain::ApplyGeometry() {
    GlobalState& g = Global();
    QSize screen;
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    QSize sz = ClampedSize(g.MainWidth, g.MainHeight, screen);
    g.MainWidth = sz.width();
    g.MainHeight = sz.height();
    // A saved position is used as it stands, even off the screen.
    resize(sz);
    move(g.MainLeft, g.MainTop);
}

void TFMmain::StoreGeometry() {
    GlobalState& g = Global();
    QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    g.MainWidth = r.width();
    g.MainHeight = r.height();
    g.MainLeft = frameGeometry().left();
    g.MainTop = frameGeometry().top();
}

void TFMmain::closeEvent(QCloseEvent* event) {
    if (!saved_) {
        StoreGeometry();
        SaveParameters();
        saved_ = true;
    }
    event->accept();
}

} // namespace nrvs
