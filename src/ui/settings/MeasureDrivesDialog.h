// The drives-to-measure dialog: proposes the cached drives, the current
// drive or a free choice, and hands back one "0"/"1" per listed drive.
#pragma once

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;
class QRadioButton;

namespace nrvs {

class MeasureDrivesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit MeasureDrivesDialog(QWidget* parent = nullptr);

    // Shows the dialog modally; on OK the choice is written into result and
    // true returned.
    bool Run(std::string& result);
    // Rebuilds the list and applies the proposal (as showing does).
    void Prepare();
    void ApplyProposal();
    std::string Choice() const;

    QListWidget* driveList;
    QRadioButton *cachedDrivesRadio, *currentDriveRadio, *chosenDrivesRadio;
    QPushButton *okButton, *cancelButton;
};

} // namespace nrvs
