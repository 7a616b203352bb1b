#include "ui/main/FolderPickerDialog.h"

#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "ui/WindowLayout.h"
#include "ui/Locale.h"
#include "ui/main/Images.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace nrvs {

namespace {
constexpr int kPathRole = Qt::UserRole + 1;   // program path, "X:\a\"
constexpr int kFilledRole = Qt::UserRole + 2; // its folders are listed

std::string PathOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}
} // namespace

FolderPickerDialog::FolderPickerDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName("FolderPickerDialog");
    setWindowTitle(title);
    KeepOnlyCloseBox(this);
    auto* layout = new QVBoxLayout(this);
    folderTree = new QTreeWidget(this);
    folderTree->setObjectName("folderTree");
    folderTree->setHeaderHidden(true);
    folderTree->setColumnCount(1);
    folderTree->header()->setStretchLastSection(true);
    layout->addWidget(folderTree, 1);
    pathLabel = new QLabel(this);
    pathLabel->setObjectName("pathLabel");
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(pathLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName("okButton");
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton->setObjectName("cancelButton");
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    resize(420, 460);
    connect(folderTree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { Fill(item); });
    connect(folderTree, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
    connect(folderTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item->childCount() == 0) accept();
    });
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void FolderPickerDialog::Fill(QTreeWidgetItem* item) {
    if (!item || item->data(0, kFilledRole).toBool()) return;
    item->setData(0, kFilledRole, true);
    qDeleteAll(item->takeChildren());
    const std::string path = PathOf(item);
    DirListing listing;
    ListFolder(listing, path + "*.*", LIST_FOLDERS);
    SortListing(listing, false);
    const QIcon folder = ImageIcon(IMG_FOLDER);
    for (const std::string& line : listing.Entries) {
        std::string name = ParseEntry(line).Name;
        if (!name.empty() && name.back() == '\\') name.pop_back();
        auto* child = new QTreeWidgetItem(item);
        child->setText(0, ShownText(name));
        child->setIcon(0, folder);
        child->setData(0, kPathRole, QByteArray::fromStdString(path + name + "\\"));
        // Expandable only where there is something below.
        if (CountEntries(path + name + "\\*.*", LIST_FOLDERS) > 0) new QTreeWidgetItem(child);
    }
}

void FolderPickerDialog::Start(const std::string& start) {
    folderTree->clear();
    DriveTable& drives = Global().Drives;
    QTreeWidgetItem* open = nullptr;
    for (int i = 0; i < drives.ListedCount(); ++i) {
        const DriveRecord* r = drives.ListedAt(i);
        // A drive that is not here has no folders to copy into.
        if (!r || r->Offline || r->RootPath.size() < 3) continue;
        auto* item = new QTreeWidgetItem(folderTree);
        item->setText(0, ShownText(r->RootPath.substr(0, 2) + "  " + r->VolumeName));
        item->setIcon(0, ImageIcon(static_cast<int>(r->Category)));
        item->setData(0, kPathRole, QByteArray::fromStdString(r->RootPath));
        new QTreeWidgetItem(item);
        if (!start.empty() && r->RootPath[0] == start[0]) open = item;
    }
    // Down the start folder's path, one name at a time.
    size_t at = 3;
    while (open && at < start.size()) {
        folderTree->expandItem(open);
        Fill(open);
        const size_t slash = start.find('\\', at);
        const std::string want =
            start.substr(0, slash == std::string::npos ? start.size() : slash + 1);
        QTreeWidgetItem* next = nullptr;
        for (int c = 0; c < open->childCount() && !next; ++c)
            if (PathOf(open->child(c)) == want) next = open->child(c);
        if (!next) break;
        open = next;
        at = slash == std::string::npos ? start.size() : slash + 1;
    }
    if (!open && folderTree->topLevelItemCount() > 0) open = folderTree->topLevelItem(0);
    if (open) {
        folderTree->setCurrentItem(open);
        folderTree->scrollToItem(open);
    }
    SelectionChanged();
}

std::string FolderPickerDialog::Chosen() const {
    return PathOf(folderTree->currentItem());
}

void FolderPickerDialog::SelectionChanged() {
    const std::string path = Chosen();
    pathLabel->setText(ShownText(path));
    pathLabel->setToolTip(ShownText(path));
    okButton->setEnabled(!path.empty());
}

} // namespace nrvs
