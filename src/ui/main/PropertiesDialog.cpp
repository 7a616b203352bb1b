#include "ui/main/PropertiesDialog.h"
#include "ui/Locale.h"

#include "core/GlobalState.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace nrvs {

TFMprop::TFMprop(QWidget* parent) : QDialog(parent) {
    setObjectName("TFMprop");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    LVprop = new QTreeWidget(this);
    LVprop->setObjectName("LVprop");
    LVprop->setColumnCount(2);
    LVprop->setHeaderHidden(true);
    LVprop->setRootIsDecorated(false);
    LVprop->setSelectionMode(QAbstractItemView::SingleSelection);
    LVprop->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVprop->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    LVprop->header()->setStretchLastSection(true);
    layout->addWidget(LVprop);
    BTok = new QPushButton(QStringLiteral("OK"), this);
    BTok->setObjectName("BTok");
    BTok->setDefault(true);
    layout->addWidget(BTok, 0, Qt::AlignRight);
    connect(BTok, &QPushButton::clicked, this, &QDialog::accept);
    resize(460, 420);
}

bool TFMprop::Load(const std::string& programPath) {
    GlobalState& g = Global();
    LVprop->clear();
    std::vector<PropertyRow> rows = ItemProperties(programPath, g.Folders, g.CurrentDrive);
    if (rows.empty()) return false;
    setWindowTitle(ShownText(rows.front().Value) + QStringLiteral(" のプロパティ"));
    for (const auto& r : rows) {
        auto* item = new QTreeWidgetItem(LVprop);
        item->setText(0, QString::fromStdString(r.Caption));
        item->setText(1, ShownText(r.Value));
        item->setToolTip(1, ShownText(r.Value));
    }
    return true;
}

} // namespace nrvs
