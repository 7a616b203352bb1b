// The version dialog: the program's name and version from the build, the
// computer and the user it runs under.
#pragma once

#include <QDialog>

class QLabel;

namespace nrvs {

class TFMver : public QDialog {
    Q_OBJECT
public:
    explicit TFMver(QWidget* main);

    QLabel* IMicon;
    QLabel* LLcpy;
    QLabel* LLcom;
    QLabel* LLcomstr;
    QLabel* LLusr;
    QLabel* LLusrstr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* main_;
};

} // namespace nrvs
