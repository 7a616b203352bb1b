#include "ui/Uimsg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace nrvs {

namespace {
QMessageBox::Icon IconOf(int style) {
    switch (style & 0xF0) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}
} // namespace

void QtMessageUi::ShowMessage(const std::string& text, int style) {
    QMessageBox box(IconOf(style), QStringLiteral("Norvessa"), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

int QtMessageUi::AskQuestion(const std::string& text, int style) {
    QMessageBox box(IconOf(style), QStringLiteral("Norvessa"), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
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
