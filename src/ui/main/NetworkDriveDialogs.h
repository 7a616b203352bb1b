// Connecting and disconnecting network drives: a share address (or a local
// folder standing for one) and a free letter; disconnecting frees the letter.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace nrvs {

class NetworkConnectDialog : public QDialog {
    Q_OBJECT
  public:
    explicit NetworkConnectDialog(QWidget* parent = nullptr);
    // Shows the dialog; 0 when a drive was connected (the drive map holds it),
    // 1 when cancelled or failed (after saying why).
    int Run();
    // Connects without the dialog: mounts the address with gio where it is
    // no local folder and puts the folder into the drive map. 0 on success.
    static int Connect(const std::string& address, int letter, std::string& why);

    QLineEdit* shareEdit;
    QComboBox* letterCombo;
    QPushButton *browseButton, *okButton, *cancelButton;

  private:
    void BrowseForFolder();
};

class NetworkDisconnectDialog : public QDialog {
    Q_OBJECT
  public:
    explicit NetworkDisconnectDialog(QWidget* parent = nullptr);
    // 0 when a letter was freed, 1 when cancelled or there was none.
    int Run();
    static int Disconnect(int letter);

    QComboBox* driveCombo;
    QPushButton *okButton, *cancelButton;
};

} // namespace nrvs
