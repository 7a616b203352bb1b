// Drawing of a treemap: the cushions from src/core, the names of the
// largest items over them, the legend of the colours, and the picture the
// command-line tool writes. Needs Qt GUI only, so that it also draws away
// from the windows (a worker thread, the offscreen platform).
#pragma once

#include "core/treemap/Treemap.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace nrvs {

// A name over the map: the node it names, its plate (within the node's
// tile, at least a pixel inside), and the texts as they fit the plate.
struct TreemapLabel {
    int Node = -1;
    QRectF Plate;
    QString Name, Size; // Size empty: one line
    bool Large = false; // the folder shown's own items
};
// The names drawn over a map: the folder shown's items, the second level
// where there is room, and files deeper down large enough to be named; no
// plate covers another.
std::vector<TreemapLabel> PlaceTreemapLabels(const Treemap& map, int sizeUnit);

// The map's cushions with the labels, an image of the map's size.
// sizeUnit as the settings keep it (0 automatic).
// highlight: the files of one extension stand out, the rest is dimmed.
QImage DrawTreemap(const Treemap& map, int colours, int sizeUnit,
                   const std::atomic<bool>* cancel = nullptr,
                   const TreemapHighlight& highlight = {});

// One line of coloured squares with their names, for the colours chosen.
// With map: the unmeasured entry says what its grey stands for.
void DrawLegend(QPainter& painter, const QRect& area, int colours, const Treemap* map = nullptr);
QString UnmeasuredLegend(const Treemap& map);
// The height of one line of the legend.
int LegendHeight();
// Where each entry of the legend goes in an area of the given width (from
// its top left corner): in lines, each as long as the width allows.
std::vector<QRect> LegendPlaces(int width, int colours, const Treemap* map = nullptr);
// The height of the legend's lines at that width.
int LegendHeightFor(int width, int colours, const Treemap* map = nullptr);
// The legend's names, in its order (folders, files block, unmeasured, the
// kinds of files; by depth: the first levels).
QStringList LegendNames(int colours);

// The tip of a node: program-form path, size and occupied size as the list
// shows them.
QString TreemapTip(const Treemap& map, int node, int sizeUnit);

// Lays out and draws the map of a source into width x height pixels with
// the legend along the bottom, and saves it as PNG. False with the reason.
bool WriteTreemapPicture(std::shared_ptr<const TreemapSource> source, int width, int height,
                         int colours, int sizeUnit, const std::string& fileName, std::string& why,
                         const TreemapHighlight& highlight = {});

} // namespace nrvs
