#include "ui/MessageBoxes.h"
#include "ui/Locale.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QMessageBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace nrvs {

namespace {
QMessageBox::Icon IconOf(int style) {
    switch (style & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
// The box's lines kept whole where the screen has room: a Japanese line has
// no spaces, and the box would otherwise break it anywhere, leaving "す。"
// alone on a line of its own.
void KeepLinesWhole(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) return;
    int widest = 0;
    for (const QString& line : label->text().split(u'\n'))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    const QScreen* screen =
        box.parentWidget() ? box.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 3 / 4 : 800;
    if (widest + 8 <= room) {
        label->setWordWrap(false);
        label->setMinimumWidth(widest + 8);
    }
}
} // namespace

void QtMessageUi::ShowMessage(const std::string& text, int style) {
    QMessageBox box(IconOf(style), QStringLiteral("Norvessa"), ShownText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    KeepLinesWhole(box);
    KeepOnlyCloseBox(&box);
    box.exec();
}

int QtMessageUi::AskQuestion(const std::string& text, int style) {
    QMessageBox box(IconOf(style), QStringLiteral("Norvessa"), ShownText(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    KeepLinesWhole(box);
    KeepOnlyCloseBox(&box);
    // The desktop's translations may be missing; the answers stay Japanese.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.setDefaultButton((style & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? ID_YES : ID_NO;
}

void InstallQtMessageUi() {
    static QtMessageUi ui;
    SetMessageUi(&ui);
}

} // namespace nrvs
