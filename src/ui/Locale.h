// The program speaks Japanese in every window, the toolkit's own dialogs
// included, and draws every text in one Japanese font.
#pragma once

#include <QFont>
#include <QStringList>

#include <string>

namespace nrvs {

// The font families of every text, first found first. Japanese fonts that
// draw the backslash as a yen sign are left out: a path would change its
// look in the middle, where a run of Japanese text hands the backslash to
// that font and the Latin run beside it to another.
QStringList UiFontFamilies();

// The UI's font at a point size (or a pixel size when pixels is true).
QFont UiFont(int size, bool pixels = false);

// A name or path of the program (bytes) as every window shows it, through
// the platform's name translation: names that are not UTF-8 read the same
// in the list, the ranking and every other window.
QString ShownText(const std::string& bytes);

// Loads Qt's Japanese translations (the folder and file dialogs, the
// standard buttons), makes Japanese the default locale for dates and
// numbers the toolkit shows, and makes the UI font the application's.
// False when the translations were not found (the toolkit stays English).
bool InstallJapaneseUi();

} // namespace nrvs
