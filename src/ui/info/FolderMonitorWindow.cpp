#include "ui/info/FolderMonitorWindow.h"

#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowParts.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

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
    setFixedSize(kWidth, kHeight);
    setFont(mainwindow::ListFont());
    auto row = [this](const char* name, const QString& caption, int top) {
        if (!caption.isEmpty()) {
            auto* c = new QLabel(caption, this);
            c->setGeometry(6, top, 52, 18);
        }
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        if (caption.isEmpty())
            l->setGeometry(6, top, kWidth - 12, 18);
        else
            l->setGeometry(60, top, kWidth - 66, 18);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    pathLabel = row("pathLabel", QString(), 4);
    QFont bold = pathLabel->font();
    bold.setBold(true);
    pathLabel->setFont(bold);
    measuredLabel = row("measuredLabel", QStringLiteral("計測値"), 24);
    currentLabel = row("currentLabel", QStringLiteral("現在"), 44);
    differenceLabel = row("differenceLabel", QStringLiteral("増減"), 64);
    contentsLabel = row("contentsLabel", QStringLiteral("内容"), 84);
    counter_ =
        std::make_unique<FolderCounter>([this](const std::string& path, const FolderCount& count) {
            // The count ends on its own thread; the labels belong to this one.
            QMetaObject::invokeMethod(
                this, [this, path, count] { CountDone(path, count); }, Qt::QueuedConnection);
        });
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
    pathLabel->setText(
        pathLabel->fontMetrics().elidedText(shown, Qt::ElideMiddle, pathLabel->width()));
    const FolderRecord* r = folder_.empty() ? nullptr : Global().Folders.FindPath(folder_);
    measuredLabel->setText(Q(FormatSizeText(r ? r->TreeBytes : -1)));
    currentLabel->setText(folder_.empty() ? QStringLiteral("-") : QStringLiteral("計測中..."));
    differenceLabel->setText(QStringLiteral("-"));
    contentsLabel->setText(QStringLiteral("-"));
}

QPoint FolderMonitorWindow::DefaultPlace(const QRect& mainFrame, const QSize& frame) const {
    return {mainFrame.x() + mainFrame.width() - frame.width(),
            mainFrame.y() + mainFrame.height() - frame.height()};
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
        return;
    }
    if (first_ < 0) first_ = count.Bytes;
    currentLabel->setText(Q(FormatSizeText(count.Bytes)) + "  (" + time + ")");
    differenceLabel->setText(Q(ChangeText(count.Bytes - first_, Global().SizeUnit)));
    contentsLabel->setText(
        Q(FormatText("%s ファイル  %s フォルダ", GroupedNumber(count.Files, 0).c_str(),
                     GroupedNumber(count.Folders, 0).c_str())));
}

} // namespace nrvs
