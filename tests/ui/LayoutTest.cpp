// Every window and dialog, offscreen on screens of several sizes and scales:
// wholly on the screen, no child outside its window, and no label, button,
// check box, tab or column heading with less room than its text needs.
// Run as "LayoutTest WIDTHxHEIGHT[@SCALE]" (1280x800 when no size is given).
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "support/ResetGlobalState.h"
#include "support/TempDrive.h"
#include "ui/WindowLayout.h"
#include "ui/ReportWindow.h"
#include "ui/Locale.h"
#include "ui/MessageBoxes.h"
#include "ui/main/FolderPickerDialog.h"
#include "ui/main/MainWindow.h"
#include "ui/changes/ChangesWindow.h"
#include "ui/export/ExportDialog.h"
#include "ui/files/FilesWindow.h"
#include "ui/info/DriveInfoDialog.h"
#include "ui/info/DriveMonitorWindow.h"
#include "ui/info/FolderMonitorWindow.h"
#include "ui/info/VersionDialog.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/SplashWindow.h"
#include "ui/main/NetworkDriveDialogs.h"
#include "ui/main/PropertiesDialog.h"
#include "ui/rank/RankingWindow.h"
#include "ui/running/RunningDialog.h"
#include "ui/settings/MeasureDrivesDialog.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/sim/SimulationWindow.h"
#include "ui/treemap/TreemapWindow.h"
#include "ui/types/TypesWindow.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QListWidget>
#include <QScrollBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QAbstractSlider>
#include <QWindow>
#include <QtTest>

#include <cstdlib>

using namespace nrvs;

namespace {
struct SilentUi : MessageUi {
    void ShowMessage(const std::string&, int) override {}
    int AskQuestion(const std::string&, int) override { return ID_NO; }
};

QString NameOf(const QWidget* w) {
    QString n = w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName();
    return n + u'(' + QString::fromLatin1(w->metaObject()->className()) + u')';
}

QString Stripped(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

bool InsideScrollArea(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p)) return true;
    return false;
}

// Room a push button's text needs: the text, its icon and the style's margins.
int ButtonNeeds(const QPushButton* b) {
    const QFontMetrics fm = b->fontMetrics();
    int need = fm.horizontalAdvance(Stripped(b->text())) +
               2 * b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
    if (!b->icon().isNull()) need += b->iconSize().width() + 4;
    return need;
}

// What is wrong with a modal window's frame: only its title and close box,
// at every opening (openbox grants that to a toolbar-type tool window only).
QString FrameProblem(const QWidget* d, const QString& what) {
    const Qt::WindowFlags f = d->windowFlags();
    if ((f & Qt::WindowType_Mask) != Qt::Tool) return what + QStringLiteral(" is no tool window");
    if (!f.testFlag(Qt::CustomizeWindowHint) || !f.testFlag(Qt::WindowCloseButtonHint) ||
        f.testFlag(Qt::WindowMinimizeButtonHint) || f.testFlag(Qt::WindowMaximizeButtonHint))
        return what + QStringLiteral(" asks for other buttons than its close box");
    if (!d->testAttribute(Qt::WA_X11NetWmWindowTypeToolBar))
        return what + QStringLiteral(" is not of the toolbar type");
    return QString();
}

// Whatever of a window does not fit, one line each, naming the widget.
QStringList Problems(QWidget* window, const QRect& screen) {
    QStringList out;
    const QString name = NameOf(window);
    if (!screen.contains(window->frameGeometry()))
        out << QStringLiteral("%1 at %2,%3 %4x%5 is not wholly on the screen %6x%7")
                   .arg(name)
                   .arg(window->frameGeometry().x())
                   .arg(window->frameGeometry().y())
                   .arg(window->frameGeometry().width())
                   .arg(window->frameGeometry().height())
                   .arg(screen.width())
                   .arg(screen.height());
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* c : children) {
        if (!c->isVisibleTo(window) || c->isWindow()) continue;
        if (c->window() != window) continue;
        const QString where = name + u'/' + NameOf(c);
        const QWidget* parent = c->parentWidget();
        if (!InsideScrollArea(c, window) && !qobject_cast<const QAbstractScrollArea*>(parent) &&
            !parent->rect().contains(c->geometry()))
            out << QStringLiteral("%1 lies outside its parent (%2,%3 %4x%5 in %6x%7)")
                       .arg(where)
                       .arg(c->x())
                       .arg(c->y())
                       .arg(c->width())
                       .arg(c->height())
                       .arg(parent->width())
                       .arg(parent->height());
        // Texts side by side never overlap ("Computer" running into its value).
        if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c)) {
            for (QObject* o : parent->children()) {
                auto* sib = qobject_cast<QWidget*>(o);
                if (!sib || sib == c || !sib->isVisibleTo(window) || sib->isWindow() || sib < c)
                    continue;
                if (!qobject_cast<QLabel*>(sib) && !qobject_cast<QAbstractButton*>(sib)) continue;
                auto* lc = qobject_cast<QLabel*>(c);
                auto* ls = qobject_cast<QLabel*>(sib);
                if ((lc && lc->text().isEmpty() && !lc->pixmap().isNull()) ||
                    (ls && ls->text().isEmpty()))
                    continue;
                if (lc && lc->text().isEmpty()) continue;
                // The part of a label its text covers.
                auto used = [](QWidget* w) {
                    QRect r = w->geometry();
                    if (auto* l = qobject_cast<QLabel*>(w);
                        l && !l->wordWrap() && !(l->alignment() & Qt::AlignRight))
                        r.setWidth(std::min(r.width(), l->sizeHint().width()));
                    return r;
                };
                // A pixel's row shared by the frames of two lines is no overlap.
                const QRect both = used(c).intersected(used(sib));
                if (both.width() > 1 && both.height() > 1)
                    out << QStringLiteral("%1 overlaps %2").arg(where, NameOf(sib));
            }
        }
        auto tooNarrow = [&](const QString& text, int need, int room) {
            if (need > room)
                out << QStringLiteral("%1 \"%2\" needs %3 pixels, has %4")
                           .arg(where, text)
                           .arg(need)
                           .arg(room);
        };
        if (auto* l = qobject_cast<QLabel*>(c)) {
            if (l->text().isEmpty() || !l->pixmap().isNull()) continue;
            if (l->wordWrap()) {
                const int need = l->heightForWidth(l->width());
                if (need > l->height())
                    out << QStringLiteral("%1 \"%2\" needs %3 pixels of height, has %4")
                               .arg(where, l->text())
                               .arg(need)
                               .arg(l->height());
            } else {
                tooNarrow(l->text(), l->sizeHint().width(), l->width());
                if (l->sizeHint().height() > l->height() + 1)
                    out << QStringLiteral("%1 \"%2\" needs %3 pixels of height, has %4")
                               .arg(where, l->text())
                               .arg(l->sizeHint().height())
                               .arg(l->height());
            }
        } else if (auto* b = qobject_cast<QPushButton*>(c)) {
            if (!b->text().isEmpty()) tooNarrow(b->text(), ButtonNeeds(b), b->width());
        } else if (auto* b = qobject_cast<QCheckBox*>(c)) {
            tooNarrow(b->text(), b->sizeHint().width(), b->width());
        } else if (auto* b = qobject_cast<QRadioButton*>(c)) {
            tooNarrow(b->text(), b->sizeHint().width(), b->width());
        } else if (auto* b = qobject_cast<QToolButton*>(c)) {
            if (!b->text().isEmpty() && b->toolButtonStyle() != Qt::ToolButtonIconOnly &&
                b->autoRaise() == false)
                tooNarrow(b->text(), b->sizeHint().width(), b->width());
        } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
            if (!g->title().isEmpty())
                tooNarrow(g->title(), g->fontMetrics().horizontalAdvance(Stripped(g->title())) + 16,
                          g->width());
        } else if (auto* t = qobject_cast<QTabBar*>(c)) {
            for (int i = 0; i < t->count(); ++i)
                tooNarrow(t->tabText(i),
                          t->fontMetrics().horizontalAdvance(Stripped(t->tabText(i))) + 8,
                          t->tabRect(i).width());
        } else if (auto* list = qobject_cast<QListWidget*>(c);
                   list && list->count() > 0 && list->count() <= 8 &&
                   (list->item(0)->flags() & Qt::ItemIsUserCheckable)) {
            // A short check list of fixed choices shows them all.
            const int last = list->visualItemRect(list->item(list->count() - 1)).bottom();
            if (last >= list->viewport()->height() + 1 || list->verticalScrollBar()->isVisible())
                out << QStringLiteral("%1 shows its %2 choices only in part")
                           .arg(where)
                           .arg(list->count());
        } else if (auto* t = qobject_cast<QTableWidget*>(c)) {
            // Captions in the cells of a fixed table (the drive information):
            // the text and the icon each with the item's margins on both
            // sides, and the grid line.
            const int margin =
                2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1);
            const int grid = t->showGrid() ? 1 : 0;
            for (int col = 0; col < t->columnCount(); ++col) {
                if (t->horizontalHeader()->stretchLastSection() && col == t->columnCount() - 1)
                    continue;
                for (int row = 0; row < t->rowCount(); ++row) {
                    const QTableWidgetItem* item = t->item(row, col);
                    if (!item || item->text().isEmpty()) continue;
                    int need = t->fontMetrics().horizontalAdvance(item->text()) + margin + grid;
                    if (!item->icon().isNull()) need += t->iconSize().width() + margin;
                    tooNarrow(item->text(), need, t->columnWidth(col));
                }
            }
        } else if (auto* h = qobject_cast<QHeaderView*>(c)) {
            if (!h->model() || h->orientation() != Qt::Horizontal) continue;
            // The columns of a report list fill its width, no more and no
            // less: a column past the right edge is cut, and room left empty
            // is room its path column could have had.
            if (auto* view = qobject_cast<QAbstractItemView*>(h->parentWidget());
                view && view->objectName() == QStringLiteral("reportList") &&
                (qobject_cast<ReportWindow*>(window) || qobject_cast<RankingWindow*>(window)) &&
                !h->stretchLastSection() && h->count() > 1 &&
                h->length() != view->viewport()->width())
                out << QStringLiteral("%1: the columns take %2 pixels of the list's %3")
                           .arg(where)
                           .arg(h->length())
                           .arg(view->viewport()->width());
            const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i) || h->sectionSize(i) == 0) continue;
                // The last section stretches over whatever room is left.
                if (h->stretchLastSection() && h->visualIndex(i) == h->count() - 1) continue;
                const QString text = h->model()->headerData(i, Qt::Horizontal).toString();
                if (text.isEmpty()) continue;
                int need = h->fontMetrics().horizontalAdvance(text) + margin;
                if (h->isSortIndicatorShown() && h->sortIndicatorSection() == i)
                    need += h->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, h);
                tooNarrow(text, need, h->sectionSize(i));
            }
        }
    }
    return out;
}
} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    SilentUi ui;

    QRect Screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    QList<QWidget*> WindowsOf(MainWindow& w) const {
        return {w.Running,
                w.Progress,
                w.Export,
                w.Properties,
                w.Simulation,
                w.Settings,
                w.MeasureDrivesChoice,
                w.VersionInfo,
                w.DriveInformation,
                w.DriveMonitor,
                w.FolderMonitor,
                w.Ranking,
                w.Files,
                w.MapWindow,
                w.Types,
                w.NetworkConnect,
                w.NetworkDisconnect,
                w.Splash,
                w.Changes};
    }

    // The main window on screen, its timer still, the test drive shown.
    bool ShowTheDrive(MainWindow& w) const {
        w.show();
        w.refreshTimer->stop();
        if (!QTest::qWaitForWindowExposed(&w)) return false;
        w.OpenPath(drive->Root(), true);
        return true;
    }

  private slots:
    void initTestCase() {
        InstallJapaneseUi();
        drive = std::make_unique<test::TempDrive>();
        SetMessageUi(&ui);
        drive->Dir().Write("ソース/src/日本語の長い名前のファイル.txt", std::string(5000, 'a'));
        drive->Dir().Write("b/c", std::string(300, 'b'));
    }
    void cleanupTestCase() {
        SetMessageUi(nullptr);
        drive.reset();
    }

    // The toolkit's own dialogs speak Japanese.
    void toolkitDialogsAreJapanese() {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QVERIFY2(
            box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("キャンセル")),
            qPrintable(box.button(QDialogButtonBox::Cancel)->text()));
        QCOMPARE(QLocale().language(), QLocale::Japanese);
        QCOMPARE(QApplication::font().families().value(0), UiFontFamilies().value(0));
        QVERIFY2(QFontInfo(QApplication::font()).family() == UiFontFamilies().value(0),
                 "the UI font is not installed (tools/setup.sh installs it)");
    }

    // A message box keeps its Japanese lines whole: no "す。" alone.
    void messageBoxesKeepTheirLines() {
        QtMessageUi boxes;
        const std::string text = "クリーンアップのツールが見つかりません。\n"
                                 "BleachBit (Debian のパッケージ bleachbit) "
                                 "をインストールすると、ここからそのまま使えるようになります。";
        QStringList problems;
        int lines = 0;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            lines = label->height() / label->fontMetrics().lineSpacing();
            problems = Problems(box, Screen());
            if (const QString p = FrameProblem(box, QStringLiteral("the message box"));
                !p.isEmpty())
                problems << p;
            box->accept();
        });
        boxes.ShowMessage(text, MB_ICONINFORMATION);
        QCOMPARE(lines, 2);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        // A question too.
        QTimer::singleShot(0, this, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                problems << FrameProblem(box, QStringLiteral("the question"));
                box->close();
            }
        });
        boxes.AskQuestion(text, MB_ICONQUESTION);
        problems.removeAll(QString());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // The first window, then every window and dialog it opens, each shown
    // alone over it.
    void modalDialogsHaveOnlyTheirCloseButton() {
        test::ResetGlobalState();
        MainWindow w{StringList{}};
        w.show();
        w.refreshTimer->stop();
        FolderPickerDialog browse(QStringLiteral("コピー先"), &w);
        const QList<QDialog*> modal = {w.Ranking,        w.Running,           w.Progress,
                                       w.Export,         w.Properties,        w.Simulation,
                                       w.Settings,       w.VersionInfo,       w.DriveInformation,
                                       w.NetworkConnect, w.NetworkDisconnect, &browse};
        for (QDialog* d : modal) {
            // Twice: the second opening has a new native window.
            for (int opening = 1; opening <= 2; ++opening) {
                d->show();
                QCoreApplication::processEvents();
                const QString problem =
                    FrameProblem(d, d->objectName() + QStringLiteral(" #%1").arg(opening));
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
                d->close();
                QCoreApplication::processEvents();
            }
        }
    }

    // The monitors, kept above the other windows, open where they cover
    // none of the main window's controls nor its title bar, and not each
    // other; a modal dialog comes above them.
    void monitorsCoverNoControl() {
        test::ResetGlobalState();
        MainWindow w{StringList{}};
        QVERIFY(ShowTheDrive(w));
        w.windowDriveMonitorAction->trigger();
        w.windowFolderMonitorAction->trigger();
        QCoreApplication::processEvents();
        const QList<QWidget*> monitors = {w.DriveMonitor, w.FolderMonitor};
        QStringList problems;
        const QRect title(w.frameGeometry().topLeft(),
                          QPoint(w.frameGeometry().right(), w.geometry().top() - 1));
        for (QWidget* m : monitors) {
            const QRect frame = m->frameGeometry();
            if (!Screen().contains(frame))
                problems << NameOf(m) + QStringLiteral(" is not wholly on the screen");
            if (frame.intersects(title))
                problems << NameOf(m) + QStringLiteral(" covers the main window's title bar");
            for (QWidget* c : w.findChildren<QWidget*>()) {
                if (!c->isVisibleTo(&w) || c->window() != &w || c->width() == 0) continue;
                if (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QAbstractSlider*>(c) &&
                    !qobject_cast<QMenuBar*>(c) && !qobject_cast<QHeaderView*>(c) &&
                    !qobject_cast<QComboBox*>(c) && !qobject_cast<QLineEdit*>(c) &&
                    !qobject_cast<QStatusBar*>(c) && !qobject_cast<QTabBar*>(c))
                    continue;
                const QRect control(c->mapToGlobal(QPoint(0, 0)), c->size());
                if (frame.intersects(control))
                    problems << QStringLiteral("%1 at %2,%3 %4x%5 covers %6 at %7,%8 %9x%10")
                                    .arg(NameOf(m))
                                    .arg(frame.x())
                                    .arg(frame.y())
                                    .arg(frame.width())
                                    .arg(frame.height())
                                    .arg(NameOf(c))
                                    .arg(control.x())
                                    .arg(control.y())
                                    .arg(control.width())
                                    .arg(control.height());
            }
        }
        if (w.DriveMonitor->frameGeometry().intersects(w.FolderMonitor->frameGeometry()))
            problems << QStringLiteral("the monitors cover each other");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        // Not above the modal message box, and above the others again after it.
        auto above = [&](QWidget* m) {
            return m->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
        };
        QList<bool> aboveDuringBox;
        QTimer::singleShot(0, this, [&] {
            for (QWidget* m : monitors)
                aboveDuringBox << above(m);
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        QtMessageUi().ShowMessage("計測が終わりました。", MB_ICONINFORMATION);
        QCOMPARE(aboveDuringBox, (QList<bool>{false, false}));
        QVERIFY(above(w.DriveMonitor) && above(w.FolderMonitor));
        w.DriveMonitor->close();
        w.FolderMonitor->close();
    }

    // The treemap's first place: a size from the screen, beside the main
    // window where there is room, else over its tree and names with the
    // list's figures and the drive bar left in view.
    void theTreemapOpensBesideTheMainWindow() {
        for (const bool room : {false, true}) {
            test::ResetGlobalState();
            MainWindow w{StringList{}};
            QVERIFY(ShowTheDrive(w));
            if (room) {
                // The main window at the screen's left, a little over half as wide.
                const int frame = w.frameGeometry().width() - w.width();
                w.resize(Screen().width() * 11 / 20 - frame, w.height());
                w.move(Screen().topLeft());
            }
            QCoreApplication::processEvents();
            w.viewTreemapAction->trigger();
            TreemapWindow& t = *w.MapWindow;
            QVERIFY(QTest::qWaitForWindowExposed(&t));
            const QRect map = t.frameGeometry(), main = w.frameGeometry();
            const QString where = QStringLiteral("map %1,%2 %3x%4, main %5,%6 %7x%8")
                                      .arg(map.x())
                                      .arg(map.y())
                                      .arg(map.width())
                                      .arg(map.height())
                                      .arg(main.x())
                                      .arg(main.y())
                                      .arg(main.width())
                                      .arg(main.height());
            QVERIFY2(Screen().contains(map), qPrintable(where));
            QVERIFY2(map.height() >= Screen().height() / 2, qPrintable(where));
            if (room) {
                QVERIFY2(!map.intersects(main), qPrintable(where));
            } else {
                const QHeaderView* h = w.folderList->horizontalHeader();
                const QWidget* list = w.folderList->viewport();
                const QRect figures(list->mapToGlobal(QPoint(h->sectionViewportPosition(1), 0)),
                                    list->mapToGlobal(QPoint(list->width(), list->height())));
                QVERIFY2(!map.intersects(figures), qPrintable(where));
                const QRect drives(w.driveBar->mapToGlobal(QPoint(0, 0)), w.driveBar->size());
                QVERIFY2(!map.intersects(drives), qPrintable(where));
            }
            t.close();
        }
    }

    void everyWindowFits() {
        test::ResetGlobalState();
        MainWindow w{StringList{}};
        QVERIFY(ShowTheDrive(w));
        QCoreApplication::processEvents();
        // The first start: a good share of the screen, centred on it.
        const QRect frame = w.frameGeometry();
        QVERIFY2(frame.width() >= Screen().width() * 7 / 10 &&
                     frame.height() >= Screen().height() * 7 / 10,
                 qPrintable(QStringLiteral("%1x%2").arg(frame.width()).arg(frame.height())));
        QVERIFY(std::abs(frame.center().x() - Screen().center().x()) <= 2);
        // The name column takes the width the other columns leave.
        auto columnsWidth = [&] {
            int sum = 0;
            for (int c = 0; c < w.folderList->model()->columnCount(); ++c)
                sum += w.folderList->columnWidth(c);
            return sum;
        };
        QCOMPARE(columnsWidth(), w.folderList->viewport()->width());
        // The 増減 column switched on stays in the first window too.
        Global().ColumnFlags = "11111";
        w.FitColumns();
        QCOMPARE(columnsWidth(), w.folderList->viewport()->width());
        QVERIFY(w.folderList->columnWidth(6) > 0);
        Global().ColumnFlags = "1111";
        w.FitColumns();
        QCOMPARE(w.folderList->columnWidth(3), 200);
        const int name = w.folderList->columnWidth(0);
        w.resize(w.width() - 100, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(w.folderList->columnWidth(0), std::max(150, name - 100));
        QStringList problems = Problems(&w, Screen());
        for (QWidget* win : WindowsOf(w)) {
            if (!win) continue;
            win->show();
            QCoreApplication::processEvents();
            problems += Problems(win, Screen());
            win->hide();
            QCoreApplication::processEvents();
        }
        // The folder browser of copy and move, opened deep in the drive.
        FolderPickerDialog browse(QStringLiteral("コピー先"), &w);
        browse.Start(drive->Root() + "ソース\\src\\");
        CentreOn(&browse, &w);
        browse.show();
        QCoreApplication::processEvents();
        problems += Problems(&browse, Screen());
        browse.hide();
        for (const QString& p : problems)
            qWarning("%s", qPrintable(p));
        QVERIFY2(
            problems.isEmpty(),
            qPrintable(
                QStringLiteral("%1 windows or widgets do not fit (above)").arg(problems.size())));
    }
};

int main(int argc, char** argv) {
    // The screen is the offscreen platform's, from a file made here.
    QString size = QStringLiteral("1280x800");
    for (int i = 1; i < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]).contains(u'x') &&
            !QString::fromLocal8Bit(argv[i]).startsWith(u'-')) {
            size = QString::fromLocal8Bit(argv[i]);
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    const QString scale = size.section(u'@', 1, 1);
    const QStringList wh = size.section(u'@', 0, 0).split(u'x');
    QTemporaryDir dir;
    const QString config = dir.path() + QStringLiteral("/screen.json");
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    f.write(
        QStringLiteral(
            "{\"windowFrameMargins\": true, \"screens\": [{\"name\": \"S\", \"x\": 0, \"y\": 0, "
            "\"width\": %1, \"height\": %2, \"logicalDpi\": 96}]}")
            .arg(wh.value(0), wh.value(1))
            .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    if (!scale.isEmpty()) qputenv("QT_SCALE_FACTOR", scale.toLatin1());
    QApplication app(argc, argv);
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LayoutTest.moc"
