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

TFMver::TFMver(QWidget* main) : QDialog(main), main_(main) {
    setObjectName("TFMver");
    setWindowTitle(QStringLiteral(" バージョン情報"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
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
    IMicon = new QLabel(this);
    IMicon->setObjectName("IMicon");
    IMicon->setGeometry(4, 4, 32, 32);
    IMicon->setPixmap(ImageIcon(kImageDisk).pixmap(32, 32));
    LLcpy = label("LLcpy", 44, 14,
                  QString::fromStdString(VersionLine(kNorvessaVersion, kNorvessaCommit)));
    LLcpy->resize(397 - 44 - 4, LLcpy->sizeHint().height());
    LLcom = label("LLcom", 70, 44, QStringLiteral("Computer "));
    LLcomstr = label("LLcomstr", 136, 44, QString());
    LLusr = label("LLusr", 242, 44, QStringLiteral("User "));
    LLusrstr = label("LLusrstr", 278, 44, QString());
    // A long name is cut at the next label rather than drawn over it.
    LLcomstr->resize(242 - 136 - 4, LLcomstr->sizeHint().height());
    LLusrstr->resize(397 - 278 - 4, LLusrstr->sizeHint().height());
    FitTexts(this);
}

void TFMver::showEvent(QShowEvent* event) {
    GlobalState& g = Global();
    if (g.UserName.empty()) g.UserName = platform::LoginName().substr(0, 99);
    LLcomstr->setText(QString::fromStdString(g.ComputerName));
    LLusrstr->setText(QString::fromStdString(g.UserName));
    LLcomstr->setToolTip(LLcomstr->text());
    LLusrstr->setToolTip(LLusrstr->text());
    QDialog::showEvent(event);
    CentreOn(this, main_);
}


} // namespace nrvs
