#include "ui/info/FolderMonitorWindow.h"

#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowParts.h"
#include "ui/WindowLayout.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace nrvs {

namespace {
constexpr int kWidth = 243;
constexpr int kHeight = 107;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The folder the main window shows: its list's header row, else the
// current drive's root.
std::string ShownFolder(const MainWindow* main) {
    if (main && !main->Rows().empty()) {
        const RowFields f = SplitRow(main->Rows().front());
        if (f.Image == IMG_HEADER && !f.Caption.empty() && f.Caption.back() == '\\')
            return f.Caption;
    }
    const DriveRecord* cur = Global().CurrentDrive;
    return cur && cur->Ready ? cur->RootPath : std::string();
}
} // namespace

FolderMonitorWindow::FolderMonitorWindow(MainWindow* main)
    : MonitorWindow(main, QStringLiteral(" FolderMonitor"), "mfr"), mainWindow_(main) {
    setObjectName("FolderMonitorWindow");
    setFont(mainwindow::ListFont());
    auto row = [this](const char* name, const QString& caption) {
        if (!caption.isEmpty()) captions_ << new QLabel(caption, this);
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    pathLabel = row("pathLabel", QString());
    QFont bold = pathLabel->font();
    bold.setBold(true);
    pathLabel->setFont(bold);
    measuredLabel = row("measuredLabel", QStringLiteral("計測値"));
    currentLabel = row("currentLabel", QStringLiteral("現在"));
    differenceLabel = row("differenceLabel", QStringLiteral("増減"));
    contentsLabel = row("contentsLabel", QStringLiteral("内容"));
    // Wide enough for the widest text it writes for counts below ten
    // million, in the font in use; a wider one widens it (FitWidth).
    const QFontMetrics fm(font());
    int values = kWidth - 66;
    for (const QString& widest :
         {QStringLiteral("9,999,999 ファイル  9,999,999 フォルダ"),
          QStringLiteral("999.99 GB  (00:00:00)"), QStringLiteral("読み取れません (00:00:00)")})
        values = std::max(values, fm.horizontalAdvance(widest) + 4);
    Arrange(values);
    counter_ =
        std::make_unique<FolderCounter>([this](const std::string& path, const FolderCount& count) {
            // The count ends on its own thread; the labels belong to this one.
            QMetaObject::invokeMethod(
                this, [this, path, count] { CountDone(path, count); }, Qt::QueuedConnection);
        });
}

void FolderMonitorWindow::Arrange(int valueWidth) {
    int captionWidth = 52;
    for (QLabel* c : captions_)
        captionWidth = std::max(captionWidth, c->sizeHint().width());
    const int rowHeight = std::max(18, fontMetrics().height() + 2);
    const int rowStep = rowHeight + 2;
    const int valueLeft = 6 + captionWidth + 2;
    const int width = std::max(kWidth, valueLeft + valueWidth + 6);
    const QList<QLabel*> values = {measuredLabel, currentLabel, differenceLabel, contentsLabel};
    pathLabel->setGeometry(6, 4, width - 12, rowHeight);
    for (int i = 0; i < values.size(); ++i) {
        const int top = 4 + (i + 1) * rowStep;
        captions_[i]->setGeometry(6, top, captionWidth, rowHeight);
        values[i]->setGeometry(valueLeft, top, width - valueLeft - 6, rowHeight);
    }
    setFixedSize(width, std::max(kHeight, 4 + 5 * rowStep + 3));
}

void FolderMonitorWindow::FitWidth() {
    int need = 0;
    for (QLabel* l : {measuredLabel, currentLabel, differenceLabel, contentsLabel})
        need = std::max(need, l->sizeHint().width());
    if (need > contentsLabel->width()) Arrange(need);
}

FolderMonitorWindow::~FolderMonitorWindow() {
    // Before the labels go: a count finishing now must find nothing to post to.
    counter_.reset();
}

bool FolderMonitorWindow::Counting() const {
    return counter_->Running();
}

void FolderMonitorWindow::Rebuild() {
    counter_->Stop();
    folder_ = ShownFolder(mainWindow_);
    const DriveRecord* cur = Global().CurrentDrive;
    cluster_ = cur ? cur->ClusterSize : 0;
    first_ = -1;
    const QString shown = folder_.empty() ? QStringLiteral("-") : Q(folder_);
    pathLabel->setToolTip(shown);
    SetPathText(pathLabel, shown);
    const FolderRecord* r = folder_.empty() ? nullptr : Global().Folders.FindPath(folder_);
    measuredLabel->setText(Q(FormatSizeText(r ? r->TreeBytes : -1)));
    currentLabel->setText(folder_.empty() ? QStringLiteral("-") : QStringLiteral("計測中..."));
    differenceLabel->setText(QStringLiteral("-"));
    contentsLabel->setText(QStringLiteral("-"));
    FitWidth();
}

void FolderMonitorWindow::onRefreshTimer() {
    refreshTimer->stop();
    // A count still running from the last tick goes on; none is stacked.
    if (isVisible() && !folder_.empty() && !counter_->Running())
        counter_->Start(folder_, cluster_, Global().CountLinksOnce != 0);
    RestartTimer();
}

void FolderMonitorWindow::Closing() {
    counter_->Stop();
}

void FolderMonitorWindow::CountDone(const std::string& path, const FolderCount& count) {
    if (path != folder_ || !isVisible()) return;
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
    if (!count.Valid) {
        currentLabel->setText(QStringLiteral("読み取れません (") + time + ")");
        differenceLabel->setText(QStringLiteral("-"));
        contentsLabel->setText(QStringLiteral("-"));
        FitWidth();
        return;
    }
    if (first_ < 0) first_ = count.Bytes;
    currentLabel->setText(Q(FormatSizeText(count.Bytes)) + "  (" + time + ")");
    differenceLabel->setText(Q(ChangeText(count.Bytes - first_, Global().SizeUnit)));
    contentsLabel->setText(
        Q(FormatText("%s ファイル  %s フォルダ", GroupedNumber(count.Files, 0).c_str(),
                     GroupedNumber(count.Folders, 0).c_str())));
    FitWidth();
}

} // namespace nrvs
