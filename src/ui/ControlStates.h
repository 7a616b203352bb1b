// State strings of control groups ("0"/"1" per control) and enabling a
// control together with its visual cue.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>

class QAbstractButton;
class QAction;
class QListWidget;
class QWidget;

namespace nrvs {

// Check boxes, radio buttons and toggle buttons alike: "1" when checked/down.
QString ButtonsState(const QList<QAbstractButton*>& buttons);
// Each button checked when its character is not "0"; stays within the text.
void SetButtonsState(const QString& state, const QList<QAbstractButton*>& buttons);
QString CheckListState(const QListWidget* list);
void SetCheckListState(const QString& state, QListWidget* list);

// Labels take their buddy along; input controls take the colour of what
// surrounds them when disabled and the window colour when enabled.
void EnableWithCue(QWidget* control, bool on);
// Visible; enabled with its icon when on, disabled without icon when off.
void MenuItemOnOff(QAction* item, bool on, const QIcon& icon);

} // namespace nrvs
