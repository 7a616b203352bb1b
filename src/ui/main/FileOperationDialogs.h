// The window side of the file operations: the progress dialog with its
// cancel button and replace question, the folder browser, and handing a path
// to the desktop's own applications.
#pragma once

#include "platform/FileOperations.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace nrvs {

class ProgressDialog : public QDialog, public platform::FileOperationObserver {
    Q_OBJECT
  public:
    explicit ProgressDialog(QWidget* parent = nullptr);

    // Before an operation: caption " コピー中..." and the like; the dialog
    // shows itself once the work takes longer than a moment.
    void Start(const QString& caption);
    void Finish();
    bool Cancelled() const { return cancelled_; }
    uint64_t ItemsDone() const { return items_; }

    // Tests answer the replace question and press cancel through these.
    std::function<Answer(const std::string& nativeName)> AnswerReplace;
    std::function<bool(const std::string& nativeName, uint64_t items, uint64_t bytes)> CancelWhen;

    // platform::FileOperationObserver
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string& nativeName) override;
    void Begin(bool deleting, uint64_t items, uint64_t bytes) override;
    bool Progress(const std::string& nativeName, uint64_t itemsDone, uint64_t bytesDone) override;

    QLabel* itemLabel;
    QLabel* countLabel;
    QProgressBar* progressBar;
    QPushButton* cancelButton;

  protected:
    void reject() override;

  private:
    void Update(const std::string& nativeName);
    bool deleting_ = false;
    bool cancelled_ = false;
    bool replaceAll_ = false;
    uint64_t totalItems_ = 0, totalBytes_ = 0, items_ = 0, bytes_ = 0;
    QElapsedTimer clock_;
    qint64 lastUpdate_ = -1000;
};

// The toolkit's folder dialog with the title, starting in startFolder (a
// program path; else the current drive's root), the drives' roots in its side
// bar; the chosen folder in program form with a trailing backslash, or a lone
// backslash when cancelled. A folder on no listed drive is refused with a
// message saying why, and the dialog opens again.
std::string BrowseFolder(const std::string& title, QWidget* parent = nullptr,
                         const std::string& startFolder = {});
// Tests choose the folder instead of the dialog (empty function: the dialog).
void SetBrowseFolderChoice(std::function<std::string(const std::string& title)> choose);

// Opens a program-form path with the desktop's default application (a
// folder in the file manager). When the desktop has none for it, an
// information box says so and the result is false.
bool OpenProgramPath(const std::string& programPath);

// After an operation: the items that failed (the first few), that it was
// cancelled with how many items were done, or that it failed.
void ReportFileOperation(bool ok, bool cancelled, uint64_t done,
                         const std::vector<std::string>& errors, const char* verb);

// Starts a program found on PATH with arguments, detached; false when it is
// not installed.
bool StartTool(const QString& program, const QStringList& args);

} // namespace nrvs
