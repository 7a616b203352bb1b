#include "ui/ReportWindow.h"

#include "core/cache/Cache.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "ui/Locale.h"
#include "ui/ReportLists.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace nrvs {

namespace {

// A bar column: a bar and the percentage, drawn as the main list draws its
// graph column; the other columns keep the standard drawing.
class BarCellDelegate : public QStyledItemDelegate {
  public:
    BarCellDelegate(int column, int valueRole, std::function<double()> percentBase, QObject* parent)
        : QStyledItemDelegate(parent), column_(column), valueRole_(valueRole),
          percentBase_(std::move(percentBase)) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() != column_) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const double value = index.data(valueRole_).toDouble();
        PaintCell(painter, option, kColGraph, QString::number(value, 'f', 0), IMG_FILE,
                  percentBase_());
    }

  private:
    int column_;
    int valueRole_;
    std::function<double()> percentBase_;
};

} // namespace

ReportWindow::ReportWindow(MainWindow* main, const char* name, const QString& caption, int width,
                           int height)
    : QDialog(main), main_(main) {
    layout_ = SetUpReportWindow(this, name, caption, width, height);
    if (!main_) return;
    // The main list is rebuilt (emptied, then filled) whenever the folder
    // shown changes, another drive's or a new measurement's included:
    // followed once, after both.
    connect(main_->folderList->model(), &QAbstractItemModel::modelReset, this, [this] {
        if (followPending_) return;
        followPending_ = true;
        QTimer::singleShot(0, this, [this] {
            followPending_ = false;
            FollowMain();
        });
    });
}

ReportWindow::~ReportWindow() = default;

QCheckBox* ReportWindow::MakeWholeDriveCheck() {
    wholeDriveCheck = new QCheckBox(QStringLiteral("ドライブ全体"), this);
    wholeDriveCheck->setObjectName("wholeDriveCheck");
    return wholeDriveCheck;
}

QPushButton* ReportWindow::MakeRefreshButton(const QString& tip) {
    refreshButton = new QPushButton(QStringLiteral("更新"), this);
    refreshButton->setObjectName("refreshButton");
    refreshButton->setAutoDefault(false);
    refreshButton->setToolTip(tip);
    return refreshButton;
}

void ReportWindow::AddStateLabel() {
    stateLabel = new QLabel(this);
    stateLabel->setObjectName("stateLabel");
    stateLabel->setTextFormat(Qt::PlainText);
    layout_->addWidget(stateLabel);
}

void ReportWindow::WatchFilters(std::initializer_list<QComboBox*> combos,
                                std::initializer_list<QCheckBox*> checks,
                                const std::function<void()>& changed) {
    for (QComboBox* c : combos)
        connect(c, &QComboBox::currentIndexChanged, this, changed);
    for (QCheckBox* c : checks)
        connect(c, &QCheckBox::toggled, this, changed);
}

void ReportWindow::ShowState(const QString& text) {
    stateLabel->setText(text);
}

void ReportWindow::DrawBarsIn(int column, int valueRole, std::function<double()> percentBase) {
    reportList->setItemDelegate(
        new BarCellDelegate(column, valueRole, std::move(percentBase), reportList));
}

void ReportWindow::TakeFolderShown() {
    below_.clear();
    const DriveRecord* drive = Global().CurrentDrive;
    shownLetter_ = drive && !drive->RootPath.empty() ? drive->RootPath[0] : 0;
    if (main_ && drive && !main_->Rows().empty()) {
        const std::string shown = SplitRow(main_->Rows().front()).Caption;
        if (shown.size() > 3 && shown[0] == drive->RootPath[0] && shown.back() == '\\')
            below_ = shown;
    }
}

void ReportWindow::FollowMain() {
    if (!isVisible()) return;
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->RootPath.empty()) return;
    // Within the drive the rows keep the folder they were asked for, which
    // the state line names.
    if (drive->RootPath[0] != shownLetter_)
        TakeFolderShown();
    else if (!OutOfDate(*drive))
        return;
    Refresh();
}

void ReportWindow::Present(QWidget* focus) {
    // The folder the main window shows when the window is asked for.
    TakeFolderShown();
    if (!isVisible())
        show();
    else
        Refresh();
    raise();
    activateWindow();
    focus->setFocus();
}

std::string ReportWindow::ScopeText(const std::string& below, char letter) {
    return below.empty() ? std::string(1, letter) + ":\\" : below;
}

bool ReportWindow::EnsureIndex() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready || drive->RootPath.empty()) {
        ReleaseIndex();
        index_.reset();
        ShowState(QStringLiteral("ドライブが選ばれていません。"));
        return false;
    }
    const char letter = drive->RootPath[0];
    const std::string header = CacheHeaderLine(*drive);
    // A measurement since the index was opened wrote a new one beside a new
    // cache: the header lines then differ.
    if (index_ && index_->IsOpen() && index_->Letter() == letter && !header.empty() &&
        index_->CacheHeader() == header)
        return true;
    ReleaseIndex();
    index_.reset();
    auto index = std::make_shared<FileIndex>();
    std::string why;
    if (header.empty()) {
        why = "このドライブは計測されていません。";
    } else if (index->Open(FileIndexName(*drive), letter, header, &why)) {
        index_ = std::move(index);
        indexFile_ = FileIndexName(*drive);
        return true;
    }
    ShowState(ShownText(why + "ドライブを計測し直してください。"));
    return false;
}

bool ReportWindow::OutOfDate(const DriveRecord& drive) const {
    if (drive.RootPath.empty()) return false;
    return !index_ || drive.RootPath[0] != index_->Letter() ||
           CacheHeaderLine(drive) != index_->CacheHeader();
}

void ReportWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!loaded_) LoadSettings();
    Refresh();
}

void ReportWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible() || !isActiveWindow()) return;
    // Coming back after a measurement or another drive in the main window
    // shows what the main window shows now.
    const DriveRecord* drive = Global().CurrentDrive;
    if (drive && OutOfDate(*drive)) Refresh();
}

void ReportWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        event->accept();
        Refresh();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace nrvs
