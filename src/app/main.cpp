#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/ProgramLocation.h"
#include "ui/Locale.h"
#include "ui/MessageBoxes.h"
#include "ui/main/MainWindow.h"
#include "ui/running/RunningDialog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableView>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// A logout or kill asks the window to close, so that the parameters are saved
// as they are when the user closes it.
void CloseOnTerminate(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
        // A measurement stops and keeps what it has; a question on screen
        // is left unanswered: every nested loop ends with the application.
        if (auto* running = window->findChild<nrvs::RunningDialog*>();
            running && running->isVisible())
            running->stopButton->click();
        window->close();
        QApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

// For the benches: with NORVESSA_EXIT_AFTER_PAINT set, the process ends as
// soon as the window has been painted for the first time, so that the time
// from start to first paint can be taken from outside.
class ExitAfterFirstPaint : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            // Posted: it runs once the whole window is painted and flushed.
            QTimer::singleShot(0, [] {
                std::fflush(nullptr);
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool done_ = false;
};

// For the benches: with NORVESSA_MEASURE_AT_START=X: the window opens drive
// X: at the start and asks whether to measure it, as it does for a drive
// never measured; the first question is answered Yes at once, as a user
// would, and once the list of the measured drive has been painted the
// process prints the seconds from that answer to that paint and ends.
// Messages go to standard error and later questions take their default
// button, so that nothing waits for a user.
class MeasureAtStart : public QObject, public nrvs::MessageUi {
  public:
    MeasureAtStart(QTableView* list, QObject* parent) : QObject(parent), list_(list) {
        list_->viewport()->installEventFilter(this);
        // The rows of the measured drive: the first list filled after the
        // answer that has any (the drive is emptied first while it is
        // opened again).
        QObject::connect(list_->model(), &QAbstractItemModel::modelReset, this, [this] {
            if (answered_.isValid() && list_->model()->rowCount() > 0) filled_ = true;
        });
        nrvs::SetMessageUi(this);
    }
    void ShowMessage(const std::string& text, int) override {
        std::fprintf(stderr, "norvessa: %s\n", text.c_str());
    }
    int AskQuestion(const std::string& text, int style) override {
        if (!answered_.isValid()) {
            answered_.start();
            return nrvs::ID_YES;
        }
        const int answer = (style & nrvs::MB_DEFBUTTON2) ? nrvs::ID_NO : nrvs::ID_YES;
        std::fprintf(stderr, "norvessa: %s -> %s\n", text.c_str(),
                     answer == nrvs::ID_YES ? "yes" : "no");
        return answer;
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && filled_ && !done_) {
            done_ = true;
            // Posted: it runs once the list is painted and flushed.
            QTimer::singleShot(0, [this] {
                std::printf("seconds   %.3f\n",
                            static_cast<double>(answered_.nsecsElapsed()) / 1e9);
                std::fflush(nullptr);
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTableView* list_;
    QElapsedTimer answered_;
    bool filled_ = false;
    bool done_ = false;
};

// Drive letter (0 for A:) named by NORVESSA_MEASURE_AT_START, or -1.
int MeasureAtStartLetter() {
    const QByteArray value = qgetenv("NORVESSA_MEASURE_AT_START").toUpper();
    if (value.size() < 1 || value[0] < 'A' || value[0] > 'Z') return -1;
    return value[0] - 'A';
}

// An exception that reaches the event loop is shown, not fatal.
class NorvessaApp : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Norvessa"),
                                  QString::fromUtf8(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Norvessa"),
                                  QStringLiteral("Unknown error"));
        }
        return false;
    }
};
} // namespace

int main(int argc, char** argv) {
    nrvs::platform::RaiseOpenFileLimit();
    NorvessaApp app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvessa"));
    nrvs::InstallQtMessageUi();
    nrvs::InstallJapaneseUi();
    // Without an icon theme of the desktop's, the toolkit looks for every
    // standard icon in each of the hundreds of folders of the fallback theme
    // (tens of thousands of file checks before the first paint) and finds
    // none: the style's own icons, which it then uses, are taken at once.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        // (An empty list would mean the default folders again.)
        QIcon::setThemeSearchPaths({QStringLiteral(":/no-icon-theme")});
    }
    // Arguments keep their bytes: a path need not be valid UTF-8.
    nrvs::StringList args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    nrvs::MainWindow window(args);
    CloseOnTerminate(&window);
    if (!qEnvironmentVariableIsEmpty("NORVESSA_EXIT_AFTER_PAINT"))
        window.installEventFilter(new ExitAfterFirstPaint(&window));
    if (const int letter = MeasureAtStartLetter(); letter >= 0) {
        if (auto* list = window.findChild<QTableView*>(QStringLiteral("folderList"))) {
            new MeasureAtStart(list, &window);
            nrvs::GlobalState& g = nrvs::Global();
            g.StartArgs.clear();
            g.StartDrive = letter + 1;
            g.MeasureMulti = 0;
            g.AskBeforeMeasure = 1;
            g.MeasureMode = "000010"; // every time the drive is opened
        }
    }
    window.show();
    return QApplication::exec();
}
