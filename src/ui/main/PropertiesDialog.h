// The property dialog of a drive, folder or file: read-only rows of what the
// disk and the measurement say about it.
#pragma once

#include "core/views/Properties.h"

#include <QDialog>

class QTreeWidget;
class QPushButton;

namespace nrvs {

class PropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PropertiesDialog(QWidget* parent = nullptr);
    // Fills the rows for a program-form path; false (and nothing shown) when
    // the item cannot be found.
    bool Load(const std::string& programPath);

    QTreeWidget* propertyList;
    QPushButton* okButton;
};

} // namespace nrvs
