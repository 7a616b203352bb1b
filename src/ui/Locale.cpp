#include "ui/Locale.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace nrvs {

QStringList UiFontFamilies() {
    return {QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"),
            QStringLiteral("Noto Sans JP")};
}

QString ShownText(const std::string& bytes) {
    return QString::fromStdString(platform::DisplayText(bytes));
}

QFont UiFont(int size, bool pixels) {
    QFont f;
    f.setFamilies(UiFontFamilies());
    if (pixels)
        f.setPixelSize(size);
    else
        f.setPointSize(size);
    return f;
}

bool InstallJapaneseUi() {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    QApplication::setFont(UiFont(9));
    static QTranslator* qt = nullptr;
    if (qt) return true;
    auto* t = new QTranslator(qApp);
    // qtbase holds the widgets' texts; Debian's qt6-translations-l10n puts
    // it where QLibraryInfo says.
    if (!t->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    qt = t;
    return true;
}

} // namespace nrvs
