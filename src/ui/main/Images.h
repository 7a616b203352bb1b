// The image list of the main window and the drive lamps, from the built-in
// resources.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace nrvs {

// Highest index of the 16x16 image list.
constexpr int kLastImageIndex = 45;

// The image-list entry at index (0..45); a null icon for -1 or any other index.
// Indexes that carry no picture give a blank 16x16 icon.
QIcon ImageIcon(int index);

// An icon showing image `normal` and, while its item is selected, image
// `selected` (a tree node's image and selected image).
QIcon NodeIcon(int normal, int selected);

// The 12x12 drive lamp: 0 opening, 1 ready, 2 not ready; a null pixmap otherwise.
QPixmap LampPixmap(int index);

} // namespace nrvs
