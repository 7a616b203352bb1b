#include "platform/ProgramLocation.h"
#include "ui/Locale.h"
#include "ui/MessageBoxes.h"
#include "ui/main/MainWindow.h"
#include "ui/running/RunningDialog.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
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
    window.show();
    return QApplication::exec();
}
