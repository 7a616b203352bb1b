#include "ui/settings/MeasureDrivesDialog.h"
#include "ui/WindowLayout.h"

#include "core/cache/Cache.h"
#include "core/GlobalState.h"
#include "lib/SettingsLines.h"
#include "ui/ControlStates.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nrvs {

MeasureDrivesDialog::MeasureDrivesDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("MeasureDrivesDialog");
    setWindowTitle(QStringLiteral("計測ドライブ"));
    KeepOnlyCloseBox(this);
    auto* row = new QHBoxLayout(this);
    driveList = new QListWidget(this);
    driveList->setObjectName("driveList");
    driveList->setMinimumWidth(150);
    row->addWidget(driveList, 1);
    auto* side = new QVBoxLayout();
    cachedDrivesRadio = new QRadioButton(QStringLiteral("キャッシュするドライブ(&A)"), this);
    currentDriveRadio = new QRadioButton(QStringLiteral("カレントドライブ(&B)"), this);
    chosenDrivesRadio = new QRadioButton(QStringLiteral("指定する(&D)"), this);
    cachedDrivesRadio->setObjectName("cachedDrivesRadio");
    currentDriveRadio->setObjectName("currentDriveRadio");
    chosenDrivesRadio->setObjectName("chosenDrivesRadio");
    cachedDrivesRadio->setChecked(true);
    for (QRadioButton* b : {cachedDrivesRadio, currentDriveRadio, chosenDrivesRadio}) {
        side->addWidget(b);
        connect(b, &QRadioButton::clicked, this, &MeasureDrivesDialog::ApplyProposal);
    }
    side->addStretch(1);
    auto* buttons = new QHBoxLayout();
    okButton = new QPushButton(QStringLiteral("&OK"), this);
    cancelButton = new QPushButton(QStringLiteral("&CLOSE"), this);
    okButton->setObjectName("okButton");
    cancelButton->setObjectName("cancelButton");
    okButton->setDefault(true);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    side->addLayout(buttons);
    row->addLayout(side);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(316, 175);
}

void MeasureDrivesDialog::Prepare() {
    GlobalState& g = Global();
    driveList->clear();
    for (int i = 0; i < g.Drives.ListedCount(); ++i) {
        const DriveRecord* r = g.Drives.ListedAt(i);
        auto* item = new QListWidgetItem(
            QString::fromStdString(r->RootPath.substr(0, 2) + "　" + r->VolumeName), driveList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, r->Index);
    }
    okButton->setFocus();
    ApplyProposal();
}

void MeasureDrivesDialog::ApplyProposal() {
    GlobalState& g = Global();
    EnableWithCue(driveList, chosenDrivesRadio->isChecked());
    auto set = [this](int i, bool on) {
        driveList->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    };
    if (cachedDrivesRadio->isChecked()) {
        const int rule = ChoiceIndex(g.CacheMode);
        for (int i = 0; i < driveList->count(); ++i) {
            const DriveRecord* r = g.Drives.ListedAt(i);
            if (rule == 0)
                set(i, true);
            else if (rule == 1)
                set(i, r && IsCached(*r));
            else if (rule == 2)
                set(i, r && DigitAt(g.CacheLetters, r->Index) == 1);
        }
    } else if (currentDriveRadio->isChecked()) {
        const DriveRecord* cur = g.CurrentDrive;
        for (int i = 0; i < driveList->count(); ++i)
            set(i, cur && driveList->item(i)->data(Qt::UserRole).toInt() == cur->Index);
    }
    driveList->setCurrentRow(-1);
    driveList->clearSelection();
}

std::string MeasureDrivesDialog::Choice() const {
    return CheckListState(driveList).toStdString();
}

bool MeasureDrivesDialog::Run(std::string& result) {
    Prepare();
    if (exec() != QDialog::Accepted) return false;
    result = Choice();
    return true;
}

} // namespace nrvs
