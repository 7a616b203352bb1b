// Where windows open and how texts fit the room they are given: every
// window and dialog opens wholly on the screen that holds the main window,
// and a path too long for its room loses its middle, never its drive or its
// last folder.
#pragma once

#include <QRect>
#include <QString>
#include <Qt>

class QFontMetrics;
class QLabel;
class QScreen;
class QStyleOptionViewItem;
class QWidget;

namespace nrvs {

// The frame moved (and shrunk where it must) so that it lies wholly inside
// the available area; an invalid area leaves it as it is.
QRect FitRect(const QRect& frame, const QRect& available);

// The screen holding most of a frame: the one under its centre, else under
// its top-left corner, else the primary screen.
QScreen* ScreenHolding(const QRect& frame);

// The frame a window will have once framed: its frame when the window
// manager has framed it, else its size with the margins of `like` (a framed
// window of the same program), else its bare size.
QRect ExpectedFrame(const QWidget* window, const QWidget* like);

// Centres a top-level window on `over` (or on the screen when none), wholly
// on the screen that holds `over`, shrinking it where the screen is smaller.
void CentreOn(QWidget* window, const QWidget* over);

// Moves a window placed at `frame` (outer rectangle) wholly onto the screen
// that holds `over` (or its own screen).
void PlaceOnScreen(QWidget* window, QRect frame, const QWidget* over);

// Gives a dialog a frame with its title and close box only, at every
// opening: a tool window (plus the hints in `extra`) whose native window
// has the toolbar type, the one type for which openbox leaves out the
// minimise and maximise buttons. Closing a window drops its native window
// and the next opening makes a new one without that type, so the type is
// set again each time the window is shown.
void KeepOnlyCloseBox(QWidget* window, Qt::WindowFlags extra = {});

// A path in program form shortened in the middle to `width` pixels: the
// drive and the last name stay, whole folders go from the middle and "…"
// stands for them. A last name too long by itself is cut in its own middle.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

// For windows laid out by pixel positions: every label, check box and radio
// button narrower than its text in the fonts in use is widened; what stands
// right of it on its line moves along, the boxes holding it grow, and the
// window grows with them (buttons at its right edge keep their place there).
void FitTexts(QWidget* window);

// For a delegate's initStyleOption: the item's text, a path, shortened in
// the middle to the room its cell leaves for text (ElidePath).
void ElidePathInCell(QStyleOptionViewItem* option);

// Shows a path in a label: shortened to the label's width, the whole path as
// its tip (the tip empty when nothing was cut).
void SetPathText(QLabel* label, const QString& path);

} // namespace nrvs
