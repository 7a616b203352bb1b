#include "ui/Uimsg.h"
#include "ui/main/Utmain.h"

#include <QApplication>
#include <QMessageBox>

namespace {
// An exception that reaches the event loop is shown, not fatal.
class NorvessaApp : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Norvessa"), QString::fromUtf8(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Norvessa"), QStringLiteral("Unknown error"));
        }
        return false;
    }
};
} // namespace

int main(int argc, char** argv) {
    NorvessaApp app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvessa"));
    nrvs::InstallQtMessageUi();
    // Arguments keep their bytes: a path need not be valid UTF-8.
    nrvs::StringList args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    nrvs::TFMmain window(args);
    window.show();
    return QApplication::exec();
}
