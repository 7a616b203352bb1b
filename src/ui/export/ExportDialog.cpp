#include "ui/export/ExportDialog.h"

#include "core/exchange/Ncdu.h"
#include "ui/Locale.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "ui/ControlStates.h"
#include "ui/main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

namespace nrvs {

namespace {

template <typename T>
T* Make(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h) {
    auto* c = new T(parent);
    c->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_same_v<T, QGroupBox>)
        c->setTitle(caption);
    else if constexpr (!std::is_same_v<T, QComboBox>) {
        if (!caption.isNull()) c->setText(caption);
    }
    c->setGeometry(x, y, w, h);
    return c;
}

std::string Typed(const QComboBox* box) {
    return box->currentText().toStdString();
}

// Everything up to and including the last separator or drive colon.
QString DirectoryPart(const QString& name) {
    qsizetype cut = -1;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (name[i] == QLatin1Char('/') || name[i] == QLatin1Char('\\') ||
            name[i] == QLatin1Char(':'))
            cut = i;
    return name.left(cut + 1);
}

// The toolkit splits the patterns of a filter at spaces only, so each entry
// carries them again in a last pair of parentheses, which the dialog hides:
// it shows "HTML(*.html;*.htm)" and matches both extensions.
const char* const kFilter = "HTML(*.html;*.htm) (*.html *.htm);;CSV(*.csv) (*.csv)";

} // namespace

ExportDialog::ExportDialog(MainWindow* main) : QDialog(main), main_(main) {
    setObjectName("ExportDialog");
    setWindowTitle(QStringLiteral(" エクスポート"));
    KeepOnlyCloseBox(this);
    setFont(UiFont(12, true));
    setFixedSize(431, 239);

    treeCheck = Make<QCheckBox>(this, "treeCheck", QStringLiteral("ツリー情報(&T)"), 20, 6, 91, 17);
    treeGroup = Make<QGroupBox>(this, "treeGroup", QStringLiteral(" "), 8, 8, 417, 93);
    tree_.box = treeCheck;
    tree_.fileMark = 't';
    BuildSection(tree_, treeGroup, QStringLiteral("ファイル(&Q)"), QStringLiteral("HTML(&W)"),
                 QStringLiteral("CSV(&E)"), QStringLiteral("容量(&Y)"),
                 QStringLiteral("ファイル数(&U)"), QStringLiteral("フォルダ数(&P)"),
                 QStringLiteral("ハイパーリンク(&R)"));
    listCheck =
        Make<QCheckBox>(this, "listCheck", QStringLiteral("リスト情報(&L)"), 20, 106, 87, 17);
    listGroup = Make<QGroupBox>(this, "listGroup", QStringLiteral(" "), 8, 108, 417, 93);
    list_.box = listCheck;
    list_.fileMark = 'l';
    BuildSection(list_, listGroup, QStringLiteral("ファイル(&A)"), QStringLiteral("HTML(&S)"),
                 QStringLiteral("CSV(&D)"), QStringLiteral("容量(&G)"),
                 QStringLiteral("ファイル数(&H)"), QStringLiteral("フォルダ数(&J)"),
                 QStringLiteral("ハイパーリンク(&F)"));
    // The section boxes sit on the frames of their groups.
    treeCheck->raise();
    listCheck->raise();
    setTabOrder(treeCheck, treeGroup);
    setTabOrder(listCheck, listGroup);

    okButton = Make<QPushButton>(this, "okButton", QStringLiteral("&OK"), 274, 208, 75, 25);
    okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton->setDefault(true);
    cancelButton =
        Make<QPushButton>(this, "cancelButton", QStringLiteral("&CLOSE"), 350, 208, 75, 25);
    cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cancelButton->setAutoDefault(false);
    treeBrowseButton->setObjectName("treeBrowseButton");
    listBrowseButton->setObjectName("listBrowseButton");

    saveDialog = new QFileDialog(this, QStringLiteral("エクスポートファイル"));
    saveDialog->setObjectName("saveDialog");
    saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    saveDialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    saveDialog->setOption(QFileDialog::HideNameFilterDetails, true);
    saveDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    saveDialog->setNameFilter(QString::fromUtf8(kFilter));
    RunSaveDialog = [](QFileDialog* d) { return d->exec(); };

    connect(treeCheck, &QCheckBox::toggled, this, &ExportDialog::onTreeCheck);
    connect(treeHtmlRadio, &QRadioButton::toggled, this, &ExportDialog::onTreeCheck);
    connect(treeCsvRadio, &QRadioButton::toggled, this, &ExportDialog::onTreeCheck);
    connect(treeNcduRadio, &QRadioButton::toggled, this, &ExportDialog::onTreeCheck);
    connect(listCheck, &QCheckBox::toggled, this, &ExportDialog::onListCheck);
    connect(listHtmlRadio, &QRadioButton::toggled, this, &ExportDialog::onListCheck);
    connect(listCsvRadio, &QRadioButton::toggled, this, &ExportDialog::onListCheck);
    connect(treeBrowseButton, &QToolButton::clicked, this, &ExportDialog::onTreeBrowse);
    connect(listBrowseButton, &QToolButton::clicked, this, &ExportDialog::onListBrowse);
    connect(okButton, &QPushButton::clicked, this, &ExportDialog::onOk);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    FormShow(false);
    FitTexts(this);
    const int boxes = std::max(treeGroup->width(), listGroup->width());
    treeGroup->resize(boxes, treeGroup->height());
    listGroup->resize(boxes, listGroup->height());
    // The main window's menu item and toolbar button open this dialog.
    if (main_) {
        connect(main_->toolsExportAction, &QAction::triggered, main_, &MainWindow::onToolsExport);
        connect(main_->toolsExportToolbarAction, &QAction::triggered, main_,
                &MainWindow::onToolsExport);
    }
}

void ExportDialog::BuildSection(Section& s, QGroupBox* g, const QString& fileCaption,
                                const QString& htmlCaption, const QString& csvCaption,
                                const QString& sizeCaption, const QString& filesCaption,
                                const QString& foldersCaption, const QString& linkCaption) {
    const bool tree = s.fileMark == 't';
    auto name = [&](const char* role) { return QByteArray(tree ? "tree" : "list") + role; };
    s.label = Make<QLabel>(g, "", fileCaption, 12, 31, 57, 12);
    s.label->setObjectName(QString::fromLatin1(name("FileLabel")));
    // Wider than the form's 69 pixels, up to the CSV button: the substitute
    // font is wider and would cut off the closing parenthesis.
    s.html = Make<QRadioButton>(g, "", htmlCaption, 96, 29, 78, 17);
    s.html->setObjectName(QString::fromLatin1(name("HtmlRadio")));
    s.csv = Make<QRadioButton>(g, "", csvCaption, 176, 29, 64, 17);
    s.csv->setObjectName(QString::fromLatin1(name("CsvRadio")));
    if (tree) {
        s.ncdu = Make<QRadioButton>(g, "", QStringLiteral("ncdu"), 242, 29, 60, 17);
        s.ncdu->setObjectName(QStringLiteral("treeNcduRadio"));
        s.ncdu->setToolTip(QStringLiteral(
            "ncdu -f や gdu -f で開ける JSON 形式で、ドライブの計測結果を書き出します"));
        treeNcduRadio = s.ncdu;
    }
    s.names = Make<QComboBox>(g, "", QString(), 12, 52, 221, 20);
    s.names->setObjectName(QString::fromLatin1(name("FileCombo")));
    s.names->setEditable(true);
    s.names->setInsertPolicy(QComboBox::NoInsert);
    s.names->setMaxVisibleItems(10);
    s.label->setBuddy(s.names);
    s.browse = Make<QToolButton>(g, "", QString(), 234, 51, 23, 22);
    s.browse->setAutoRaise(true);
    s.browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    s.browse->setToolTip(QStringLiteral("参照"));
    s.size = Make<QCheckBox>(g, "", sizeCaption, 306, 16, 61, 17);
    s.size->setObjectName(QString::fromLatin1(name("SizeCheck")));
    s.files = Make<QCheckBox>(g, "", filesCaption, 306, 32, 101, 17);
    s.files->setObjectName(QString::fromLatin1(name("FilesCheck")));
    s.folders = Make<QCheckBox>(g, "", foldersCaption, 306, 48, 101, 17);
    s.folders->setObjectName(QString::fromLatin1(name("FoldersCheck")));
    s.link = Make<QCheckBox>(g, "", linkCaption, 306, 64, 109, 17);
    s.link->setObjectName(QString::fromLatin1(name("LinkCheck")));
    s.spreadsheet = Make<QCheckBox>(g, "", QStringLiteral("表計算ソフト向け"), 12, 74, 221, 17);
    s.spreadsheet->setObjectName(QString::fromLatin1(name("SpreadsheetCheck")));
    s.spreadsheet->setToolTip(
        QStringLiteral("CSVの先頭にBOMを付け、=、+、-、@ などで始まるセルの前に ' を付けます。\n"
                       "表計算ソフトが文字化けせず、名前を数式として実行しないようにします。\n"
                       "オフにするとデータをそのまま書き出します。"));
    if (tree) {
        treeFileLabel = s.label, treeHtmlRadio = s.html, treeCsvRadio = s.csv,
        treeFileCombo = s.names, treeBrowseButton = s.browse;
        treeSizeCheck = s.size, treeFilesCheck = s.files, treeFoldersCheck = s.folders,
        treeLinkCheck = s.link, treeSpreadsheetCheck = s.spreadsheet;
    } else {
        listFileLabel = s.label, listHtmlRadio = s.html, listCsvRadio = s.csv,
        listFileCombo = s.names, listBrowseButton = s.browse;
        listSizeCheck = s.size, listFilesCheck = s.files, listFoldersCheck = s.folders,
        listLinkCheck = s.link, listSpreadsheetCheck = s.spreadsheet;
    }
}

// ---------------------------------------------------------------- choices

void ExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOn(this, main_);
    FormShow(true);
}

void ExportDialog::FormShow(bool shown) {
    LoadSection(tree_);
    LoadSection(list_);
    if (shown) (okButton->isEnabled() ? static_cast<QWidget*>(okButton) : cancelButton)->setFocus();
}

void ExportDialog::LoadSection(Section& s) {
    ExportSettings settings = LoadExportSettings(ExportSettingsFileName(s.fileMark));
    const QSignalBlocker b1(s.box), b2(s.html), b3(s.csv), b4(s.ncdu);
    SetButtonsState(QString::fromStdString(settings.Checks),
                    {s.box, s.size, s.files, s.folders, s.link});
    // Set as a radio group would be: the second mark clears the first, and
    // "00" leaves neither chosen (a plain auto-exclusive button refuses that).
    const QString formats = QString::fromStdString(settings.Formats);
    auto mark = [&](int i) {
        return formats.size() > i ? (formats[i] != QLatin1Char('0') ? 1 : 0) : -1;
    };
    bool html = s.html->isChecked(), csv = s.csv->isChecked(), ncdu = s.ncdu && s.ncdu->isChecked();
    if (mark(0) == 1) html = true, csv = false;
    if (mark(1) == 1) csv = true, html = false;
    if (mark(0) == 0 && mark(1) == 0) html = csv = false;
    // The fourth mark, after the spreadsheet one: ncdu's format (the tree).
    if (s.ncdu) ncdu = mark(3) == 1 && !html && !csv;
    for (QRadioButton* b : {s.html, s.csv, s.ncdu})
        if (b) b->setAutoExclusive(false);
    s.html->setChecked(html);
    s.csv->setChecked(csv);
    if (s.ncdu) s.ncdu->setChecked(ncdu);
    for (QRadioButton* b : {s.html, s.csv, s.ncdu})
        if (b) b->setAutoExclusive(true);
    s.spreadsheet->setChecked(mark(2) != 0);
    s.names->clear();
    s.names->clearEditText();
    for (const auto& n : settings.Names)
        s.names->addItem(QString::fromStdString(n));
    if (!settings.Names.empty())
        s.names->setEditText(QString::fromStdString(settings.Names.front()));
    EnableSection(s);
}

void ExportDialog::EnableSection(Section& s) {
    const bool on = s.box->isChecked();
    // ncdu's format has no columns to choose: it holds every figure.
    const bool columns = !(s.ncdu && s.ncdu->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{s.label, s.html, s.csv, s.browse})
        EnableWithCue(w, on);
    if (s.ncdu) EnableWithCue(s.ncdu, on);
    for (QWidget* w : std::initializer_list<QWidget*>{s.size, s.files, s.folders})
        EnableWithCue(w, on && columns);
    EnableWithCue(s.link, on && s.html->isChecked());
    EnableWithCue(s.spreadsheet, on && s.csv->isChecked());
    okButton->setEnabled(treeCheck->isChecked() || listCheck->isChecked());
}

void ExportDialog::onTreeCheck() {
    if (okButton) EnableSection(tree_);
}

void ExportDialog::onListCheck() {
    if (okButton) EnableSection(list_);
}

void ExportDialog::Browse(Section& s) {
    QApplication::processEvents();
    const bool html = s.html->isChecked();
    // A program-form name (X:\...) starts the dialog in its native folder.
    const QString name =
        QString::fromStdString(ExportNativeName(s.names->currentText().toStdString()));
    const QStringList filters = saveDialog->nameFilters();
    const bool ncdu = s.ncdu && s.ncdu->isChecked();
    saveDialog->setDefaultSuffix(ncdu   ? QStringLiteral("json")
                                 : html ? QStringLiteral("html")
                                        : QStringLiteral("csv"));
    saveDialog->setDirectory(DirectoryPart(name));
    saveDialog->selectFile(name.mid(DirectoryPart(name).size()));
    if (filters.size() == 2) saveDialog->selectNameFilter(filters[html ? 0 : 1]);
    if (RunSaveDialog(saveDialog) == QDialog::Accepted && !saveDialog->selectedFiles().isEmpty())
        s.names->setEditText(saveDialog->selectedFiles().first());
}

void ExportDialog::onTreeBrowse() {
    Browse(tree_);
}
void ExportDialog::onListBrowse() {
    Browse(list_);
}

// ---------------------------------------------------------------- OK

void ExportDialog::RecordSection(Section& s) {
    const QString typed = s.names->currentText();
    ExportSettings settings;
    for (int i = 0; i < s.names->count(); ++i)
        settings.Names.push_back(s.names->itemText(i).toStdString());
    RecordRecentName(settings.Names, typed.toStdString());
    s.names->clear();
    for (const auto& n : settings.Names)
        s.names->addItem(QString::fromStdString(n));
    settings.Checks = ButtonsState({s.box, s.size, s.files, s.folders, s.link}).toStdString();
    settings.Formats = ButtonsState({s.html, s.csv, s.spreadsheet}).toStdString();
    // A fourth mark only when it is set: files of older versions stay as
    // they were.
    if (s.ncdu && s.ncdu->isChecked()) settings.Formats += '1';
    if (!SaveExportSettings(ExportSettingsFileName(s.fileMark), settings))
        TellSaveFailed(ExportSettingsFileName(s.fileMark));
    s.names->setEditText(typed);
}

void ExportDialog::onOk() {
    if ((treeCheck->isChecked() && !ExportNameGiven(Typed(treeFileCombo))) ||
        (listCheck->isChecked() && !ExportNameGiven(Typed(listFileCombo)))) {
        ShowMessageBox("ファイルを指定してください。", MB_ICONSTOP);
        return;
    }
    RecordSection(tree_);
    if (treeCheck->isChecked() && !ExportTree()) return;
    RecordSection(list_);
    if (listCheck->isChecked() && !ExportList()) return;
    // Where the documents went, in full: a name typed without a folder
    // lands in the home folder.
    std::string written;
    if (treeCheck->isChecked()) written += "\n" + ExportNativeName(Typed(treeFileCombo));
    if (listCheck->isChecked()) written += "\n" + ExportNativeName(Typed(listFileCombo));
    ShowMessageBox("エクスポートが完了しました。\n" + written, MB_ICONINFORMATION);
    accept();
}

ExportColumns ExportDialog::Columns(const Section& s) const {
    return {s.size->isChecked(), s.files->isChecked(), s.folders->isChecked(), s.link->isChecked(),
            s.csv->isChecked() && s.spreadsheet->isChecked()};
}

ExportContext ExportDialog::Context() const {
    const GlobalState& g = Global();
    return {g.ComputerName, g.CurrentDrive ? g.CurrentDrive->RootPath : std::string(),
            ExportDateText(), g.SizeUnit};
}

// The failure names the file and the system's reason below the message, so
// that a full disk and a mistyped folder can be told apart.
bool ExportDialog::ExportTree() {
    std::string why;
    if (treeNcduRadio && treeNcduRadio->isChecked()) {
        // The drive's whole measured tree, files from its index.
        const DriveRecord* drive = Global().CurrentDrive;
        if (drive && ExportNcdu(drive->RootPath, ExportNativeName(Typed(treeFileCombo)), why))
            return true;
        ShowMessageBox("ツリー情報をエクスポートできません。\n\n" + Typed(treeFileCombo) + "\n" +
                           why,
                       MB_ICONSTOP);
        return false;
    }
    if (ExportTreeFile(Typed(treeFileCombo), treeHtmlRadio->isChecked(), Context(), Columns(tree_),
                       Global().Folders, &why))
        return true;
    ShowMessageBox("ツリー情報をエクスポートできません。\n\n" + Typed(treeFileCombo) + "\n" + why,
                   MB_ICONSTOP);
    return false;
}

bool ExportDialog::ExportList() {
    static const RowList kNone;
    const RowList& rows = main_ ? main_->Rows() : kNone;
    const double base = main_ ? main_->PercentBaseValue : 0;
    std::string why;
    if (ExportListFile(Typed(listFileCombo), listHtmlRadio->isChecked(), Context(), Columns(list_),
                       rows, base, &why))
        return true;
    ShowMessageBox("リスト情報をエクスポートできません。\n\n" + Typed(listFileCombo) + "\n" + why,
                   MB_ICONSTOP);
    return false;
}

} // namespace nrvs
