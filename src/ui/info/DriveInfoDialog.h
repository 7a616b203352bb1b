// The drive information dialog: the current drive's volume data as its
// record last read it.
#pragma once

#include <QDialog>

class QTableWidget;

namespace nrvs {

class DriveInfoDialog : public QDialog {
    Q_OBJECT
  public:
    explicit DriveInfoDialog(QWidget* main);

    // The twenty value cells from the current drive's record.
    void Fill();

    QTableWidget* infoTable;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Each column as wide as its widest cell and the window as wide as both.
    void FitColumns();

    QWidget* main_;
};

} // namespace nrvs
