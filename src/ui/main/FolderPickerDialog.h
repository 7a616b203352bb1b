// The folder browser of copy and move: the drives by letter, their folders
// in program form, opened at a given folder. Only a folder of a drive that
// is here can be chosen.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace nrvs {

class FolderPickerDialog : public QDialog {
    Q_OBJECT
  public:
    FolderPickerDialog(const QString& title, QWidget* parent);

    // Fills the drives and opens the tree down to start ("X:\a\b\"), as far
    // as its folders exist.
    void Start(const std::string& start);
    // The program path of the selected folder ("X:\a\"), empty for none.
    std::string Chosen() const;

    QTreeWidget* folderTree;
    QLabel* pathLabel;
    QPushButton *okButton, *cancelButton;

  private:
    void Fill(QTreeWidgetItem* item);
    void SelectionChanged();
};

} // namespace nrvs
