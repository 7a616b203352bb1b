#include "ui/main/FileOperationDialogs.h"
#include "ui/Locale.h"

#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/Messages.h"
#include "lib/SizeText.h"
#include "platform/Paths.h"
#include "ui/DesktopOpen.h"
#include "ui/WindowLayout.h"
#include "ui/main/FolderPickerDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace nrvs {

namespace {
// Redraws and lets the cancel button through at most this often: a copy of
// many small files must not spend its time drawing.
constexpr qint64 kUpdateMs = 60;
// A quick operation never flashes a dialog.
constexpr qint64 kShowAfterMs = 400;

QString Shown(const std::string& nativeName) {
    return ShownText(platform::ShownName(nativeName));
}
} // namespace

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ProgressDialog");
    setWindowTitle(QStringLiteral("Norvessa"));
    // A tool window with only a close box (which cancels), made as the
    // running dialog is: openbox shows that only for a toolbar-type window.
    KeepOnlyCloseBox(this);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    itemLabel = new QLabel(this);
    itemLabel->setObjectName("itemLabel");
    itemLabel->setFixedWidth(360);
    itemLabel->setTextFormat(Qt::PlainText);
    countLabel = new QLabel(this);
    countLabel->setObjectName("countLabel");
    progressBar = new QProgressBar(this);
    progressBar->setObjectName("progressBar");
    progressBar->setRange(0, 1000);
    cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton->setObjectName("cancelButton");
    layout->addWidget(itemLabel);
    layout->addWidget(progressBar);
    layout->addWidget(countLabel);
    layout->addWidget(cancelButton, 0, Qt::AlignRight);
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelled_ = true; });
}

void ProgressDialog::Start(const QString& caption) {
    setWindowTitle(QStringLiteral("Norvessa") + caption);
    cancelled_ = replaceAll_ = false;
    totalItems_ = totalBytes_ = items_ = bytes_ = 0;
    itemLabel->clear();
    countLabel->clear();
    progressBar->setValue(0);
    clock_.start();
    lastUpdate_ = -1000;
}

void ProgressDialog::Finish() {
    hide();
}

void ProgressDialog::reject() {
    cancelled_ = true;
}

void ProgressDialog::Begin(bool deleting, uint64_t items, uint64_t bytes) {
    deleting_ = deleting;
    totalItems_ = items;
    totalBytes_ = bytes;
}

ProgressDialog::Answer ProgressDialog::ConfirmReplace(const std::string& nativeName) {
    if (replaceAll_) return REPLACE_YES;
    Answer a;
    if (AnswerReplace) {
        a = AnswerReplace(nativeName);
    } else {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Norvessa"),
                        QStringLiteral("「") + Shown(nativeName) +
                            QStringLiteral("」は既にあります。\n置き換えますか？"),
                        QMessageBox::NoButton, isVisible() ? this : parentWidget());
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        QPushButton* all =
            box.addButton(QStringLiteral("すべて置き換え(&A)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        box.setDefaultButton(no);
        box.setEscapeButton(cancel);
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        a = clicked == yes   ? REPLACE_YES
            : clicked == all ? REPLACE_ALL
            : clicked == no  ? REPLACE_NO
                             : REPLACE_CANCEL;
    }
    if (a == REPLACE_ALL) replaceAll_ = true;
    if (a == REPLACE_CANCEL) cancelled_ = true;
    return a;
}

bool ProgressDialog::Progress(const std::string& nativeName, uint64_t itemsDone,
                              uint64_t bytesDone) {
    items_ = itemsDone;
    bytes_ = bytesDone;
    if (CancelWhen && CancelWhen(nativeName, itemsDone, bytesDone)) cancelled_ = true;
    const qint64 now = clock_.elapsed();
    if (now - lastUpdate_ >= kUpdateMs) {
        lastUpdate_ = now;
        if (!isVisible() && now >= kShowAfterMs) show();
        Update(nativeName);
        QApplication::processEvents();
    }
    return !cancelled_;
}

void ProgressDialog::Update(const std::string& nativeName) {
    itemLabel->setText(Shown(nativeName));
    QString count = QStringLiteral("%1 / %2 個").arg(items_).arg(totalItems_);
    if (!deleting_ && totalBytes_ > 0)
        count +=
            QStringLiteral("　%1 / %2")
                .arg(QString::fromStdString(FormatSizeText(static_cast<double>(bytes_), 0)),
                     QString::fromStdString(FormatSizeText(static_cast<double>(totalBytes_), 0)));
    countLabel->setText(count);
    double done = deleting_ || totalBytes_ == 0
                      ? (totalItems_ ? double(items_) / double(totalItems_) : 0)
                      : double(bytes_) / double(totalBytes_);
    progressBar->setValue(static_cast<int>(std::min(1.0, done) * 1000));
}

// ---- folder browser ----

namespace {
std::function<std::string(const std::string&)>& BrowseChoice() {
    static std::function<std::string(const std::string&)> f;
    return f;
}

std::string DriveLetters() {
    std::string out;
    DriveTable& drives = Global().Drives;
    for (int i = 0; i < drives.ListedCount(); ++i)
        if (const DriveRecord* r = drives.ListedAt(i); r && !r->RootPath.empty())
            out += (out.empty() ? "" : " ") + r->RootPath.substr(0, 2);
    return out;
}

bool OnListedDrive(const std::string& programPath) {
    DriveTable& drives = Global().Drives;
    for (int i = 0; i < drives.ListedCount(); ++i)
        if (const DriveRecord* r = drives.ListedAt(i);
            r && !r->Offline && r->RootPath[0] == programPath[0])
            return true;
    return false;
}
} // namespace

void SetBrowseFolderChoice(std::function<std::string(const std::string&)> choose) {
    BrowseChoice() = std::move(choose);
}

std::string BrowseFolder(const std::string& title, QWidget* parent,
                         const std::string& startFolder) {
    if (!BrowseChoice()) {
        // The drives by letter and their folders in program form, opened at
        // the folder given (or the drive shown): only what can be chosen.
        FolderPickerDialog dialog(QString::fromStdString(title), parent);
        dialog.Start(!startFolder.empty()    ? startFolder
                     : Global().CurrentDrive ? Global().CurrentDrive->RootPath
                                             : std::string());
        CentreOn(&dialog, parent);
        if (dialog.exec() != QDialog::Accepted) return "\\";
        const std::string chosen = dialog.Chosen();
        return chosen.empty() ? "\\" : chosen;
    }
    // A choice made elsewhere (a test, a script) comes as a native folder.
    const std::string native = BrowseChoice()(title);
    if (native.empty()) return "\\";
    std::string program;
    if (platform::ToProgram(native, program) && OnListedDrive(program)) {
        if (program.back() != '\\') program += '\\';
        return program;
    }
    ShowMessageBox("「" + native +
                       "」はどのドライブにも含まれないため選択できません。\n"
                       "ドライブ（" +
                       DriveLetters() + "）の中のフォルダを選択してください。",
                   MB_ICONINFORMATION);
    return "\\";
}

// ---- the desktop's applications ----

bool OpenProgramPath(const std::string& programPath) {
    std::string native;
    if (!platform::ToNative(programPath, native)) return false;
    // Without a registered application the launcher fails silently; the
    // user is told instead of seeing nothing happen.
    if (OpenWithDesktop(native) == OpenResult::Opened) return true;
    ShowMessageBox("このファイルを開くアプリケーションが登録されていません。\n\n" + programPath,
                   MB_ICONINFORMATION);
    return false;
}

bool StartTool(const QString& program, const QStringList& args) {
    const QString path = QStandardPaths::findExecutable(program);
    return !path.isEmpty() && QProcess::startDetached(path, args);
}

namespace {
constexpr size_t kErrorLinesShown = 15;
} // namespace

void ReportFileOperation(bool ok, bool cancelled, uint64_t done,
                         const std::vector<std::string>& errors, const char* verb) {
    if (!errors.empty()) {
        std::string text = std::string(verb) + "できなかった項目があります。\n\n";
        for (size_t i = 0; i < errors.size() && i < kErrorLinesShown; ++i)
            text += platform::ShownName(errors[i]) + "\n";
        if (errors.size() > kErrorLinesShown)
            text += FormatText("ほか %zu 件\n", errors.size() - kErrorLinesShown);
        if (cancelled) text += "\n中止しました。";
        ShowMessageBox(text, MB_ICONSTOP);
    } else if (cancelled) {
        ShowMessageBox(
            std::string(verb) +
                FormatText("を中止しました。処理済みの %llu 個の項目はそのまま残っています。",
                           static_cast<unsigned long long>(done)),
            MB_ICONINFORMATION);
    } else if (!ok) {
        ShowMessageBox(std::string(verb) + "できませんでした。", MB_ICONSTOP);
    }
}

} // namespace nrvs
