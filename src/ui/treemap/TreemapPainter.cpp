#include "ui/treemap/TreemapPainter.h"
#include "ui/Locale.h"

#include "lib/SizeText.h"
#include "platform/FileAccess.h"

#include <vector>

#include <QFont>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <QBuffer>
#include <QDateTime>

#include <algorithm>

namespace nrvs {

namespace {

QFont LabelFont(int pixelSize, bool bold) {
    QFont f = UiFont(pixelSize, true);
    f.setBold(bold);
    return f;
}

QColor Rgb(uint32_t c) {
    return QColor::fromRgb(static_cast<QRgb>(c | 0xFF000000u));
}

QString Text(const std::string& s) {
    return ShownText(s);
}

constexpr int kPlatePad = 2; // between a plate's edge and its text

// Where a name plate goes in tile r: its upper left corner, or its centre
// (centred); where that would cover one of the plates in avoid, a corner of
// the tile that is free. Empty when the name does not fit the tile or no
// place is free.
QRectF PlacePlate(const QRectF& r, const QString& name, const QString& size, const QFont& font,
                  bool centred, const std::vector<QRectF>& avoid, QString& shownName,
                  QString& shownSize) {
    const QFontMetrics fm(font);
    const int pad = kPlatePad;
    const int lines = size.isEmpty() || r.height() < 2 * fm.height() + 2 * pad + 2 ? 1 : 2;
    const int avail = static_cast<int>(r.width()) - 2 * pad - 2;
    if (avail < fm.horizontalAdvance(QStringLiteral("MM")) ||
        r.height() < fm.height() + 2 * pad + 2)
        return {};
    shownName = fm.elidedText(name, Qt::ElideRight, avail);
    shownSize = lines == 2 ? fm.elidedText(size, Qt::ElideRight, avail) : QString();
    const int w = std::max(fm.horizontalAdvance(shownName),
                           lines == 2 ? fm.horizontalAdvance(shownSize) : 0) +
                  2 * pad;
    const int h = lines * fm.height() + 2 * pad;
    QRectF plate(r.x() + 1, r.y() + 1, w, h);
    const QPointF corner = plate.topLeft();
    if (centred) plate.moveCenter(r.center());
    auto covers = [&](const QRectF& at) {
        for (const QRectF& other : avoid)
            if (at.intersects(other)) return true;
        return false;
    };
    if (!covers(plate)) return plate;
    // Where the centre is taken by another plate, a corner of the tile may
    // still be free: a big file keeps its name.
    const double right = r.right() - 1 - plate.width(), bottom = r.bottom() - 1 - plate.height();
    for (const QPointF at : {corner, QPointF(corner.x(), bottom), QPointF(right, corner.y()),
                             QPointF(right, bottom)}) {
        plate.moveTopLeft(at);
        if (!covers(plate)) return plate;
    }
    return {};
}

} // namespace

std::vector<TreemapLabel> PlaceTreemapLabels(const Treemap& map, int sizeUnit) {
    std::vector<TreemapLabel> out;
    if (map.Width <= 0 || map.Height <= 0 || map.Nodes.empty()) return out;
    const QFont small = LabelFont(11, false), large = LabelFont(13, true);
    std::vector<QRectF> plates;
    auto place = [&](size_t i, const QString& name, const QString& size, bool isLarge,
                     bool centred) {
        const TreemapNode& n = map.Nodes[i];
        const QRectF r(n.Rect.X, n.Rect.Y, n.Rect.W, n.Rect.H);
        TreemapLabel label;
        label.Plate = PlacePlate(r, name, size, isLarge ? large : small, centred, plates,
                                 label.Name, label.Size);
        if (label.Plate.isEmpty()) return;
        label.Node = static_cast<int>(i);
        label.Large = isLarge;
        // Files are leaves: their tiles, and so their plates, never meet;
        // only the folder shown's items and the second level are avoided.
        if (map.Nodes[i].Depth <= 2) plates.push_back(label.Plate);
        out.push_back(std::move(label));
    };
    // The folder shown's own items at their upper left corners, then the
    // second level centred in its tiles wherever that leaves them free.
    for (int pass = 1; pass <= 2; ++pass) {
        for (size_t i = 1; i < map.Nodes.size(); ++i) {
            const TreemapNode& n = map.Nodes[i];
            if (n.Depth > pass) break; // breadth first: the deeper ones follow
            if (n.Depth != pass) continue;
            if (pass == 2 && (n.Rect.W < 90 || n.Rect.H < 40)) continue;
            const QString size =
                n.Kind == TILE_UNMEASURED ? QString() : Text(FormatSizeText(n.Occupied, sizeUnit));
            place(i, Text(NodeLabel(map, static_cast<int>(i))), size, pass == 1, pass == 2);
        }
    }
    // Files deeper down are named wherever the name fits: a big file three
    // levels down reads as itself.
    const QFontMetrics fm(small);
    for (size_t i = 1; i < map.Nodes.size(); ++i) {
        const TreemapNode& n = map.Nodes[i];
        if (n.Depth <= 2 || n.Kind != TILE_INDEXED_FILE) continue;
        // Most tiles are too small for any name: known before it is made.
        if (n.Rect.W < 24 || n.Rect.H < fm.height() + 6) continue;
        const QString name = Text(NodeLabel(map, static_cast<int>(i)));
        if (n.Rect.W < std::min(fm.horizontalAdvance(name), 60) + 8) continue;
        place(i, name, Text(FormatSizeText(n.Occupied, sizeUnit)), false, true);
    }
    return out;
}

QImage DrawTreemap(const Treemap& map, int colours, int sizeUnit, const std::atomic<bool>* cancel,
                   const TreemapHighlight& highlight) {
    QImage image(std::max(1, map.Width), std::max(1, map.Height), QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x80, 0x80));
    if (map.Width <= 0 || map.Height <= 0 || map.Nodes.empty()) return image;
    RenderCushions(map, colours, reinterpret_cast<uint32_t*>(image.bits()),
                   static_cast<int>(image.bytesPerLine() / 4), cancel, highlight);
    if (cancel && cancel->load()) return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A name on a dark, half-transparent plate, so that it reads on every
    // colour.
    const QFont small = LabelFont(11, false), large = LabelFont(13, true);
    for (const TreemapLabel& label : PlaceTreemapLabels(map, sizeUnit)) {
        const QFont& font = label.Large ? large : small;
        const QFontMetrics fm(font);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 120));
        p.drawRoundedRect(label.Plate, 3, 3);
        p.setFont(font);
        p.setPen(Qt::white);
        const QPointF at(label.Plate.x() + kPlatePad, label.Plate.y() + kPlatePad + fm.ascent());
        p.drawText(at, label.Name);
        if (!label.Size.isEmpty()) p.drawText(at + QPointF(0, fm.height()), label.Size);
    }
    return image;
}

QStringList LegendNames(int colours) {
    if (colours == COLOUR_BY_DEPTH)
        return {QStringLiteral("深さ 1"), QStringLiteral("2"), QStringLiteral("3"),
                QStringLiteral("4"),      QStringLiteral("5"), QStringLiteral("6"),
                QStringLiteral("未計測")};
    return {QStringLiteral("フォルダ"),   QStringLiteral("ファイル"), QStringLiteral("未計測"),
            QStringLiteral("圧縮"),       QStringLiteral("画像"),     QStringLiteral("動画"),
            QStringLiteral("音声"),       QStringLiteral("文書"),     QStringLiteral("実行"),
            QStringLiteral("プログラム"), QStringLiteral("その他")};
}

int LegendHeight() {
    return QFontMetrics(LabelFont(12, false)).height() + 8;
}

QString UnmeasuredLegend(const Treemap& map) {
    if (!(map.UnmeasuredShare > 0)) return QStringLiteral("未計測");
    // The grey says what it stands for: bytes the volume reports in use
    // that no measured entry holds, or only room to show the folders.
    if (map.UnmeasuredEstimated)
        return QStringLiteral("未計測 (推定 %1 %)").arg(map.UnmeasuredShare * 100, 0, 'f', 0);
    return QStringLiteral("未計測 (大きさ不明)");
}

namespace {

// The legend's names as shown (the unmeasured entry saying what its grey
// stands for).
QStringList ShownLegendNames(int colours, const Treemap* map) {
    QStringList names = LegendNames(colours);
    if (map) names[colours == COLOUR_BY_DEPTH ? names.size() - 1 : 2] = UnmeasuredLegend(*map);
    return names;
}

} // namespace

std::vector<QRect> LegendPlaces(int width, int colours, const Treemap* map) {
    const QFontMetrics fm(LabelFont(12, false));
    const QStringList names = ShownLegendNames(colours, map);
    const int box = fm.height() - 4, line = LegendHeight();
    std::vector<QRect> places;
    int x = 6, y = 0;
    for (const QString& name : names) {
        const int w = box + 4 + fm.horizontalAdvance(name);
        // An entry that would run past the right edge begins the next line.
        if (x > 6 && x + w > width - 6) {
            x = 6;
            y += line;
        }
        places.emplace_back(x, y, w, line);
        x += w + 12;
    }
    return places;
}

int LegendHeightFor(int width, int colours, const Treemap* map) {
    const std::vector<QRect> places = LegendPlaces(width, colours, map);
    return places.empty() ? LegendHeight() : places.back().bottom() + 1;
}

void DrawLegend(QPainter& p, const QRect& area, int colours, const Treemap* map) {
    p.save();
    p.fillRect(area, QColor(0xF0, 0xF0, 0xF0));
    const QFont font = LabelFont(12, false);
    const QFontMetrics fm(font);
    p.setFont(font);
    const QStringList names = ShownLegendNames(colours, map);
    const std::vector<QRect> places = LegendPlaces(area.width(), colours, map);
    const int box = fm.height() - 4;
    for (int i = 0; i < names.size(); ++i) {
        const QRect at = places[static_cast<size_t>(i)].translated(area.topLeft());
        uint32_t c;
        if (colours == COLOUR_BY_DEPTH) {
            TreemapNode n;
            n.Depth = static_cast<int16_t>(i + 1);
            if (i == names.size() - 1) n.Kind = TILE_UNMEASURED;
            c = NodeColour(n, COLOUR_BY_DEPTH);
        } else {
            c = LegendColour(i);
        }
        p.setPen(QColor(0x60, 0x60, 0x60));
        p.setBrush(Rgb(c));
        p.drawRect(at.x(), at.y() + (at.height() - box) / 2, box, box);
        p.setPen(Qt::black);
        p.drawText(QPoint(at.x() + box + 4, at.y() + (at.height() - fm.height()) / 2 + fm.ascent()),
                   names[i]);
    }
    p.restore();
}

QString TreemapTip(const Treemap& map, int node, int sizeUnit) {
    if (node < 0 || static_cast<size_t>(node) >= map.Nodes.size()) return {};
    const TreemapNode& n = map.Nodes[static_cast<size_t>(node)];
    QString tip = Text(NodePath(map, node));
    if (n.Kind == TILE_FILES_BLOCK) tip += QStringLiteral(" (ファイル)");
    if (n.Kind == TILE_SMALL_FOLDERS) tip += QStringLiteral(" (小さなフォルダ)");
    tip += QStringLiteral("\nサイズ: ") +
           Text(FormatSizeText(n.Kind == TILE_UNMEASURED ? -1 : n.Size, sizeUnit));
    tip += QStringLiteral("\n占有量: ") +
           Text(FormatSizeText(n.Kind == TILE_UNMEASURED ? -1 : n.Occupied, sizeUnit));
    if (n.Kind == TILE_INDEXED_FILE && map.Source->Files) {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(
            map.Source->Files->ModifiedTime(static_cast<uint32_t>(n.Source)));
        tip += QStringLiteral("\n更新日時: ") + when.toString(QStringLiteral("yyyy/MM/dd hh:mm"));
    }
    return tip;
}

// Light compression: a map of millions of folders is mostly noise to
// zlib, which at its default level spends more time on it than the layout
// for a file hardly smaller.
constexpr int kPngQuality = 80;

bool WriteTreemapPicture(std::shared_ptr<const TreemapSource> source, int width, int height,
                         int colours, int sizeUnit, const std::string& fileName, std::string& why,
                         const TreemapHighlight& highlight) {
    // Fonts need an application object; the command-line tool has none and
    // draws offscreen.
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "norvessa-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    if (width < 16 || height < LegendHeight() + 16 || width > 20000 || height > 20000) {
        why = "the size must be between 16 and 20000 pixels each way (and taller than the legend)";
        return false;
    }
    // The legend takes as many lines as the width needs, as in the window,
    // while the map keeps some room; its grey's name comes with the map.
    const auto legendFor = [&](const Treemap* m) {
        return std::min(LegendHeightFor(width, colours, m), height - 16);
    };
    int legend = legendFor(nullptr);
    Treemap map = BuildTreemap(source, width, height - legend);
    if (const int shown = legendFor(&map); shown != legend) {
        legend = shown;
        map = BuildTreemap(std::move(source), width, height - legend);
    }
    QImage picture(width, height, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        p.drawImage(0, 0, DrawTreemap(map, colours, sizeUnit, nullptr, highlight));
        DrawLegend(p, QRect(0, height - legend, width, legend), colours, &map);
    }
    QByteArray png;
    {
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG", kPngQuality)) {
            why = "the picture could not be encoded";
            return false;
        }
    }
    // Written as every file of the user's is: under another name, renamed
    // when whole, a link at the name replaced rather than followed.
    if (!platform::ReplaceFile(
            fileName, std::string_view(png.constData(), static_cast<size_t>(png.size())))) {
        why = platform::LastWriteError();
        return false;
    }
    return true;
}

} // namespace nrvs
