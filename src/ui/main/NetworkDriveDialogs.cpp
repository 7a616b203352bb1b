#include "ui/main/NetworkDriveDialogs.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/Drives.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <sys/stat.h>
#include <unistd.h>

namespace nrvs {

namespace {

void AddButtons(QDialog* d, QVBoxLayout* layout, QPushButton*& ok, QPushButton*& ng) {
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    ok = new QPushButton(QStringLiteral("OK"), d);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    ng = new QPushButton(QStringLiteral("キャンセル"), d);
    ng->setObjectName("cancelButton");
    row->addWidget(ok);
    row->addWidget(ng);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(ng, &QPushButton::clicked, d, &QDialog::reject);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "//server/share" and "\\server\share" are SMB shares for gio.
QString GioAddress(QString address) {
    address.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (address.startsWith(QStringLiteral("//"))) return QStringLiteral("smb:") + address;
    return address;
}

// The folders gio's FUSE bridge shows its mounts in.
QStringList GvfsFolders() {
    QDir dir(QStringLiteral("/run/user/%1/gvfs").arg(::getuid()));
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

} // namespace

NetworkConnectDialog::NetworkConnectDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("NetworkConnectDialog");
    setWindowTitle(QStringLiteral("ネットワーク接続"));
    KeepOnlyCloseBox(this);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    shareEdit = new QLineEdit(this);
    shareEdit->setObjectName("shareEdit");
    shareEdit->setPlaceholderText(QStringLiteral("//server/share, sftp://host/path, /mnt/folder"));
    shareEdit->setMinimumWidth(300);
    letterCombo = new QComboBox(this);
    letterCombo->setObjectName("letterCombo");
    browseButton = new QPushButton(QStringLiteral("参照(&B)..."), this);
    browseButton->setObjectName("browseButton");
    browseButton->setToolTip(QStringLiteral("ドライブ文字を与えるフォルダを選びます"));
    auto* folderRow = new QHBoxLayout();
    folderRow->addWidget(shareEdit, 1);
    folderRow->addWidget(browseButton);
    form->addRow(QStringLiteral("ドライブ(&D):"), letterCombo);
    form->addRow(QStringLiteral("フォルダ(&O):"), folderRow);
    // The label's mnemonic goes to the typed path, not to the button.
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(folderRow)))
        label->setBuddy(shareEdit);
    layout->addLayout(form);
    AddButtons(this, layout, okButton, cancelButton);
    connect(browseButton, &QPushButton::clicked, this, [this] { BrowseForFolder(); });
}

// A local folder (a share mounted elsewhere, a disk's folder) chosen in the
// file dialog instead of typed, opened at the folder typed when there is one.
void NetworkConnectDialog::BrowseForFolder() {
    QString start = shareEdit->text().trimmed();
    if (!start.startsWith(QLatin1Char('/')) || !QFileInfo(start).isDir()) start = QDir::homePath();
    QFileDialog dialog(this, QStringLiteral("フォルダの選択"), start);
    dialog.setObjectName("browseDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    shareEdit->setText(dialog.selectedFiles().first());
}

int NetworkConnectDialog::Connect(const std::string& address, int letter, std::string& why) {
    if (letter < 0 || letter > 25 || !platform::DriveRoots()[static_cast<size_t>(letter)].empty()) {
        why = "このドライブ文字は使用中です。";
        return 1;
    }
    std::string folder;
    if (!address.empty() && address[0] == '/') {
        if (!IsFolder(address)) {
            why = "フォルダが見つかりません：" + address;
            return 1;
        }
        folder = address;
    } else {
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (gio.isEmpty()) {
            why = "共有フォルダを接続するには gio (GLib) が必要です。";
            return 1;
        }
        const QStringList before = GvfsFolders();
        QProcess mount;
        mount.start(gio, {QStringLiteral("mount"), GioAddress(QString::fromStdString(address))});
        if (!mount.waitForFinished(120000) || mount.exitCode() != 0) {
            mount.kill();
            why = "接続できませんでした：" + address + "\n" +
                  mount.readAllStandardError().trimmed().toStdString();
            return 1;
        }
        QString added;
        for (const QString& f : GvfsFolders())
            if (!before.contains(f)) added = f;
        if (added.isEmpty()) {
            why = "接続しましたが、フォルダとして開けません：" + address;
            return 1;
        }
        folder = QFile::encodeName(QStringLiteral("/run/user/%1/gvfs/").arg(::getuid()) + added)
                     .toStdString();
    }
    if (!platform::SetDriveMapEntry(letter, folder)) {
        why = "ドライブの割り当てを保存できませんでした。";
        return 1;
    }
    return 0;
}

int NetworkConnectDialog::Run() {
    letterCombo->clear();
    platform::DetectDriveMap();
    for (int n = 3; n < 26; ++n)
        if (platform::DriveRoots()[static_cast<size_t>(n)].empty())
            letterCombo->addItem(QString(QChar('A' + n)) + QStringLiteral(":"), n);
    shareEdit->clear();
    if (letterCombo->count() == 0) {
        ShowMessageBox("空いているドライブ文字がありません。", MB_ICONINFORMATION);
        return 1;
    }
    if (exec() != QDialog::Accepted) return 1;
    std::string why;
    if (Connect(shareEdit->text().trimmed().toStdString(), letterCombo->currentData().toInt(),
                why) != 0) {
        ShowMessageBox(why, MB_ICONSTOP);
        return 1;
    }
    return 0;
}

NetworkDisconnectDialog::NetworkDisconnectDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("NetworkDisconnectDialog");
    setWindowTitle(QStringLiteral("ネットワーク切断"));
    KeepOnlyCloseBox(this);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    driveCombo = new QComboBox(this);
    driveCombo->setObjectName("driveCombo");
    driveCombo->setMinimumWidth(300);
    form->addRow(QStringLiteral("ドライブ(&D):"), driveCombo);
    layout->addLayout(form);
    AddButtons(this, layout, okButton, cancelButton);
}

int NetworkDisconnectDialog::Disconnect(int letter) {
    if (letter < 0 || letter > 25) return 1;
    const std::string root = platform::DriveRoots()[static_cast<size_t>(letter)];
    if (root.empty()) return 1;
    // A share mounted through gio is unmounted too; a plain folder only loses its letter.
    const QString gvfs = QStringLiteral("/run/user/%1/gvfs/").arg(::getuid());
    const QString path = QFile::decodeName(QByteArray::fromStdString(root));
    if (path.startsWith(gvfs)) {
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (!gio.isEmpty())
            QProcess::execute(gio, {QStringLiteral("mount"), QStringLiteral("-u"), path});
    }
    return platform::SetDriveMapEntry(letter, "") ? 0 : 1;
}

int NetworkDisconnectDialog::Run() {
    driveCombo->clear();
    GlobalState& g = Global();
    for (int i = 0; i < g.Drives.ListedCount(); ++i) {
        const DriveRecord* r = g.Drives.ListedAt(i);
        // Network drives, and folders given a letter of their own (C: stays).
        if (!r || r->Index == 2) continue;
        const std::string root = platform::DriveRoots()[static_cast<size_t>(r->Index)];
        if (r->DriveType == 4 || platform::DriveMountPoint(r->RootPath) != root)
            driveCombo->addItem(QString::fromStdString(r->RootPath.substr(0, 2) + "  " + root),
                                r->Index);
    }
    if (driveCombo->count() == 0) {
        ShowMessageBox("切断できるネットワークドライブがありません。", MB_ICONINFORMATION);
        return 1;
    }
    if (exec() != QDialog::Accepted) return 1;
    return Disconnect(driveCombo->currentData().toInt());
}

} // namespace nrvs
