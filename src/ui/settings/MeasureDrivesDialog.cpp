#include "ui/settings/MeasureDrivesDialog.h"

#include "core/cache/Cache.h"
#include "core/GlobalState.h"
#include "lib/Text.h"
#include "ui/ControlStates.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nrvs {

TFMmsrdrv::TFMmsrdrv(QWidget* parent) : QDialog(parent) {
    setObjectName("TFMmsrdrv");
    setWindowTitle(QStringLiteral("計測ドライブ"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    auto* row = new QHBoxLayout(this);
    LBdrv = new QListWidget(this);
    LBdrv->setObjectName("LBdrv");
    LBdrv->setMinimumWidth(150);
    row->addWidget(LBdrv, 1);
    auto* side = new QVBoxLayout();
    RBcash = new QRadioButton(QStringLiteral("キャッシュするドライブ(&A)"), this);
    RBcurr = new QRadioButton(QStringLiteral("カレントドライブ(&B)"), this);
    RBpint = new QRadioButton(QStringLiteral("指定する(&D)"), this);
    RBcash->setObjectName("RBcash");
    RBcurr->setObjectName("RBcurr");
    RBpint->setObjectName("RBpint");
    RBcash->setChecked(true);
    for (QRadioButton* b : {RBcash, RBcurr, RBpint}) {
        side->addWidget(b);
        connect(b, &QRadioButton::clicked, this, &TFMmsrdrv::ApplyProposal);
    }
    side->addStretch(1);
    auto* buttons = new QHBoxLayout();
    BTok = new QPushButton(QStringLiteral("&OK"), this);
    BTng = new QPushButton(QStringLiteral("&CLOSE"), this);
    BTok->setObjectName("BTok");
    BTng->setObjectName("BTng");
    BTok->setDefault(true);
    buttons->addWidget(BTok);
    buttons->addWidget(BTng);
    side->addLayout(buttons);
    row->addLayout(side);
    connect(BTok, &QPushButton::clicked, this, &QDialog::accept);
    connect(BTng, &QPushButton::clicked, this, &QDialog::reject);
    resize(316, 175);
}

void TFMmsrdrv::Prepare() {
    GlobalState& g = Global();
    LBdrv->clear();
    for (int i = 0; i < g.Drives.ListedCount(); ++i) {
        const DriveRecord* r = g.Drives.ListedAt(i);
        auto* item = new QListWidgetItem(QString::fromStdString(r->RootPath.substr(0, 2) + "　" + r->VolumeName), LBdrv);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, r->Index);
    }
    BTok->setFocus();
    ApplyProposal();
}

void TFMmsrdrv::ApplyProposal() {
    GlobalState& g = Global();
    EnableWithCue(LBdrv, RBpint->isChecked());
    auto set = [this](int i, bool on) { LBdrv->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked); };
    if (RBcash->isChecked()) {
        const int rule = ChoiceIndex(g.CacheMode);
        for (int i = 0; i < LBdrv->count(); ++i) {
            const DriveRecord* r = g.Drives.ListedAt(i);
            if (rule == 0) set(i, true);
            else if (rule == 1) set(i, r && IsCached(*r));
            else if (rule == 2) set(i, r && DigitAt(g.CacheLetters, r->Index) == 1);
        }
    } else if (RBcurr->isChecked()) {
        const DriveRecord* cur = g.CurrentDrive;
        for (int i = 0; i < LBdrv->count(); ++i)
            set(i, cur && LBdrv->item(i)->data(Qt::UserRole).toInt() == cur->Index);
    }
    LBdrv->setCurrentRow(-1);
    LBdrv->clearSelection();
}

std::string TFMmsrdrv::Choice() const { return CheckListState(LBdrv).toStdString(); }

bool TFMmsrdrv::Run(std::string& result) {
    Prepare();
    if (exec() != QDialog::Accepted) return false;
    result = Choice();
    return true;
}

} // namespace nrvs
