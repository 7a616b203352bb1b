// The settings dialog: start-up, view, cache, measurement and file-operation
// settings, and the entry that offers the program for folders in the file
// managers. Reads the settings when shown, writes them only on OK.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace nrvs {

class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    // Loads every control from the settings (as showing does).
    void LoadControls();
    // Stores every control and creates or removes the Send To entry.
    void onOk();
    void ApplyEnabling();
    // The entry's path, fixed when the dialog is made (empty when there is none).
    const std::string& SendToFile() const { return sendTo_; }

    QCheckBox *splashCheck, *driveBarCheck, *toolbarCheck, *statusBarCheck, *sizeColumnCheck,
        *occupiedColumnCheck, *filesColumnCheck, *foldersColumnCheck, *changeColumnCheck;
    QCheckBox *multipleDrivesCheck, *askOnSearchCheck, *hardLinksOnceCheck, *keepPreviousCheck,
        *remeasureAfterCheck, *trashCheck, *sendToCheck;
    QComboBox *startDriveCombo, *sizeUnitCombo, *percentBaseCombo;
    QRadioButton *cacheAllRadio, *cacheByKindRadio, *cacheByLetterRadio;
    QRadioButton *measureManuallyRadio, *measureUnmeasuredRadio, *measureUncachedRadio,
        *measureFirstSelectionRadio, *measureEverySelectionRadio, *measureExpiredRadio;
    QListWidget *cacheKindList, *cacheLetterList;
    QLineEdit* expiryDaysEdit;
    QLabel* expiryDaysLabel;
    QPushButton *okButton, *cancelButton;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::string sendTo_;
};

} // namespace nrvs
