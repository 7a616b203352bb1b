// The export dialog: the tree of the drive being browsed and the main list as
// shown, each as HTML or CSV, with the choices and recent file names of each
// half kept in norvessa.ept and norvessa.epl.
#pragma once

#include "core/exchange/Export.h"

#include <QDialog>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace nrvs {

class MainWindow;

class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    // main supplies the list's rows; without it the list is empty.
    explicit ExportDialog(MainWindow* main);

    void FormShow(bool shown);
    void onTreeCheck();
    void onListCheck();
    void onTreeBrowse();
    void onListBrowse();
    void onOk();
    bool ExportTree();
    bool ExportList();

    // Runs the save dialog; tests put a scripted answer here.
    std::function<int(QFileDialog*)> RunSaveDialog;

    QCheckBox *treeCheck, *treeSizeCheck, *treeFilesCheck, *treeFoldersCheck, *treeLinkCheck,
        *treeSpreadsheetCheck;
    QCheckBox *listCheck, *listSizeCheck, *listFilesCheck, *listFoldersCheck, *listLinkCheck,
        *listSpreadsheetCheck;
    QGroupBox *treeGroup, *listGroup;
    QLabel *treeFileLabel, *listFileLabel;
    QRadioButton *treeHtmlRadio, *treeCsvRadio, *listHtmlRadio, *listCsvRadio;
    // The measured tree in ncdu's format, for ncdu -f and gdu -f.
    QRadioButton* treeNcduRadio = nullptr;
    QComboBox *treeFileCombo, *listFileCombo;
    QToolButton *treeBrowseButton, *listBrowseButton;
    QPushButton *okButton = nullptr, *cancelButton = nullptr;
    QFileDialog* saveDialog;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Section {
        QCheckBox* box;
        QCheckBox *size, *files, *folders, *link;
        QCheckBox* spreadsheet; // CSV for spreadsheets
        QLabel* label;
        QRadioButton *html, *csv;
        QRadioButton* ncdu = nullptr; // the tree only
        QComboBox* names;
        QToolButton* browse;
        char fileMark; // 't' or 'l'
    };
    Section tree_, list_;

    void BuildSection(Section& s, QGroupBox* group, const QString& fileCaption,
                      const QString& htmlCaption, const QString& csvCaption,
                      const QString& sizeCaption, const QString& filesCaption,
                      const QString& foldersCaption, const QString& linkCaption);
    void LoadSection(Section& s);
    void EnableSection(Section& s);
    void Browse(Section& s);
    void RecordSection(Section& s);
    ExportColumns Columns(const Section& s) const;
    ExportContext Context() const;

    MainWindow* main_;
};

} // namespace nrvs
