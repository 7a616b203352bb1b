// The file types window: the files of the folder shown (or of the whole
// drive) from the drive's file index, one row per extension or per kind,
// with their counts, sizes and share of the occupied size. A row chosen
// lights its files in the treemap; a double click lists them in the
// largest-files window.
#pragma once

#include "core/index/FileKinds.h"
#include "ui/ReportWindow.h"

#include <QIcon>
#include <string>

class QComboBox;
class QTreeWidgetItem;

namespace nrvs {

class MainWindow;
struct TreemapHighlight;

class TypesWindow : public ReportWindow {
    Q_OBJECT
  public:
    explicit TypesWindow(MainWindow* main);
    ~TypesWindow() override;

    // Shows the window for the folder the main window shows.
    void OpenTypes();
    // Reads the index again when a measurement has replaced it, and fills
    // the list anew.
    void Refresh() override;
    bool ByKind() const;
    // The occupied size of all rows, the whole of the 割合 column.
    uint64_t OccupiedTotal() const { return total_; }
    // The treemap's highlight for a row.
    TreemapHighlight HighlightOf(const QTreeWidgetItem* item) const;
    // Double click: the row's files in the largest-files window.
    void OpenInFiles(const QTreeWidgetItem* item);

    QComboBox* groupCombo;

  protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LoadSettings() override;
    void SaveSettings();
    void Fill();
    void SelectionChanged();
    void ClearHighlight();

    uint64_t total_ = 0;
};

// The toolbar's picture of the command: bars of several colours.
QIcon TypesIcon();

} // namespace nrvs
