#include "ui/settings/SettingsDialog.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/Text.h"
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
    for (int n = 0; n < 26; ++n) out << QString(QChar(0xFF21 + n)) + suffix;
    return out;
}

} // namespace

TFMset::TFMset(QWidget* parent) : QDialog(parent) {
    setObjectName("TFMset");
    setWindowTitle(QStringLiteral(" 設定"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);

    auto* start = new QGroupBox(QStringLiteral(" 起動 "), this);
    CHeflash = Check(start, "CHeflash", "フラッシュロゴを表示する(&A)");
    CBedrv = Combo(start, "CBedrv", QStringList{QStringLiteral("ハードディスク")} + Letters(QStringLiteral("ドライブ")));
    auto* gs = new QGridLayout(start);
    gs->addWidget(CHeflash, 0, 0, 1, 2);
    gs->addWidget(Label(start, "表示するドライブ(&B)", CBedrv), 1, 0);
    gs->addWidget(CBedrv, 1, 1);

    auto* view = new QGroupBox(QStringLiteral(" 表示 "), this);
    CBvunit = Combo(view, "CBvunit",
                    {QStringLiteral("調整"), QStringLiteral("Ｂ　バイト"), QStringLiteral("ＫＢ　キロバイト"),
                     QStringLiteral("ＭＢ　メガバイト"), QStringLiteral("ＧＢ　ギガバイト"), QStringLiteral("ＴＢ　テラバイト")});
    CBvbase = Combo(view, "CBvbase",
                    {QStringLiteral("カレントフォルダの容量"), QStringLiteral("ファイルの全容量"),
                     QStringLiteral("ドライブの使用量"), QStringLiteral("ドライブの全容量")});
    CHvdrv = Check(view, "CHvdrv", "ドライブバー(&F)");
    CHvtool = Check(view, "CHvtool", "ツールバー(&G)");
    CHvstatus = Check(view, "CHvstatus", "ステータスバー(&H)");
    CHvsize = Check(view, "CHvsize", "容量(&J)");
    CHvarea = Check(view, "CHvarea", "占有量(&K)");
    CHvfile = Check(view, "CHvfile", "ファイル数(&L)");
    CHvfldr = Check(view, "CHvfldr", "フォルダ数(&M)");
    CHvchg = Check(view, "CHvchg", "増減");
    CHvchg->setToolTip(QStringLiteral("前回の計測からの容量の変化を表示します。"));
    auto* gv = new QGridLayout(view);
    gv->addWidget(Label(view, "容量の単位(&D)", CBvunit), 0, 0);
    gv->addWidget(CBvunit, 0, 1);
    gv->addWidget(Label(view, "パーセンテージの基準(&E)", CBvbase), 1, 0);
    gv->addWidget(CBvbase, 1, 1);
    gv->addWidget(CHvdrv, 2, 0);
    gv->addWidget(CHvsize, 2, 1);
    gv->addWidget(CHvtool, 3, 0);
    gv->addWidget(CHvarea, 3, 1);
    gv->addWidget(CHvstatus, 4, 0);
    gv->addWidget(CHvfile, 4, 1);
    gv->addWidget(CHvfldr, 5, 1);
    gv->addWidget(CHvchg, 6, 1);

    auto* ops = new QGroupBox(QStringLiteral(" コピー／移動／削除 "), this);
    CHarenw = Check(ops, "CHarenw", "実行後に再計測する(&+)");
    CHatrsh = Check(ops, "CHatrsh", "削除に「ごみ箱」を使用する(&-)");
    auto* go = new QVBoxLayout(ops);
    go->addWidget(CHarenw);
    go->addWidget(CHatrsh);

    auto* cache = new QGroupBox(QStringLiteral(" キャッシュ "), this);
    RBcall = Radio(cache, "RBcall", "全ドライブをキャッシュする(&P)");
    RBckind = Radio(cache, "RBckind", "ドライブの種類で制限する(&Q)");
    RBcdrv = Radio(cache, "RBcdrv", "ドライブレターで制限する(&R)");
    LBckind = CheckList(cache, "LBckind",
                        {QStringLiteral("リムーバブルディスク"), QStringLiteral("ハードディスク"),
                         QStringLiteral("ネットワークドライブ"), QStringLiteral("ＲＡＭディスク")});
    LBcdrv = CheckList(cache, "LBcdrv", Letters(QStringLiteral("：")));
    LBckind->setFixedHeight(78);
    LBcdrv->setFixedHeight(78);
    auto* gc = new QGridLayout(cache);
    gc->addWidget(RBcall, 0, 0, 1, 2);
    gc->addWidget(RBckind, 1, 0, 1, 2);
    gc->addWidget(RBcdrv, 2, 0, 1, 2);
    gc->addWidget(LBckind, 3, 0);
    gc->addWidget(LBcdrv, 3, 1);

    auto* measure = new QGroupBox(QStringLiteral(" 計測 "), this);
    RBmman = Radio(measure, "RBmman", "手動で計測する(&S)");
    RBmyet = Radio(measure, "RBmyet", "未計測のフォルダがあるときに自動で計測する(&T)");
    RBmnot = Radio(measure, "RBmnot", "キャッシュしないドライブのみ自動で計測する(&U)");
    RBm1st = Radio(measure, "RBm1st", "起動後に初めて選択したときに自動で計測する(&V)");
    RBmsel = Radio(measure, "RBmsel", "選択するたびに自動で計測する(&W)");
    RBmlim = Radio(measure, "RBmlim", "期限が過ぎたときに自動で計測する(&X)");
    EDmlim = new QLineEdit(measure);
    EDmlim->setObjectName("EDmlim");
    EDmlim->setFixedWidth(60);
    EDmlim->setAlignment(Qt::AlignRight);
    LLmlim = Label(measure, "日後", EDmlim);
    CHmmulti = Check(measure, "CHmmulti", "複数のドライブを選択して計測する(&Y)");
    CHmask = Check(measure, "CHmask", "検索時に問い合わせをする(&Z)");
    CHmlink = Check(measure, "CHmlink", "ハードリンクは1回だけ数える(&N)");
    CHmlink->setToolTip(QStringLiteral("複数の名前を持つファイルの容量を、計測ごとに1回だけ数えます。"));
    auto* gm = new QVBoxLayout(measure);
    for (QRadioButton* r : {RBmman, RBmyet, RBmnot, RBm1st, RBmsel, RBmlim}) gm->addWidget(r);
    auto* days = new QHBoxLayout();
    days->addSpacing(24);
    days->addWidget(EDmlim);
    days->addWidget(LLmlim);
    days->addStretch(1);
    gm->addLayout(days);
    gm->addWidget(CHmmulti);
    gm->addWidget(CHmask);
    gm->addWidget(CHmlink);
    CHmprev = Check(measure, "CHmprev", "前回の計測結果を残す");
    CHmprev->setToolTip(QStringLiteral("計測のたびに前回の結果を残し、変化を表示できるようにします（キャッシュ1つ分の容量を使います）。"));
    gm->addWidget(CHmprev);

    CHsend = Check(this, "CHsend", "Norvessaを「送る」メニューに登録する(&*)");
    BTok = new QPushButton(QStringLiteral("&OK"), this);
    BTng = new QPushButton(QStringLiteral("&CLOSE"), this);
    BTok->setObjectName("BTok");
    BTng->setObjectName("BTng");
    BTok->setDefault(true);

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
    bottom->addWidget(CHsend, 1);
    bottom->addWidget(BTok);
    bottom->addWidget(BTng);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(bottom);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    for (QRadioButton* r : {RBcall, RBckind, RBcdrv, RBmman, RBmyet, RBmnot, RBm1st, RBmsel, RBmlim})
        connect(r, &QRadioButton::clicked, this, &TFMset::ApplyEnabling);
    connect(CHmmulti, &QCheckBox::clicked, this, &TFMset::ApplyEnabling);
    connect(BTok, &QPushButton::clicked, this, [this] {
        BTokClick();
        accept();
    });
    connect(BTng, &QPushButton::clicked, this, &QDialog::reject);

    // Where the entry goes is fixed now; without a place for it the box
    // says why it cannot be used.
    std::string why;
    sendTo_ = platform::SendToPath(&why);
    if (sendTo_.empty()) {
        CHsend->setEnabled(false);
        CHsend->setToolTip(QString::fromStdString(why));
    } else {
        CHsend->setToolTip(QStringLiteral("ファイルマネージャの「アプリケーションで開く」にフォルダ用として表示されます（") +
                           QString::fromStdString(sendTo_) + QStringLiteral("）"));
    }
}

void TFMset::showEvent(QShowEvent* event) {
    LoadControls();
    QDialog::showEvent(event);
    CentreOn(this, parentWidget());
}

void TFMset::LoadControls() {
    const GlobalState& g = Global();
    CHeflash->setChecked(g.ShowSplash != 0);
    CHmmulti->setChecked(g.MeasureMulti != 0);
    CHmask->setChecked(g.AskBeforeMeasure != 0);
    CHmlink->setChecked(g.CountLinksOnce != 0);
    CHmprev->setChecked(g.KeepPrevious != 0);
    CHarenw->setChecked(g.RemeasureAfterAction != 0);
    CHatrsh->setChecked(g.UseRecycleBin != 0);
    // An index the combo does not have leaves it without a selection.
    auto select = [](QComboBox* c, int index) { c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1); };
    select(CBedrv, g.StartDrive);
    select(CBvunit, g.SizeUnit);
    select(CBvbase, g.PercentBase);
    SetButtonsState(QString::fromStdString(g.BarFlags), {CHvdrv, CHvtool, CHvstatus});
    SetButtonsState(QString::fromStdString(g.ColumnFlags), {CHvsize, CHvarea, CHvfile, CHvfldr, CHvchg});
    // A radio group with no "1" has no button checked.
    const QList<QAbstractButton*> cacheGroup{RBcall, RBckind, RBcdrv};
    const QList<QAbstractButton*> measureGroup{RBmman, RBmyet, RBmnot, RBm1st, RBmsel, RBmlim};
    for (auto* group : {&cacheGroup, &measureGroup})
        for (QAbstractButton* b : *group) b->setAutoExclusive(false), b->setChecked(false);
    SetButtonsState(QString::fromStdString(g.CacheMode), cacheGroup);
    SetButtonsState(QString::fromStdString(g.MeasureMode), measureGroup);
    for (auto* group : {&cacheGroup, &measureGroup})
        for (QAbstractButton* b : *group) b->setAutoExclusive(true);
    SetCheckListState(QString::fromStdString(g.CacheKinds), LBckind);
    SetCheckListState(QString::fromStdString(g.CacheLetters), LBcdrv);
    EDmlim->setText(QString::number(g.ExpiryDays));
    CHsend->setChecked(platform::SendToExists(sendTo_));
    ApplyEnabling();
}

void TFMset::ApplyEnabling() {
    EnableWithCue(LBckind, RBckind->isChecked());
    EnableWithCue(LBcdrv, RBcdrv->isChecked());
    EnableWithCue(EDmlim, RBmlim->isChecked());
    EnableWithCue(LLmlim, RBmlim->isChecked());
    EnableWithCue(CHmask, !CHmmulti->isChecked());
    for (QListWidget* l : {LBckind, LBcdrv}) {
        l->setCurrentRow(-1);
        l->clearSelection();
    }
}

void TFMset::BTokClick() {
    GlobalState& g = Global();
    g.ShowSplash = CHeflash->isChecked() ? 1 : 0;
    g.MeasureMulti = CHmmulti->isChecked() ? 1 : 0;
    g.AskBeforeMeasure = CHmask->isChecked() ? 1 : 0;
    g.CountLinksOnce = CHmlink->isChecked() ? 1 : 0;
    g.KeepPrevious = CHmprev->isChecked() ? 1 : 0;
    g.RemeasureAfterAction = CHarenw->isChecked() ? 1 : 0;
    g.UseRecycleBin = CHatrsh->isChecked() ? 1 : 0;
    g.StartDrive = CBedrv->currentIndex();
    g.SizeUnit = CBvunit->currentIndex();
    g.PercentBase = CBvbase->currentIndex();
    g.BarFlags = ButtonsState({CHvdrv, CHvtool, CHvstatus}).toStdString();
    g.ColumnFlags = ButtonsState({CHvsize, CHvarea, CHvfile, CHvfldr, CHvchg}).toStdString();
    g.CacheMode = ButtonsState({RBcall, RBckind, RBcdrv}).toStdString();
    g.MeasureMode = ButtonsState({RBmman, RBmyet, RBmnot, RBm1st, RBmsel, RBmlim}).toStdString();
    g.CacheKinds = CheckListState(LBckind).toStdString();
    g.CacheLetters = CheckListState(LBcdrv).toStdString();
    int days = 0;
    if (ParseInt(EDmlim->text().trimmed().toStdString(), days)) g.ExpiryDays = days;
    if (CHsend->isEnabled()) {
        if (CHsend->isChecked()) platform::CreateSendTo(sendTo_, platform::ExecutablePath());
        else platform::RemoveSendTo(sendTo_);
    }
}

} // namespace nrvs
