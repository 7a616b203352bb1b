#include "ui/info/VersionDialog.h"
#include "ui/WindowLayout.h"

#include "core/drives/DriveInfo.h"
#include "core/GlobalState.h"
#include "platform/ProgramLocation.h"
#include "ui/main/Images.h"
#include "ui/info/Version.h"

#include <QKeyEvent>
#include <QLabel>

namespace nrvs {

namespace {
constexpr int kImageDisk = 2;
} // namespace

VersionDialog::VersionDialog(QWidget* main) : QDialog(main), main_(main) {
    setObjectName("VersionDialog");
    setWindowTitle(QStringLiteral(" バージョン情報"));
    KeepOnlyCloseBox(this);
    setFixedSize(397, 70);
    QFont bold = font();
    bold.setBold(true);
    auto label = [this, &bold](const char* name, int left, int top, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(bold);
        l->move(left, top);
        return l;
    };
    iconLabel = new QLabel(this);
    iconLabel->setObjectName("iconLabel");
    iconLabel->setGeometry(4, 4, 32, 32);
    iconLabel->setPixmap(ImageIcon(kImageDisk).pixmap(32, 32));
    copyrightLabel = label("copyrightLabel", 44, 14,
                           QString::fromStdString(VersionLine(kNorvessaVersion, kNorvessaCommit)));
    copyrightLabel->resize(397 - 44 - 4, copyrightLabel->sizeHint().height());
    computerLabel = label("computerLabel", 70, 44, QStringLiteral("Computer "));
    computerNameLabel = label("computerNameLabel", 136, 44, QString());
    userLabel = label("userLabel", 242, 44, QStringLiteral("User "));
    userNameLabel = label("userNameLabel", 278, 44, QString());
    // A long name is cut at the next label rather than drawn over it.
    computerNameLabel->resize(242 - 136 - 4, computerNameLabel->sizeHint().height());
    userNameLabel->resize(397 - 278 - 4, userNameLabel->sizeHint().height());
    FitTexts(this);
}

void VersionDialog::showEvent(QShowEvent* event) {
    GlobalState& g = Global();
    if (g.UserName.empty()) g.UserName = platform::LoginName().substr(0, 99);
    computerNameLabel->setText(QString::fromStdString(g.ComputerName));
    userNameLabel->setText(QString::fromStdString(g.UserName));
    computerNameLabel->setToolTip(computerNameLabel->text());
    userNameLabel->setToolTip(userNameLabel->text());
    QDialog::showEvent(event);
    CentreOn(this, main_);
}

} // namespace nrvs
