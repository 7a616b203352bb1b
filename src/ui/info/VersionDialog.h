// The version dialog: the program's name and version from the build, the
// computer and the user it runs under.
#pragma once

#include <QDialog>

class QLabel;

namespace nrvs {

class VersionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit VersionDialog(QWidget* main);

    QLabel* iconLabel;
    QLabel* copyrightLabel;
    QLabel* computerLabel;
    QLabel* computerNameLabel;
    QLabel* userLabel;
    QLabel* userNameLabel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* main_;
};

} // namespace nrvs
