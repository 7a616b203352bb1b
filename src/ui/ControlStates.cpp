#include "ui/ControlStates.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextEdit>

namespace nrvs {

QString ButtonsState(const QList<QAbstractButton*>& buttons) {
    QString s;
    for (const auto* b : buttons)
        s += (b && b->isChecked()) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

void SetButtonsState(const QString& state, const QList<QAbstractButton*>& buttons) {
    for (int i = 0; i < buttons.size() && i < state.size(); ++i)
        if (buttons[i]) buttons[i]->setChecked(state[i] != QLatin1Char('0'));
}

QString CheckListState(const QListWidget* list) {
    QString s;
    for (int i = 0; list && i < list->count(); ++i)
        s += list->item(i)->checkState() == Qt::Checked ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

void SetCheckListState(const QString& state, QListWidget* list) {
    for (int i = 0; list && i < list->count() && i < state.size(); ++i)
        list->item(i)->setCheckState(state[i] != QLatin1Char('0') ? Qt::Checked : Qt::Unchecked);
}

namespace {
bool IsInput(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QListWidget*>(w) ||
           qobject_cast<const QComboBox*>(w);
}
} // namespace

void EnableWithCue(QWidget* control, bool on) {
    if (!control) return;
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setEnabled(on);
        if (label->buddy()) EnableWithCue(label->buddy(), on);
        return;
    }
    if (IsInput(control)) {
        QPalette pal = control->palette();
        QColor colour = control->palette().color(QPalette::Active, QPalette::Button);
        if (on) {
            colour = control->style() ? control->style()->standardPalette().color(QPalette::Active,
                                                                                  QPalette::Base)
                                      : QColor(Qt::white);
        } else {
            for (QWidget* p = control->parentWidget(); p; p = p->parentWidget()) {
                if (!IsInput(p)) {
                    colour = p->palette().color(p->backgroundRole());
                    break;
                }
            }
        }
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, QPalette::Base, colour);
        control->setPalette(pal);
        control->setEnabled(on);
        return;
    }
    control->setEnabled(on);
}

void MenuItemOnOff(QAction* item, bool on, const QIcon& icon) {
    if (!item) return;
    item->setVisible(true);
    item->setEnabled(on);
    item->setIcon(on ? icon : QIcon());
}

} // namespace nrvs
