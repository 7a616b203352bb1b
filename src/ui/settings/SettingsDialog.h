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

class TFMset : public QDialog {
    Q_OBJECT
public:
    explicit TFMset(QWidget* parent = nullptr);

    // Loads every control from the settings (as showing does).
    void LoadControls();
    // Stores every control and creates or removes the Send To entry.
    void BTokClick();
    void ApplyEnabling();
    // The entry's path, fixed when the dialog is made (empty when there is none).
    const std::string& SendToFile() const { return sendTo_; }

    QCheckBox *CHeflash, *CHvdrv, *CHvtool, *CHvstatus, *CHvsize, *CHvarea, *CHvfile, *CHvfldr, *CHvchg;
    QCheckBox *CHmmulti, *CHmask, *CHmlink, *CHmprev, *CHarenw, *CHatrsh, *CHsend;
    QComboBox *CBedrv, *CBvunit, *CBvbase;
    QRadioButton *RBcall, *RBckind, *RBcdrv;
    QRadioButton *RBmman, *RBmyet, *RBmnot, *RBm1st, *RBmsel, *RBmlim;
    QListWidget *LBckind, *LBcdrv;
    QLineEdit* EDmlim;
    QLabel* LLmlim;
    QPushButton *BTok, *BTng;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string sendTo_;
};

} // namespace nrvs
