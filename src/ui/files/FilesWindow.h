// The largest-files window and the search: files (and, when searching,
// folders) of the drive's file index, the largest first, with filters; the
// list's file commands on the chosen rows. The query runs on a thread of its
// own so that typing never waits for it.
#pragma once

#include "core/index/FileIndex.h"
#include "core/views/FilesView.h"
#include "ui/ReportWindow.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QTimer;

namespace nrvs {

class MainWindow;

class FilesWindow : public ReportWindow {
    Q_OBJECT
  public:
    explicit FilesWindow(MainWindow* main);
    ~FilesWindow() override;

    // Shows the window for the folder the main window shows; search: the
    // name box first, folders listed too.
    void OpenLargest();
    void OpenSearch();
    // The largest files of the given extensions ("jpg, png"; empty: all),
    // below the folder shown or on the whole drive.
    void OpenLargestWithExtension(const std::string& extensions, bool wholeDrive);
    bool SearchMode() const { return search_; }

    // Opens the index again when a measurement has replaced it, and fills the
    // list anew.
    void Refresh() override;
    // Queries answered since the window was created: rows shown, or the
    // line saying why there are none.
    int Queries() const { return queries_; }

    // The rows chosen, as the index gave them.
    std::vector<FileHit> SelectedHits() const;
    void OpenSelected();
    void ShowInMain();
    void ExplorerSelected();
    void CopySelected(int tag); // 1 copy, 0 move
    void DeleteSelected();
    void PropertiesSelected();

    QLineEdit* nameEdit;
    QCheckBox* pathSearchCheck;
    QComboBox *sortCombo, *countCombo;
    QLineEdit* extensionEdit;
    QLineEdit* minimumSizeEdit;
    QComboBox* unitCombo;
    QComboBox* dateCombo;
    QLineEdit* dateEdit;
    QMenu* popupMenu;
    QAction *openAction, *showFolderAction, *fileManagerAction, *copyAction, *moveAction,
        *deleteAction, *propertiesAction;
    QTimer* queryTimer;

  protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Open(bool search);
    void LoadSettings() override;
    void SaveSettings();
    // The query thread reads the index: it stops before the index goes.
    void ReleaseIndex() override { StopWorker(); }
    void Requery();
    void RunQuery();
    void StopWorker();
    void Deliver(unsigned generation, std::shared_ptr<std::vector<FileHit>> hits);
    void Fill(const std::vector<FileHit>& hits);
    void PopupAt(const QPoint& globalPos);
    // Drops the rows of paths, marks them gone in the index. With the names
    // each had before (NamesOfFile), the program removed them: the cache's
    // totals lose them too.
    void Forget(const std::vector<std::string>& paths,
                const std::vector<uint32_t>* namesBefore = nullptr);
    // Chosen rows whose file is still there; the others are reported and
    // forgotten.
    std::vector<FileHit> PresentSelection();

    bool search_ = false;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    unsigned generation_ = 0;
    int queries_ = 0;
    int sortColumn_ = 2;
};

} // namespace nrvs
