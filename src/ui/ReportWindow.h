// What the report windows (largest files and search, file types, changes)
// share: the tool window's frame, the report list, the state line, the
// 更新 button and the ドライブ全体 box, the F5 key, the folder and drive
// taken over from the main window, the drive's file index, the window's
// kept place and columns, and the bar cells drawn as the main list draws
// its graph column.
#pragma once

#include "ui/ReportLists.h"

#include "core/index/FileIndex.h"

#include <QDialog>
#include <QHeaderView>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace nrvs {

class MainWindow;
struct DriveRecord;

class ReportWindow : public QDialog {
    Q_OBJECT
  public:
    ~ReportWindow() override;

    // Reads again what the rows are made of and fills the list anew.
    virtual void Refresh() = 0;
    // What the rows are below: a folder, or empty for the whole drive.
    const std::string& Below() const { return below_; }
    // The main window shows another folder: a window that is up and shows
    // another drive (or an older measurement) fills its rows anew, from the
    // folder shown when the drive changed.
    void FollowMain();

    QCheckBox* wholeDriveCheck = nullptr;
    QPushButton* refreshButton = nullptr;
    QLabel* stateLabel = nullptr;
    QTreeWidget* reportList = nullptr;

  protected:
    // The window's name, caption and first size; the controls go into layout_.
    ReportWindow(MainWindow* main, const char* name, const QString& caption, int width, int height);

    QCheckBox* MakeWholeDriveCheck();
    QPushButton* MakeRefreshButton(const QString& tip);
    void AddStateLabel();
    // Every change of these boxes asks for the rows anew through changed.
    void WatchFilters(std::initializer_list<QComboBox*> combos,
                      std::initializer_list<QCheckBox*> checks,
                      const std::function<void()>& changed);
    void ShowState(const QString& text);
    // The column's cells show a bar and a percentage of percentBase(), of
    // the number under valueRole.
    void DrawBarsIn(int column, int valueRole, std::function<double()> percentBase);

    // The folder the main window shows (below_) and its drive.
    void TakeFolderShown();
    // Takes over the folder the main window shows, then shows the window
    // (or fills it anew when it is up) and puts the focus on focus.
    void Present(QWidget* focus);
    // The scope the rows speak of: the folder below, or the drive's root.
    static std::string ScopeText(const std::string& below, char letter);

    // True when an index for the current drive's cache is open; the reason
    // is shown when there is none.
    bool EnsureIndex();
    // Before the index is let go: nothing may read it any more.
    virtual void ReleaseIndex() {}
    // Whether the rows are of another measurement than the drive's current one.
    virtual bool OutOfDate(const DriveRecord& drive) const;

    // The kept settings, read the first time the window shows.
    virtual void LoadSettings() { loaded_ = true; }
    // Where the window stood, when it was kept; false leaves the placing to
    // the caller.
    template <class Settings> bool RestorePlace(const Settings& s) {
        if (s.Left < 0 && s.Top < 0) return false;
        setGeometry(s.Left, s.Top, s.Width, s.Height);
        return true;
    }
    template <class Settings> void RestoreColumns(const Settings& s) {
        for (int c = 0; c < static_cast<int>(s.ColumnWidths.size()); ++c)
            reportList->header()->resizeSection(c, s.ColumnWidths[static_cast<size_t>(c)]);
    }
    template <class Settings> void KeepPlace(Settings& s) const {
        const QRect g = geometry();
        s.Left = g.left();
        s.Top = g.top();
        s.Width = g.width();
        s.Height = g.height();
        for (int c = 0; c < static_cast<int>(s.ColumnWidths.size()); ++c)
            s.ColumnWidths[static_cast<size_t>(c)] = ChosenWidth(reportList, c);
    }

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

    MainWindow* main_;
    QVBoxLayout* layout_;
    bool loaded_ = false;
    std::string below_;
    char shownLetter_ = 0; // the drive below_ was taken from
    bool followPending_ = false;
    std::shared_ptr<FileIndex> index_;
    std::string indexFile_;
};

} // namespace nrvs
