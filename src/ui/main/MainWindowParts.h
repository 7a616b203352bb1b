// Pieces shared by the files of the main window.
#pragma once

#include "core/GlobalState.h"
#include "ui/main/Images.h"
#include "ui/Locale.h"

#include <QAction>
#include <QFont>
#include <QKeySequence>
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <string>

namespace nrvs::mainwindow {

// Node data: the folder's name as the lister gave it (bytes kept exactly).
inline constexpr int kNameRole = Qt::UserRole + 7;

inline QString Q(const std::string& s) {
    return ShownText(s);
}

inline bool CurrentDriveReady() {
    const DriveRecord* cur = Global().CurrentDrive;
    return cur && cur->Ready;
}

// Tree nodes sort as the desktop sorts names: case ignored. A node's tip is
// its folder's whole path, for names too deep to read beside the tree.
class TreeItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        int c = text(0).compare(other.text(0), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : text(0) < other.text(0);
    }
    QVariant data(int column, int role) const override;
};

// The folder tree: one column as wide as its widest node (at least the
// view), scrolled sideways so that the node it is asked to show has its name
// in view, not only its row.
class FolderTree : public QTreeWidget {
  public:
    explicit FolderTree(QWidget* parent);
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    // Sizes the column to the nodes now shown.
    void FitColumn();

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

inline QAction* MakeAction(QObject* parent, const char* name, const QString& caption, int image,
                           const QKeySequence& shortcut = {}) {
    auto* a = new QAction(caption, parent);
    a->setObjectName(QString::fromLatin1(name));
    if (image >= 0) a->setIcon(ImageIcon(image));
    a->setProperty("image", image);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

inline QFont ListFont() {
    return UiFont(9);
}

} // namespace nrvs::mainwindow
