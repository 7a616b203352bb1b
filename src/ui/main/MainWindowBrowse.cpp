// The main window's browsing: drives, the folder tree, the list and their
// mouse and keyboard handlers.
#include "ui/main/MainWindow.h"

#include "ui/main/MainWindowParts.h"

#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/offline/Snapshot.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "platform/Paths.h"
#include "ui/DesktopOpen.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/Images.h"
#include "ui/main/RowModel.h"
#include "ui/main/SplashWindow.h"
#include "ui/running/RunningDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace nrvs {

namespace mainwindow {

QVariant TreeItem::data(int column, int role) const {
    if (role != Qt::ToolTipRole || column != 0) return QTreeWidgetItem::data(column, role);
    const QVariant own = QTreeWidgetItem::data(0, kNameRole);
    // Placeholders have no name and no tip.
    if (!own.isValid()) return {};
    std::string path;
    const QTreeWidgetItem* n = this;
    for (; n->parent(); n = n->parent())
        path = n->data(0, kNameRole).toByteArray().toStdString() + "\\" + path;
    return Q(n->data(0, kNameRole).toByteArray().toStdString() + ":\\" + path);
}

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(this, &QTreeWidget::itemExpanded, this, [this] { FitColumn(); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this] { FitColumn(); });
}

void FolderTree::FitColumn() {
    const int contents = topLevelItemCount() > 0 ? sizeHintForColumn(0) : 0;
    const int width = std::max(contents, viewport()->width());
    if (header()->sectionSize(0) != width) header()->resizeSection(0, width);
}

void FolderTree::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitColumn();
}

void FolderTree::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // The base view brings the row into view and, for a column wider than the
    // view, scrolls sideways to the column's start: a deep node would show as
    // an empty row.
    QTreeWidget::scrollTo(index, hint);
    if (!index.isValid()) return;
    const QRect cell = visualRect(index);
    if (!cell.isValid()) return;
    QScrollBar* bar = horizontalScrollBar();
    const int offset = bar->value();
    // The node's expand mark, its image and its name, in column coordinates.
    const int start = std::max(0, cell.x() + offset - indentation());
    const int end = cell.x() + offset + sizeHintForIndex(index).width();
    if (end > header()->sectionSize(0)) header()->resizeSection(0, end);
    int value = offset;
    if (end - value > viewport()->width()) value = end - viewport()->width();
    // A name longer than the view shows its beginning.
    if (start < value) value = start;
    bar->setValue(value);
}

} // namespace mainwindow

using namespace mainwindow;

void MainWindow::SelectDrive(int listedPos) {
    GlobalState& g = Global();
    DriveRecord* drive = g.Drives.ListedAt(listedPos);
    if (!drive) return;
    g.CurrentDrive = drive;
    g.Folders.Clear();
    RefreshControls();
    folderTree->clear();
    lastTreeNode_ = nullptr;
    model_->SetRows({});
    // While a drive is read the window shows it emptied, its lamp lit. A
    // drive opened again right after its measurement was read a moment ago:
    // the emptied window would only blink, and cost a paint of the whole
    // window before the measured rows are painted.
    const bool showWhileReading = !justMeasured_;
    SetDriveLamp(0, showWhileReading);
    ShowDriveStatus(*drive, nullptr);
    if (showWhileReading) QApplication::processEvents();
    folderTree->setEnabled(false);
    folderList->setEnabled(false);
    snapshotIndex_.reset();
    if (!g.Drives.ReadVolume(*drive)) {
        SetDriveLamp(2);
        RefreshControls();
        ShowMessageBox("ドライブの準備ができていません。", MB_ICONSTOP);
        return;
    }
    ++drive->SelectCount;
    SetDriveLamp(1, showWhileReading);
    if (showWhileReading) QApplication::processEvents();
    // A drive that is not here has nothing but its last measurement to show.
    if (drive->Offline || IsCached(*drive) || justMeasured_) LoadCache(g.Folders, *drive);
    if (drive->Offline) {
        FillOfflineRecord(*drive, &g.Folders);
        if (g.Folders.Count() > 0)
            snapshotIndex_ = OpenFileIndex(drive->RootPath[0], std::string(g.Folders.LineAt(0)));
    }
    ShowDriveStatus(*drive, &g.Folders);
    folderTree->setEnabled(true);
    folderList->setEnabled(true);
    FillTreeLevel(nullptr);
    if (openingPath_) return;
    OpenPath(drive->RootPath, false);
    if (!drive->Offline && ShouldMeasure(RowsShowUnmeasured(model_->Rows()), std::time(nullptr)))
        onMeasureDrive();
}

bool MainWindow::ShowsOffline() const {
    const DriveRecord* drive = Global().CurrentDrive;
    return drive && drive->Offline;
}

void MainWindow::ListShown(DirListing& listing, const std::string& path, int kind,
                           StringList* hasSubfolders) {
    if (ShowsOffline()) {
        ListSnapshot(listing, Global().Folders, snapshotIndex_.get(), path + "*.*", kind,
                     hasSubfolders);
        return;
    }
    ListFolder(listing, path + "*.*", kind);
}

void MainWindow::OpenPath(std::string path, bool force) {
    GlobalState& g = Global();
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    if (path.size() < 3) return;
    if (path.back() != '\\') path += '\\';
    std::string drivePart = path.substr(0, 3);
    drivePart[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drivePart[0])));
    std::string rest = path.substr(3);
    if (force || !g.CurrentDrive || g.CurrentDrive->RootPath != drivePart) {
        DriveRecord* target = g.Drives.ByLetter(drivePart[0] - 'A');
        if (!target || !DriveMenuItems[static_cast<size_t>(target->Index)]->isVisible()) return;
        openingPath_ = true;
        SelectDrive(DriveMenuItems[static_cast<size_t>(target->Index)]->data().toInt());
        openingPath_ = false;
        if (!g.CurrentDrive || !g.CurrentDrive->Ready) return;
    }
    g.Drives.ReadVolume(*g.CurrentDrive);
    QTreeWidgetItem* node = folderTree->topLevelItem(0);
    while (node && !rest.empty()) {
        size_t slash = rest.find('\\');
        std::string name = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem* c = node->child(i);
            if (c->data(0, kNameRole).toByteArray().toStdString() == name) {
                found = c;
                break;
            }
        }
        if (!found) break;
        // Expanding fills the level; the node itself is replaced by it.
        const QByteArray key = found->data(0, kNameRole).toByteArray();
        folderTree->expandItem(found);
        found = nullptr;
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->data(0, kNameRole).toByteArray() == key) found = node->child(i);
        if (!found) break;
        node = found;
    }
    lastTreeNode_ = nullptr;
    if (node) folderTree->setCurrentItem(node);
    onTreeClick();
    folderTree->setFocus();
}

std::string MainWindow::NodePath(const QTreeWidgetItem* node) const {
    if (!node) return {};
    std::string path;
    const QTreeWidgetItem* n = node;
    for (; n->parent(); n = n->parent())
        path = n->data(0, kNameRole).toByteArray().toStdString() + "\\" + path;
    return n->data(0, kNameRole).toByteArray().toStdString() + ":\\" + path;
}

void MainWindow::FillTreeLevel(QTreeWidgetItem* node) {
    if (fillingTree_) return;
    fillingTree_ = true;
    const DriveRecord* drive = Global().CurrentDrive;
    if (!node) {
        folderTree->clear();
        lastTreeNode_ = nullptr;
        if (!drive) {
            fillingTree_ = false;
            return;
        }
        node = new TreeItem(folderTree);
        node->setText(0, QString(QChar('A' + drive->Index)) + QStringLiteral("  ") +
                             Q(drive->VolumeName) +
                             (drive->Offline ? QStringLiteral("  [オフライン]") : QString()));
        node->setData(0, kNameRole, QByteArray(1, static_cast<char>('A' + drive->Index)));
        node->setIcon(0, ImageIcon(static_cast<int>(drive->Category)));
    }
    // Messages are not let through while a level is filled: a click handled
    // meanwhile could delete the very node being filled.
    folderTree->collapseItem(node);
    const QList<QTreeWidgetItem*> old = node->takeChildren();
    // The list's node may lie anywhere below; the next click refills.
    if (!old.isEmpty()) lastTreeNode_ = nullptr;
    qDeleteAll(old);
    const std::string path = NodePath(node);
    DirListing listing;
    StringList withSubfolders;
    const bool offline = ShowsOffline();
    ListShown(listing, path, LIST_FOLDERS, offline ? &withSubfolders : nullptr);
    SortListing(listing, false);
    const QIcon folder = NodeIcon(7, 6);
    folderTree->setSortingEnabled(false);
    for (const auto& line : listing.Entries) {
        DirEntry e = ParseEntry(line);
        std::string name = e.Name;
        if (!name.empty() && name.back() == '\\') name.pop_back();
        auto* child = new TreeItem(node);
        child->setText(0, Q(name));
        child->setData(0, kNameRole, QByteArray::fromStdString(name));
        child->setIcon(0, folder);
        const bool more =
            offline ? std::binary_search(withSubfolders.begin(), withSubfolders.end(), name)
                    : CountEntries(path + name + "\\*.*", LIST_FOLDERS) >= 1;
        if (more) new TreeItem(child);
    }
    folderTree->setSortingEnabled(true);
    folderTree->expandItem(node);
    static_cast<FolderTree*>(folderTree)->FitColumn();
    fillingTree_ = false;
}

QTreeWidgetItem* MainWindow::SelectedNode() const {
    return folderTree->currentItem();
}

int MainWindow::SelectedRow() const {
    QModelIndexList sel = folderList->selectionModel()
                              ? folderList->selectionModel()->selectedRows()
                              : QModelIndexList{};
    return sel.isEmpty() ? -1 : sel.first().row();
}

void MainWindow::onTreeClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (node && node == lastTreeNode_) return;
    lastTreeNode_ = node;
    if (node && !openingPath_) FillList(node);
    RefreshControls();
}

void MainWindow::FillList(QTreeWidgetItem* node) {
    if (node) FillListPath(NodePath(node));
}

void MainWindow::RefillShown() {
    if (QTreeWidgetItem* node = SelectedNode())
        FillList(node);
    else if (model_->rowCount() > 0)
        FillListPath(model_->RowAt(0).Caption);
}

void MainWindow::FillListPath(const std::string& path) {
    if (fillingList_ || path.empty()) return;
    fillingList_ = true;
    GlobalState& g = Global();
    DisplayComplete = false;
    model_->SetRows({});
    DirListing listing;
    if (g.CurrentDrive) listing.ClusterSize = static_cast<int32_t>(g.CurrentDrive->ClusterSize);
    ListShown(listing, path, LIST_ALL);
    auto ask = [](int count, const char* what) {
        return AskYesNo(FormatText("このフォルダには%d個の%sがあります。\n全てを表示しますか？\n\n["
                                   " はい ] 全てを表示　　[ "
                                   "いいえ ] 総計のみ表示　",
                                   count, what),
                        MB_ICONQUESTION | MB_DEFBUTTON2) == ID_YES;
    };
    FillInput in;
    in.Path = path;
    in.Entries = &listing.Entries;
    in.ListedFolders = listing.FolderCount;
    in.ListedFiles = listing.FileCount;
    in.WantFolders = listing.FolderCount > 10000 ? ask(listing.FolderCount, "フォルダ") : true;
    in.WantFiles =
        (listing.FileCount > 10000 && g.ShowFiles) ? ask(listing.FileCount, "ファイル") : true;
    if (g.CurrentDrive) {
        in.TotalBytes = g.CurrentDrive->TotalBytes;
        in.FreeBytes = g.CurrentDrive->FreeBytes;
        in.RootPath = g.CurrentDrive->RootPath;
        in.VolumeRoot = g.CurrentDrive->FolderVolume.empty();
    }
    in.ShowFiles = g.ShowFiles != 0;
    in.PercentBase = g.PercentBase;
    in.Order = {g.SortKey, g.SortDescending, g.ColumnFlags};
    FillResult r = BuildRows(in, g.Folders, PercentBaseValue);
    PercentBaseValue = r.PercentBaseValue;
    model_->SetRows(std::move(r.Rows));
    FitColumns();
    DisplayComplete = r.DisplayComplete;
    fillingList_ = false;
    // Only now, with nothing held, may a click come through.
    QApplication::processEvents();
}

std::string MainWindow::SelectedPath() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready || model_->rowCount() == 0) return {};
    std::string path = cur->RootPath;
    if (PopupContext > 0) {
        path = model_->RowAt(0).Caption;
        int row = SelectedRow();
        if (QApplication::focusWidget() == folderList && row >= 0) {
            const RowFields& f = model_->RowAt(row);
            if (f.Caption != path) path += f.Caption;
        }
    }
    PopupContext = INT_MAX;
    return path;
}

void MainWindow::onListColumnClick(int column) {
    GlobalState& g = Global();
    if (column == 0) {
        if (g.SortKey == 1)
            g.SortKey = 0;
        else
            g.SortDescending = !g.SortDescending;
    } else if (column == 3) {
        if (g.SortKey == 1)
            g.SortDescending = !g.SortDescending;
        else
            g.SortKey = 1;
    } else {
        return;
    }
    RefreshControls();
    RefillShown();
}

void MainWindow::onListDoubleClick() {
    int row = SelectedRow();
    if (row < 0) return;
    const int image = model_->RowAt(row).Image;
    if (image < 0) return;
    PopupContext = INT_MAX;
    if (image == IMG_FOLDER) {
        // The list has the focus: the selected folder's path.
        PopupContext = 2;
        OpenPath(SelectedPath(), false);
        // The keyboard stays where the eye is: in the list, on its first
        // row, not in the tree that opening the folder moved.
        folderList->setFocus();
        if (model_->rowCount() > 0) folderList->setCurrentIndex(model_->index(0, 0));
    } else if (image == IMG_FILE && !ShowsOffline()) {
        PopupContext = 2;
        onToolsOpenWith();
    }
}

void MainWindow::TreeMouseDown(QObject* source, const QPoint& globalPos, const QPoint& localPos) {
    auto* button = qobject_cast<QToolButton*>(source);
    if (button) {
        PopupContext = 0;
        const DriveRecord* cur = Global().CurrentDrive;
        if (cur && cur->Ready && button->isChecked()) popupMenu->popup(globalPos);
        return;
    }
    QTreeWidgetItem* node = folderTree->itemAt(localPos);
    folderTree->setCurrentItem(node);
    if (!node) folderTree->clearSelection();
    onTreeClick();
    PopupContext = 1;
    if (node) popupMenu->popup(globalPos);
}

void MainWindow::ListMouseDown(const QPoint& globalPos, const QPoint& localPos) {
    QModelIndex idx = folderList->indexAt(localPos);
    if (!idx.isValid()) {
        PopupContext = 2;
        return;
    }
    // The menu is built for the row under the pointer: it is focused and
    // selected first, not after the view handles the press (the focus and
    // the selection would still be the tree's and the previous row's).
    folderList->setFocus(Qt::MouseFocusReason);
    folderList->setCurrentIndex(idx);
    PopupContext = 2;
    const int image = model_->RowAt(idx.row()).Image;
    if (image >= 0 && image != IMG_FILE_TOTAL && image != IMG_FOLDER_TOTAL)
        popupMenu->popup(globalPos);
}

void MainWindow::TreeKey(int key) {
    QTreeWidgetItem* node = SelectedNode();
    if (!node) return;
    if (key == Qt::Key_Right) {
        if (!node->isExpanded() && node->childCount() > 0)
            folderTree->expandItem(node);
        else if (node->childCount() > 0)
            folderTree->setCurrentItem(node->child(0));
    } else if (key == Qt::Key_Left) {
        if (node->isExpanded())
            folderTree->collapseItem(node);
        else if (node->parent())
            folderTree->setCurrentItem(node->parent());
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == folderList->viewport() && started_)
        FitColumns();
    if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::RightButton) {
            if (watched == folderTree->viewport() || qobject_cast<QToolButton*>(watched)) {
                TreeMouseDown(watched, me->globalPosition().toPoint(), me->position().toPoint());
                return qobject_cast<QToolButton*>(watched) != nullptr;
            }
            if (watched == folderList->viewport()) {
                ListMouseDown(me->globalPosition().toPoint(), me->position().toPoint());
                return false;
            }
        }
    }
    if (event->type() == QEvent::KeyPress && watched == folderTree) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Right || ke->key() == Qt::Key_Left) {
            TreeKey(ke->key());
            return true;
        }
        if (ke->key() == Qt::Key_Backspace) {
            if (QTreeWidgetItem* n = SelectedNode(); n && n->parent())
                folderTree->setCurrentItem(n->parent());
            return true;
        }
    }
    if (event->type() == QEvent::KeyRelease && watched == folderTree) onTreeClick();
    if (event->type() == QEvent::KeyPress && watched == folderList) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            if (SelectedRow() >= 0 && model_->RowAt(SelectedRow()).Image == IMG_FOLDER)
                onListDoubleClick();
            return true;
        }
        if (ke->key() == Qt::Key_Backspace) {
            QTreeWidgetItem* n = SelectedNode();
            if (n && n->parent()) {
                folderTree->setCurrentItem(n->parent());
                onTreeClick();
                folderList->setFocus();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace nrvs
