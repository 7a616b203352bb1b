#include "ui/main/PropertiesDialog.h"
#include "ui/WindowLayout.h"
#include "ui/Locale.h"

#include "core/GlobalState.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace nrvs {

PropertiesDialog::PropertiesDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("PropertiesDialog");
    KeepOnlyCloseBox(this);
    auto* layout = new QVBoxLayout(this);
    propertyList = new QTreeWidget(this);
    propertyList->setObjectName("propertyList");
    propertyList->setColumnCount(2);
    propertyList->setHeaderHidden(true);
    propertyList->setRootIsDecorated(false);
    propertyList->setSelectionMode(QAbstractItemView::SingleSelection);
    propertyList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    propertyList->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    propertyList->header()->setStretchLastSection(true);
    layout->addWidget(propertyList);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName("okButton");
    okButton->setDefault(true);
    layout->addWidget(okButton, 0, Qt::AlignRight);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    resize(460, 420);
}

bool PropertiesDialog::Load(const std::string& programPath) {
    GlobalState& g = Global();
    propertyList->clear();
    std::vector<PropertyRow> rows = ItemProperties(programPath, g.Folders, g.CurrentDrive);
    if (rows.empty()) return false;
    setWindowTitle(ShownText(rows.front().Value) + QStringLiteral(" のプロパティ"));
    for (const auto& r : rows) {
        auto* item = new QTreeWidgetItem(propertyList);
        item->setText(0, QString::fromStdString(r.Caption));
        item->setText(1, ShownText(r.Value));
        item->setToolTip(1, ShownText(r.Value));
    }
    return true;
}

} // namespace nrvs
