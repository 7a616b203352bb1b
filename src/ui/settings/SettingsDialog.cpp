#include "ui/settings/SettingsDialog.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "platform/ProgramLocation.h"
#include "platform/OpenWithEntry.h"
#include "ui/ControlStates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nrvs {

namespace {

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* caption) {
    auto* r = new QRadioButton(QString::fromUtf8(caption), parent);
    r->setObjectName(QString::fromLatin1(name));
    return r;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(items);
    return c;
}

QListWidget* CheckList(QWidget* parent, const char* name, const QStringList& items) {
    auto* l = new QListWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    for (const QString& text : items) {
        auto* item = new QListWidgetItem(text, l);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    return l;
}

QLabel* Label(QWidget* parent, const char* caption, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    l->setBuddy(buddy);
    return l;
}

// "Ａドライブ" .. "Ｚドライブ" and "Ａ：" .. "Ｚ：" (full-width letters).
QStringList Letters(const QString& suffix) {
    QStringList out;
    for (int n = 0; n < 26; ++n)
        out << QString(QChar(0xFF21 + n)) + suffix;
    return out;
}

} // namespace

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("SettingsDialog");
    setWindowTitle(QStringLiteral(" 設定"));
    KeepOnlyCloseBox(this);

    auto* start = new QGroupBox(QStringLiteral(" 起動 "), this);
    splashCheck = Check(start, "splashCheck", "フラッシュロゴを表示する(&A)");
    startDriveCombo =
        Combo(start, "startDriveCombo",
              QStringList{QStringLiteral("ハードディスク")} + Letters(QStringLiteral("ドライブ")));
    auto* gs = new QGridLayout(start);
    gs->addWidget(splashCheck, 0, 0, 1, 2);
    gs->addWidget(Label(start, "表示するドライブ(&B)", startDriveCombo), 1, 0);
    gs->addWidget(startDriveCombo, 1, 1);

    auto* view = new QGroupBox(QStringLiteral(" 表示 "), this);
    sizeUnitCombo = Combo(view, "sizeUnitCombo",
                          {QStringLiteral("調整"), QStringLiteral("Ｂ　バイト"),
                           QStringLiteral("ＫＢ　キロバイト"), QStringLiteral("ＭＢ　メガバイト"),
                           QStringLiteral("ＧＢ　ギガバイト"), QStringLiteral("ＴＢ　テラバイト")});
    percentBaseCombo =
        Combo(view, "percentBaseCombo",
              {QStringLiteral("カレントフォルダの容量"), QStringLiteral("ファイルの全容量"),
               QStringLiteral("ドライブの使用量"), QStringLiteral("ドライブの全容量")});
    driveBarCheck = Check(view, "driveBarCheck", "ドライブバー(&F)");
    toolbarCheck = Check(view, "toolbarCheck", "ツールバー(&G)");
    statusBarCheck = Check(view, "statusBarCheck", "ステータスバー(&H)");
    sizeColumnCheck = Check(view, "sizeColumnCheck", "容量(&J)");
    occupiedColumnCheck = Check(view, "occupiedColumnCheck", "占有量(&K)");
    filesColumnCheck = Check(view, "filesColumnCheck", "ファイル数(&L)");
    foldersColumnCheck = Check(view, "foldersColumnCheck", "フォルダ数(&M)");
    changeColumnCheck = Check(view, "changeColumnCheck", "増減");
    changeColumnCheck->setToolTip(QStringLiteral("前回の計測からの容量の変化を表示します。"));
    auto* gv = new QGridLayout(view);
    gv->addWidget(Label(view, "容量の単位(&D)", sizeUnitCombo), 0, 0);
    gv->addWidget(sizeUnitCombo, 0, 1);
    gv->addWidget(Label(view, "パーセンテージの基準(&E)", percentBaseCombo), 1, 0);
    gv->addWidget(percentBaseCombo, 1, 1);
    gv->addWidget(driveBarCheck, 2, 0);
    gv->addWidget(sizeColumnCheck, 2, 1);
    gv->addWidget(toolbarCheck, 3, 0);
    gv->addWidget(occupiedColumnCheck, 3, 1);
    gv->addWidget(statusBarCheck, 4, 0);
    gv->addWidget(filesColumnCheck, 4, 1);
    gv->addWidget(foldersColumnCheck, 5, 1);
    gv->addWidget(changeColumnCheck, 6, 1);

    auto* ops = new QGroupBox(QStringLiteral(" コピー／移動／削除 "), this);
    remeasureAfterCheck = Check(ops, "remeasureAfterCheck", "実行後に再計測する(&+)");
    trashCheck = Check(ops, "trashCheck", "削除に「ごみ箱」を使用する(&-)");
    auto* go = new QVBoxLayout(ops);
    go->addWidget(remeasureAfterCheck);
    go->addWidget(trashCheck);

    auto* cache = new QGroupBox(QStringLiteral(" キャッシュ "), this);
    cacheAllRadio = Radio(cache, "cacheAllRadio", "全ドライブをキャッシュする(&P)");
    cacheByKindRadio = Radio(cache, "cacheByKindRadio", "ドライブの種類で制限する(&Q)");
    cacheByLetterRadio = Radio(cache, "cacheByLetterRadio", "ドライブレターで制限する(&R)");
    cacheKindList =
        CheckList(cache, "cacheKindList",
                  {QStringLiteral("リムーバブルディスク"), QStringLiteral("ハードディスク"),
                   QStringLiteral("ネットワークドライブ"), QStringLiteral("ＲＡＭディスク")});
    cacheLetterList = CheckList(cache, "cacheLetterList", Letters(QStringLiteral("：")));
    cacheKindList->setFixedHeight(78);
    cacheLetterList->setFixedHeight(78);
    auto* gc = new QGridLayout(cache);
    gc->addWidget(cacheAllRadio, 0, 0, 1, 2);
    gc->addWidget(cacheByKindRadio, 1, 0, 1, 2);
    gc->addWidget(cacheByLetterRadio, 2, 0, 1, 2);
    gc->addWidget(cacheKindList, 3, 0);
    gc->addWidget(cacheLetterList, 3, 1);

    auto* measure = new QGroupBox(QStringLiteral(" 計測 "), this);
    measureManuallyRadio = Radio(measure, "measureManuallyRadio", "手動で計測する(&S)");
    measureUnmeasuredRadio =
        Radio(measure, "measureUnmeasuredRadio", "未計測のフォルダがあるときに自動で計測する(&T)");
    measureUncachedRadio =
        Radio(measure, "measureUncachedRadio", "キャッシュしないドライブのみ自動で計測する(&U)");
    measureFirstSelectionRadio = Radio(measure, "measureFirstSelectionRadio",
                                       "起動後に初めて選択したときに自動で計測する(&V)");
    measureEverySelectionRadio =
        Radio(measure, "measureEverySelectionRadio", "選択するたびに自動で計測する(&W)");
    measureExpiredRadio =
        Radio(measure, "measureExpiredRadio", "期限が過ぎたときに自動で計測する(&X)");
    expiryDaysEdit = new QLineEdit(measure);
    expiryDaysEdit->setObjectName("expiryDaysEdit");
    expiryDaysEdit->setFixedWidth(60);
    expiryDaysEdit->setAlignment(Qt::AlignRight);
    expiryDaysLabel = Label(measure, "日後", expiryDaysEdit);
    multipleDrivesCheck =
        Check(measure, "multipleDrivesCheck", "複数のドライブを選択して計測する(&Y)");
    askOnSearchCheck = Check(measure, "askOnSearchCheck", "検索時に問い合わせをする(&Z)");
    hardLinksOnceCheck = Check(measure, "hardLinksOnceCheck", "ハードリンクは1回だけ数える(&N)");
    hardLinksOnceCheck->setToolTip(
        QStringLiteral("複数の名前を持つファイルの容量を、計測ごとに1回だけ数えます。"));
    auto* gm = new QVBoxLayout(measure);
    for (QRadioButton* r :
         {measureManuallyRadio, measureUnmeasuredRadio, measureUncachedRadio,
          measureFirstSelectionRadio, measureEverySelectionRadio, measureExpiredRadio})
        gm->addWidget(r);
    auto* days = new QHBoxLayout();
    days->addSpacing(24);
    days->addWidget(expiryDaysEdit);
    days->addWidget(expiryDaysLabel);
    days->addStretch(1);
    gm->addLayout(days);
    gm->addWidget(multipleDrivesCheck);
    gm->addWidget(askOnSearchCheck);
    gm->addWidget(hardLinksOnceCheck);
    keepPreviousCheck = Check(measure, "keepPreviousCheck", "前回の計測結果を残す");
    keepPreviousCheck->setToolTip(
        QStringLiteral("計測のたびに前回の結果を残し、変化を表示できるようにします（キャッシュ1つ分"
                       "の容量を使います）。"));
    gm->addWidget(keepPreviousCheck);

    sendToCheck = Check(this, "sendToCheck", "Norvessaを「送る」メニューに登録する(&*)");
    okButton = new QPushButton(QStringLiteral("&OK"), this);
    cancelButton = new QPushButton(QStringLiteral("&CLOSE"), this);
    okButton->setObjectName("okButton");
    cancelButton->setObjectName("cancelButton");
    okButton->setDefault(true);

    auto* columns = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    left->addWidget(start);
    left->addWidget(view);
    left->addWidget(ops);
    left->addStretch(1);
    auto* right = new QVBoxLayout();
    right->addWidget(cache);
    right->addWidget(measure);
    right->addStretch(1);
    columns->addLayout(left);
    columns->addLayout(right);
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(sendToCheck, 1);
    bottom->addWidget(okButton);
    bottom->addWidget(cancelButton);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(bottom);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    for (QRadioButton* r :
         {cacheAllRadio, cacheByKindRadio, cacheByLetterRadio, measureManuallyRadio,
          measureUnmeasuredRadio, measureUncachedRadio, measureFirstSelectionRadio,
          measureEverySelectionRadio, measureExpiredRadio})
        connect(r, &QRadioButton::clicked, this, &SettingsDialog::ApplyEnabling);
    connect(multipleDrivesCheck, &QCheckBox::clicked, this, &SettingsDialog::ApplyEnabling);
    connect(okButton, &QPushButton::clicked, this, [this] {
        onOk();
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    // Where the entry goes is fixed now; without a place for it the box
    // says why it cannot be used.
    std::string why;
    sendTo_ = platform::SendToPath(&why);
    if (sendTo_.empty()) {
        sendToCheck->setEnabled(false);
        sendToCheck->setToolTip(QString::fromStdString(why));
    } else {
        sendToCheck->setToolTip(
            QStringLiteral(
                "ファイルマネージャの「アプリケーションで開く」にフォルダ用として表示されます（") +
            QString::fromStdString(sendTo_) + QStringLiteral("）"));
    }
}

void SettingsDialog::showEvent(QShowEvent* event) {
    LoadControls();
    QDialog::showEvent(event);
    CentreOn(this, parentWidget());
}

void SettingsDialog::LoadControls() {
    const GlobalState& g = Global();
    splashCheck->setChecked(g.ShowSplash != 0);
    multipleDrivesCheck->setChecked(g.MeasureMulti != 0);
    askOnSearchCheck->setChecked(g.AskBeforeMeasure != 0);
    hardLinksOnceCheck->setChecked(g.CountLinksOnce != 0);
    keepPreviousCheck->setChecked(g.KeepPrevious != 0);
    remeasureAfterCheck->setChecked(g.RemeasureAfterAction != 0);
    trashCheck->setChecked(g.UseRecycleBin != 0);
    // An index the combo does not have leaves it without a selection.
    auto select = [](QComboBox* c, int index) {
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    };
    select(startDriveCombo, g.StartDrive);
    select(sizeUnitCombo, g.SizeUnit);
    select(percentBaseCombo, g.PercentBase);
    SetButtonsState(QString::fromStdString(g.BarFlags),
                    {driveBarCheck, toolbarCheck, statusBarCheck});
    SetButtonsState(QString::fromStdString(g.ColumnFlags),
                    {sizeColumnCheck, occupiedColumnCheck, filesColumnCheck, foldersColumnCheck,
                     changeColumnCheck});
    // A radio group with no "1" has no button checked.
    const QList<QAbstractButton*> cacheGroup{cacheAllRadio, cacheByKindRadio, cacheByLetterRadio};
    const QList<QAbstractButton*> measureGroup{
        measureManuallyRadio,       measureUnmeasuredRadio,     measureUncachedRadio,
        measureFirstSelectionRadio, measureEverySelectionRadio, measureExpiredRadio};
    for (auto* group : {&cacheGroup, &measureGroup})
        for (QAbstractButton* b : *group)
            b->setAutoExclusive(false), b->setChecked(false);
    SetButtonsState(QString::fromStdString(g.CacheMode), cacheGroup);
    SetButtonsState(QString::fromStdString(g.MeasureMode), measureGroup);
    for (auto* group : {&cacheGroup, &measureGroup})
        for (QAbstractButton* b : *group)
            b->setAutoExclusive(true);
    SetCheckListState(QString::fromStdString(g.CacheKinds), cacheKindList);
    SetCheckListState(QString::fromStdString(g.CacheLetters), cacheLetterList);
    expiryDaysEdit->setText(QString::number(g.ExpiryDays));
    sendToCheck->setChecked(platform::SendToExists(sendTo_));
    ApplyEnabling();
}

void SettingsDialog::ApplyEnabling() {
    EnableWithCue(cacheKindList, cacheByKindRadio->isChecked());
    EnableWithCue(cacheLetterList, cacheByLetterRadio->isChecked());
    EnableWithCue(expiryDaysEdit, measureExpiredRadio->isChecked());
    EnableWithCue(expiryDaysLabel, measureExpiredRadio->isChecked());
    EnableWithCue(askOnSearchCheck, !multipleDrivesCheck->isChecked());
    for (QListWidget* l : {cacheKindList, cacheLetterList}) {
        l->setCurrentRow(-1);
        l->clearSelection();
    }
}

void SettingsDialog::onOk() {
    GlobalState& g = Global();
    g.ShowSplash = splashCheck->isChecked() ? 1 : 0;
    g.MeasureMulti = multipleDrivesCheck->isChecked() ? 1 : 0;
    g.AskBeforeMeasure = askOnSearchCheck->isChecked() ? 1 : 0;
    g.CountLinksOnce = hardLinksOnceCheck->isChecked() ? 1 : 0;
    g.KeepPrevious = keepPreviousCheck->isChecked() ? 1 : 0;
    g.RemeasureAfterAction = remeasureAfterCheck->isChecked() ? 1 : 0;
    g.UseRecycleBin = trashCheck->isChecked() ? 1 : 0;
    g.StartDrive = startDriveCombo->currentIndex();
    g.SizeUnit = sizeUnitCombo->currentIndex();
    g.PercentBase = percentBaseCombo->currentIndex();
    g.BarFlags = ButtonsState({driveBarCheck, toolbarCheck, statusBarCheck}).toStdString();
    g.ColumnFlags = ButtonsState({sizeColumnCheck, occupiedColumnCheck, filesColumnCheck,
                                  foldersColumnCheck, changeColumnCheck})
                        .toStdString();
    g.CacheMode = ButtonsState({cacheAllRadio, cacheByKindRadio, cacheByLetterRadio}).toStdString();
    g.MeasureMode =
        ButtonsState({measureManuallyRadio, measureUnmeasuredRadio, measureUncachedRadio,
                      measureFirstSelectionRadio, measureEverySelectionRadio, measureExpiredRadio})
            .toStdString();
    g.CacheKinds = CheckListState(cacheKindList).toStdString();
    g.CacheLetters = CheckListState(cacheLetterList).toStdString();
    int days = 0;
    if (ParseInt(expiryDaysEdit->text().trimmed().toStdString(), days)) g.ExpiryDays = days;
    if (sendToCheck->isEnabled()) {
        if (sendToCheck->isChecked())
            platform::CreateSendTo(sendTo_, platform::ExecutablePath());
        else
            platform::RemoveSendTo(sendTo_);
    }
}

} // namespace nrvs
