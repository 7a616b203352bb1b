#include "ui/info/FolderMonitorWindow.h"

#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowParts.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

namespace nrvs {

namespace {
constexpr int kWidth = 243;
constexpr int kHeight = 107;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The folder the main window shows: its list's header row, else the
// current drive's root.
std::string ShownFolder(const TFMmain* main) {
    if (main && !main->Rows().empty()) {
        const RowFields f = SplitRow(main->Rows().front());
        if (f.Image == IMG_HEADER && !f.Caption.empty() && f.Caption.back() == '\\') return f.Caption;
    }
    const DriveRecord* cur = Global().CurrentDrive;
    return cur && cur->Ready ? cur->RootPath : std::string();
}
} // namespace

TFMmfdr::TFMmfdr(TFMmain* main)
    : MonitorWindow(main, QStringLiteral(" FolderMonitor"), "mfr"), mainWindow_(main) {
    setObjectName("TFMmfdr");
    setFixedSize(kWidth, kHeight);
    setFont(mainwindow::ListFont());
    auto row = [this](const char* name, const QString& caption, int top) {
        if (!caption.isEmpty()) {
            auto* c = new QLabel(caption, this);
            c->setGeometry(6, top, 52, 18);
        }
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        if (caption.isEmpty()) l->setGeometry(6, top, kWidth - 12, 18);
        else l->setGeometry(60, top, kWidth - 66, 18);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    LLpath = row("LLpath", QString(), 4);
    QFont bold = LLpath->font();
    bold.setBold(true);
    LLpath->setFont(bold);
    LLmsr = row("LLmsr", QStringLiteral("計測値"), 24);
    LLnow = row("LLnow", QStringLiteral("現在"), 44);
    LLdif = row("LLdif", QStringLiteral("増減"), 64);
    LLcnt = row("LLcnt", QStringLiteral("内容"), 84);
    counter_ = std::make_unique<FolderCounter>([this](const std::string& path, const FolderCount& count) {
        // The count ends on its own thread; the labels belong to this one.
        QMetaObject::invokeMethod(this, [this, path, count] { CountDone(path, count); }, Qt::QueuedConnection);
    });
}

TFMmfdr::~TFMmfdr() {
    // Before the labels go: a count finishing now must find nothing to post to.
    counter_.reset();
}

bool TFMmfdr::Counting() const { return counter_->Running(); }

void TFMmfdr::Rebuild() {
    counter_->Stop();
    folder_ = ShownFolder(mainWindow_);
    const DriveRecord* cur = Global().CurrentDrive;
    cluster_ = cur ? cur->ClusterSize : 0;
    first_ = -1;
    const QString shown = folder_.empty() ? QStringLiteral("-") : Q(folder_);
    LLpath->setToolTip(shown);
    LLpath->setText(LLpath->fontMetrics().elidedText(shown, Qt::ElideMiddle, LLpath->width()));
    const FolderRecord* r = folder_.empty() ? nullptr : Global().Folders.FindPath(folder_);
    LLmsr->setText(Q(FormatSizeText(r ? r->TreeBytes : -1)));
    LLnow->setText(folder_.empty() ? QStringLiteral("-") : QStringLiteral("計測中..."));
    LLdif->setText(QStringLiteral("-"));
    LLcnt->setText(QStringLiteral("-"));
}

QPoint TFMmfdr::DefaultPlace(const QRect& mainFrame, const QSize& frame) const {
    return {mainFrame.x() + mainFrame.width() - frame.width(), mainFrame.y() + mainFrame.height() - frame.height()};
}

void TFMmfdr::TMtimerTimer() {
    TMtimer->stop();
    // A count still running from the last tick goes on; none is stacked.
    if (isVisible() && !folder_.empty() && !counter_->Running())
        counter_->Start(folder_, cluster_, Global().CountLinksOnce != 0);
    RestartTimer();
}

void TFMmfdr::Closing() { counter_->Stop(); }

void TFMmfdr::CountDone(const std::string& path, const FolderCount& count) {
    if (path != folder_ || !isVisible()) return;
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
    if (!count.Valid) {
        LLnow->setText(QStringLiteral("読み取れません (") + time + ")");
        LLdif->setText(QStringLiteral("-"));
        LLcnt->setText(QStringLiteral("-"));
        return;
    }
    if (first_ < 0) first_ = count.Bytes;
    LLnow->setText(Q(FormatSizeText(count.Bytes)) + "  (" + time + ")");
    LLdif->setText(Q(ChangeText(count.Bytes - first_, Global().SizeUnit)));
    LLcnt->setText(Q(FormatText("%s ファイル  %s フォルダ", GroupedNumber(count.Files, 0).c_str(),
                                GroupedNumber(count.Folders, 0).c_str())));
}

} // namespace nrvs
