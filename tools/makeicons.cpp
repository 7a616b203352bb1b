// Draws the program's 16x16 command and row images and the 12x12 drive lamps,
// and writes them with their resource list into the given folder. Not part of
// the normal build; rerun it after changing a drawing and commit the PNGs:
//   g++ -std=c++20 -fPIC tools/makeicons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/makeicons
//   && QT_QPA_PLATFORM=offscreen /tmp/makeicons src/ui/images

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>

namespace {

// One small palette for every image, so the set reads as one family.
const QColor kInk(0x40, 0x40, 0x40);
const QColor kFolder(0xFF, 0xCC, 0x00); // the folder bar colour
const QColor kFolderLight(0xFF, 0xE6, 0x80);
const QColor kFolderLine(0xA0, 0x78, 0x00);
const QColor kFile(0x99, 0x99, 0xFF); // the file bar colour
const QColor kFileLight(0xCC, 0xCC, 0xFF);
const QColor kFileLine(0x50, 0x50, 0xA0);
const QColor kFileTotal(0x4D, 0x5D, 0xBD); // the file-total bar colour
const QColor kFileTotalLine(0x26, 0x2E, 0x70);
const QColor kFolderTotal(0xFF, 0x80, 0x00); // the folder-total bar colour
const QColor kFolderTotalLine(0xA0, 0x4F, 0x00);
const QColor kHeader(0x00, 0x00, 0x50); // the header bar colour
const QColor kMetal(0xC8, 0xC8, 0xC8);
const QColor kMetalLight(0xE8, 0xE8, 0xE8);
const QColor kMetalLine(0x50, 0x50, 0x50);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kPaperLine(0x70, 0x70, 0x70);
const QColor kPaperText(0xA8, 0xA8, 0xA8);
const QColor kBlue(0x4D, 0x5D, 0xBD);
const QColor kGreen(0x2E, 0xA0, 0x43);
const QColor kGreenLine(0x1A, 0x60, 0x28);
const QColor kRed(0xD0, 0x30, 0x30);
const QColor kRedLine(0x80, 0x18, 0x18);

using Drawing = std::function<void(QPainter&)>;

// A filled box with a one-pixel outline, exactly on the pixel grid.
void Box(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& line) {
    p.fillRect(x, y, w, h, line);
    if (w > 2 && h > 2) p.fillRect(x + 1, y + 1, w - 2, h - 2, fill);
}

void Pixel(QPainter& p, int x, int y, const QColor& c) {
    p.fillRect(x, y, 1, 1, c);
}
void HLine(QPainter& p, int x1, int x2, int y, const QColor& c) {
    p.fillRect(x1, y, x2 - x1 + 1, 1, c);
}
void VLine(QPainter& p, int x, int y1, int y2, const QColor& c) {
    p.fillRect(x, y1, 1, y2 - y1 + 1, c);
}

// A filled polygon with an outline; coordinates are pixel centres.
void Shape(QPainter& p, const QPolygonF& poly, const QColor& fill, const QColor& line,
           qreal width = 1.0) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(line, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(fill);
    p.drawPolygon(poly.translated(0.5, 0.5));
    p.restore();
}

void Stroke(QPainter& p, const QPainterPath& path, const QColor& c, qreal width) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path.translated(0.5, 0.5));
    p.restore();
}

void Line(QPainter& p, qreal x1, qreal y1, qreal x2, qreal y2, const QColor& c, qreal width) {
    QPainterPath path;
    path.moveTo(x1, y1);
    path.lineTo(x2, y2);
    Stroke(p, path, c, width);
}

void Disc(QPainter& p, qreal cx, qreal cy, qreal r, const QColor& fill, const QColor& line) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(line, 1.0));
    p.setBrush(fill);
    p.drawEllipse(QPointF(cx, cy), r, r);
    p.restore();
}

void Folder(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& light,
            const QColor& line) {
    Box(p, x, y, w / 2, 3, light, line);
    Box(p, x, y + 2, w, h - 2, fill, line);
    HLine(p, x + 1, x + w - 2, y + 3, light);
}

void OpenFolder(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& light,
                const QColor& line) {
    Box(p, x, y, w / 2, 3, light, line);
    Box(p, x, y + 2, w - 1, h - 2, fill, line);
    const qreal top = y + 5, bottom = y + h - 1;
    Shape(p,
          QPolygonF({{x + 3.0, top}, {x + w - 1.0, top}, {x + w - 3.0, bottom}, {x + 0.0, bottom}}),
          light, line);
}

// A sheet with a folded corner.
void Page(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& fold,
          const QColor& line) {
    const int r = x + w - 1, b = y + h - 1;
    Shape(p,
          QPolygonF({{qreal(x), qreal(y)},
                     {r - 3.0, qreal(y)},
                     {qreal(r), y + 3.0},
                     {qreal(r), qreal(b)},
                     {qreal(x), qreal(b)}}),
          fill, line);
    Shape(p, QPolygonF({{r - 3.0, qreal(y)}, {r - 3.0, y + 3.0}, {qreal(r), y + 3.0}}), fold, line);
}

void TextLines(QPainter& p, int x1, int x2, int y, int count, const QColor& c) {
    for (int i = 0; i < count; ++i)
        HLine(p, x1, i == count - 1 ? x1 + (x2 - x1) / 2 : x2, y + 2 * i, c);
}

// The drive body every drive image shares.
void DriveBody(QPainter& p, int y) {
    Box(p, 1, y, 14, 6, kMetal, kMetalLine);
    HLine(p, 2, 13, y + 1, kMetalLight);
    Pixel(p, 11, y + 3, kGreen);
    Pixel(p, 12, y + 3, kGreen);
}

void RightArrow(QPainter& p, qreal x1, qreal x2, qreal y, const QColor& fill, const QColor& line) {
    Shape(p,
          QPolygonF({{x1, y - 1},
                     {x2 - 3, y - 1},
                     {x2 - 3, y - 3},
                     {x2, y},
                     {x2 - 3, y + 3},
                     {x2 - 3, y + 1},
                     {x1, y + 1}}),
          fill, line);
}

void Badge(QPainter& p, const QColor& fill, const QColor& line) {
    Disc(p, 11.5, 11.5, 4.0, fill, line);
}

void Ruler(QPainter& p, int y) {
    Box(p, 0, y, 16, 5, kFolderLight, kFolderLine);
    for (int x = 2; x < 15; x += 2)
        VLine(p, x, y + 1, y + (x % 4 == 2 ? 2 : 1), kFolderLine);
}

void NetworkCable(QPainter& p) {
    VLine(p, 7, 8, 12, kInk);
    HLine(p, 1, 14, 13, kInk);
    Box(p, 1, 12, 3, 3, kBlue, kFileTotalLine);
    Box(p, 12, 12, 3, 3, kBlue, kFileTotalLine);
}

void AppWindow(QPainter& p) {
    Box(p, 0, 1, 16, 14, kPaper, kFileTotalLine);
    p.fillRect(1, 2, 14, 2, kBlue);
    Pixel(p, 13, 2, kPaper);
}

std::map<int, Drawing> Images() {
    std::map<int, Drawing> m;
    m[1] = [](QPainter& p) { // removable drive: slot and eject mark
        DriveBody(p, 6);
        HLine(p, 3, 8, 9, kMetalLine);
        Shape(p, QPolygonF({{8, 1}, {12, 4}, {4, 4}}), kGreen, kGreenLine);
    };
    m[2] = [](QPainter& p) { // fixed disk
        DriveBody(p, 6);
        for (int x = 3; x <= 8; x += 2)
            VLine(p, x, 8, 10, kPaperLine);
    };
    m[3] = [](QPainter& p) { // network drive
        DriveBody(p, 2);
        NetworkCable(p);
    };
    m[4] = [](QPainter& p) { // CD-ROM
        Disc(p, 8, 8, 6.5, QColor(0xDC, 0xDC, 0xEC), QColor(0x70, 0x70, 0x80));
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(0x90, 0xC0, 0xF0), 2.0));
        p.drawArc(QRectF(3.5, 3.5, 9, 9), 100 * 16, 70 * 16);
        p.setPen(QPen(QColor(0xF0, 0xA0, 0xD0), 2.0));
        p.drawArc(QRectF(3.5, 3.5, 9, 9), 280 * 16, 70 * 16);
        p.restore();
        Disc(p, 8, 8, 1.8, kPaper, QColor(0x70, 0x70, 0x80));
    };
    m[5] = [](QPainter& p) { // RAM disk: a memory module
        Box(p, 1, 4, 14, 8, QColor(0x3C, 0x9A, 0x5A), kGreenLine);
        Box(p, 3, 6, 4, 4, kInk, kInk);
        Box(p, 9, 6, 4, 4, kInk, kInk);
        for (int x = 2; x <= 13; x += 2)
            VLine(p, x, 12, 13, QColor(0xD4, 0xA0, 0x17));
    };
    m[6] = [](QPainter& p) { OpenFolder(p, 1, 2, 15, 12, kFolder, kFolderLight, kFolderLine); };
    m[7] = [](QPainter& p) { Folder(p, 1, 2, 14, 12, kFolder, kFolderLight, kFolderLine); };
    m[9] = [](QPainter& p) {
        Page(p, 3, 1, 10, 14, kFile, kFileLight, kFileLine);
        TextLines(p, 5, 10, 6, 3, kFileLight);
    };
    m[10] = [](QPainter& p) { // the shown folder: open, above its bar colour
        OpenFolder(p, 1, 1, 15, 11, kFolder, kFolderLight, kFolderLine);
        p.fillRect(1, 13, 14, 2, kHeader);
    };
    m[11] = [](QPainter& p) { // measure a drive
        Ruler(p, 1);
        DriveBody(p, 8);
    };
    m[12] = [](QPainter& p) { // measure a folder
        Ruler(p, 1);
        Folder(p, 1, 6, 14, 9, kFolder, kFolderLight, kFolderLine);
    };
    m[13] = [](QPainter& p) { // ranking: a podium
        Box(p, 5, 4, 6, 11, kFolder, kFolderLine);
        Box(p, 0, 8, 6, 7, kMetal, kMetalLine);
        Box(p, 10, 10, 6, 5, QColor(0xE0, 0x98, 0x50), kFolderTotalLine);
        VLine(p, 8, 6, 9, kFolderLine);
        Pixel(p, 7, 7, kFolderLine);
    };
    m[14] = [](QPainter& p) { // simulation: a pie chart with a slice taken out
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kFileTotalLine, 1.0));
        p.setBrush(kBlue);
        p.drawPie(QRectF(1, 2.5, 12, 12), 0, 270 * 16);
        p.setPen(QPen(kFolderTotalLine, 1.0));
        p.setBrush(kFolderTotal);
        p.drawPie(QRectF(3, 0.5, 12, 12), 270 * 16, 90 * 16);
        p.restore();
    };
    m[15] = [](QPainter& p) { // copy
        Page(p, 1, 1, 9, 11, kPaper, kMetalLight, kPaperLine);
        TextLines(p, 3, 6, 5, 3, kPaperText);
        Page(p, 6, 4, 9, 11, kPaper, kMetalLight, kPaperLine);
        TextLines(p, 8, 11, 8, 3, kPaperText);
    };
    m[16] = [](QPainter& p) { // move
        Page(p, 1, 1, 9, 12, kPaper, kMetalLight, kPaperLine);
        TextLines(p, 3, 6, 5, 3, kPaperText);
        RightArrow(p, 5, 15, 11, kGreen, kGreenLine);
    };
    m[17] = [](QPainter& p) { // delete
        Line(p, 3, 3, 12, 12, kRedLine, 4.0);
        Line(p, 12, 3, 3, 12, kRedLine, 4.0);
        Line(p, 3, 3, 12, 12, kRed, 2.2);
        Line(p, 12, 3, 3, 12, kRed, 2.2);
    };
    m[18] = [](QPainter& p) { // search
        Line(p, 9, 9, 13.5, 13.5, QColor(0x8B, 0x5A, 0x2B), 3.0);
        Disc(p, 6.5, 6.5, 4.5, QColor(0xCD, 0xE4, 0xFF), kInk);
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        p.restore();
    };
    m[19] = [](QPainter& p) { // removable medium: a diskette
        Box(p, 2, 1, 12, 14, kBlue, kFileTotalLine);
        Box(p, 5, 1, 6, 5, kMetal, kMetalLine);
        p.fillRect(8, 2, 2, 3, kMetalLine);
        Box(p, 4, 8, 8, 7, kPaper, kFileTotalLine);
        HLine(p, 5, 10, 10, kPaperText);
        HLine(p, 5, 8, 12, kPaperText);
    };
    m[20] = [](QPainter& p) { // all files: a stack of sheets in the total's colour
        const QColor light(0x9A, 0xA5, 0xE6);
        Page(p, 5, 0, 10, 11, kFileTotal, light, kFileTotalLine);
        Page(p, 3, 2, 10, 12, kFileTotal, light, kFileTotalLine);
        Page(p, 1, 4, 10, 12, kFileTotal, light, kFileTotalLine);
        TextLines(p, 3, 7, 9, 3, light);
    };
    m[21] = [](QPainter& p) { // by name: A over Z and a down arrow
        QPainterPath a;
        a.moveTo(0.5, 7);
        a.lineTo(3, 0.5);
        a.lineTo(5.5, 7);
        a.moveTo(1.5, 4.5);
        a.lineTo(4.5, 4.5);
        Stroke(p, a, kInk, 1.2);
        QPainterPath z;
        z.moveTo(0.5, 9);
        z.lineTo(5.5, 9);
        z.lineTo(0.5, 14.5);
        z.lineTo(5.5, 14.5);
        Stroke(p, z, kInk, 1.2);
        VLine(p, 11, 1, 11, kBlue);
        VLine(p, 12, 1, 11, kBlue);
        Shape(p, QPolygonF({{8, 11}, {15, 11}, {11.5, 14.5}}), kBlue, kBlue);
    };
    m[22] = [](QPainter& p) { // by size: bars longest first
        Box(p, 1, 1, 14, 4, kFolder, kFolderLine);
        Box(p, 1, 6, 10, 4, kFile, kFileLine);
        Box(p, 1, 11, 6, 4, kFolderTotal, kFolderTotalLine);
    };
    m[23] = [](QPainter& p) {
        Shape(p, QPolygonF({{7.5, 4}, {12, 10}, {3, 10}}), kPaperLine, kPaperLine);
    };
    m[24] = [](QPainter& p) {
        Shape(p, QPolygonF({{3, 5}, {12, 5}, {7.5, 11}}), kPaperLine, kPaperLine);
    };
    m[25] = [](QPainter& p) { // not the sort column: both directions, faint
        const QColor faint(0xC0, 0xC0, 0xC0);
        Shape(p, QPolygonF({{7.5, 2}, {10.5, 6}, {4.5, 6}}), faint, faint);
        Shape(p, QPolygonF({{4.5, 9}, {10.5, 9}, {7.5, 13}}), faint, faint);
    };
    m[26] = [](QPainter& p) { // properties: a form of fields
        Box(p, 2, 0, 12, 16, kPaper, kPaperLine);
        for (int y = 3; y <= 11; y += 4) {
            Box(p, 4, y, 3, 3, kPaper, kBlue);
            HLine(p, 8, 11, y + 1, kPaperText);
        }
        Pixel(p, 5, 4, kBlue);
    };
    m[27] = [](QPainter& p) { // connect a network drive
        DriveBody(p, 1);
        VLine(p, 5, 7, 12, kInk);
        HLine(p, 0, 7, 12, kInk);
        Badge(p, kGreen, kGreenLine);
        p.fillRect(9, 11, 6, 1, kPaper);
        p.fillRect(11, 9, 1, 6, kPaper);
    };
    m[28] = [](QPainter& p) { // disconnect a network drive
        DriveBody(p, 1);
        VLine(p, 5, 7, 12, kInk);
        HLine(p, 0, 7, 12, kInk);
        Badge(p, kRed, kRedLine);
        Line(p, 10, 10, 13, 13, kPaper, 1.4);
        Line(p, 13, 10, 10, 13, kPaper, 1.4);
    };
    m[29] = [](QPainter& p) { // export
        Page(p, 0, 1, 10, 14, kPaper, kMetalLight, kPaperLine);
        TextLines(p, 2, 6, 5, 2, kPaperText);
        RightArrow(p, 4, 15, 11, kGreen, kGreenLine);
    };
    m[31] = [](QPainter& p) { // file manager: a window with a folder pane
        AppWindow(p);
        p.fillRect(1, 4, 6, 10, QColor(0xFF, 0xF6, 0xD0));
        VLine(p, 7, 4, 13, kPaperLine);
        Folder(p, 1, 6, 6, 5, kFolder, kFolderLight, kFolderLine);
        TextLines(p, 9, 13, 6, 4, kPaperText);
    };
    m[32] = [](QPainter& p) { // an application window
        AppWindow(p);
        Box(p, 3, 6, 4, 4, kFolder, kFolderLine);
        Box(p, 9, 6, 4, 4, kFile, kFileLine);
        HLine(p, 3, 12, 12, kPaperText);
    };
    m[33] = [](QPainter& p) { // clean-up: a broom
        Line(p, 14, 1, 8, 8, QColor(0x8B, 0x5A, 0x2B), 2.0);
        Shape(p, QPolygonF({{6, 7}, {10, 10}, {6, 15}, {1, 15}, {1, 12}}), QColor(0xE8, 0xC0, 0x50),
              kFolderLine);
        Line(p, 3, 13, 6, 10, kFolderLine, 1.0);
        Pixel(p, 12, 12, kBlue);
        Pixel(p, 14, 10, kBlue);
        Pixel(p, 13, 14, kBlue);
    };
    m[34] = [](QPainter& p) { // defragment: blocks being put in order
        const QColor pattern[9] = {kBlue, kBlue, kBlue, kBlue, kRed, kPaper, kRed, kPaper, kBlue};
        for (int i = 0; i < 9; ++i)
            Box(p, 1 + (i % 3) * 5, 1 + (i / 3) * 5, 4, 4, pattern[i], kInk);
    };
    m[35] = [](QPainter& p) { // format: a drive and a circling arrow
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kRed, 1.8, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(4, 0.5, 8, 7), 60 * 16, 280 * 16);
        p.restore();
        Shape(p, QPolygonF({{9, 0}, {12.5, 1}, {9.5, 3.5}}), kRed, kRed);
        DriveBody(p, 9);
    };
    m[36] = [](QPainter& p) { // drive information
        DriveBody(p, 9);
        Disc(p, 8, 4.5, 4.5, kBlue, kFileTotalLine);
        VLine(p, 8, 4, 7, kPaper);
        Pixel(p, 8, 2, kPaper);
    };
    m[37] = [](QPainter& p) { // drive monitor: a screen with a curve
        Box(p, 0, 1, 16, 11, QColor(0x10, 0x20, 0x30), kInk);
        QPainterPath g;
        g.moveTo(1.5, 9);
        g.lineTo(4, 6);
        g.lineTo(7, 8);
        g.lineTo(10, 3.5);
        g.lineTo(13.5, 5);
        Stroke(p, g, QColor(0x50, 0xE0, 0x70), 1.2);
        p.fillRect(6, 12, 4, 2, kPaperLine);
        HLine(p, 3, 12, 14, kInk);
    };
    m[39] = [](QPainter& p) { // help
        Disc(p, 7.5, 7.5, 7.0, kBlue, kFileTotalLine);
        QPainterPath q;
        q.moveTo(5, 5.5);
        q.cubicTo(5, 2.5, 10, 2.5, 10, 5.2);
        q.cubicTo(10, 7, 7.5, 7, 7.5, 9);
        Stroke(p, q, kPaper, 1.8);
        Disc(p, 8, 12, 0.9, kPaper, kPaper);
    };
    m[40] = [](QPainter& p) { // web page: a globe
        Disc(p, 7.5, 7.5, 7.0, QColor(0x5A, 0xA0, 0xE0), QColor(0x2A, 0x5A, 0x90));
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(0xE0, 0xF0, 0xFF), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 3.0, 6.5);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
        p.drawLine(QPointF(3, 11.5), QPointF(13, 11.5));
        p.restore();
    };
    m[41] = [](QPainter& p) { // a row of drive information: a label with an "i"
        Box(p, 0, 3, 16, 10, kPaper, kPaperLine);
        Disc(p, 4.5, 7.5, 3.5, kBlue, kFileTotalLine);
        Pixel(p, 4, 5, kPaper);
        VLine(p, 4, 7, 9, kPaper);
        HLine(p, 9, 13, 6, kPaperText);
        HLine(p, 9, 12, 9, kPaperText);
    };
    m[42] = [](QPainter& p) { // cluster size: a row of blocks, one measured by a bracket
        for (int i = 0; i < 4; ++i)
            Box(p, 1 + i * 3, 2, 4, 7, i < 2 ? kBlue : kFileLight, kFileTotalLine);
        VLine(p, 1, 11, 14, kInk);
        VLine(p, 7, 11, 14, kInk);
        HLine(p, 1, 7, 12, kInk);
    };
    m[43] = [](QPainter& p) { // free space: a gauge, used in blue and the free part light
        Box(p, 0, 4, 16, 8, QColor(0xE8, 0xF6, 0xE8), kGreenLine);
        p.fillRect(1, 5, 8, 6, kBlue);
        VLine(p, 9, 5, 10, kFileTotalLine);
        for (int x = 11; x <= 13; x += 2)
            VLine(p, x, 6, 9, kGreen);
    };
    m[44] = [](QPainter& p) { // all folders: stacked folders in the total's colour
        const QColor light(0xFF, 0xB8, 0x70);
        Folder(p, 3, 0, 13, 10, kFolderTotal, light, kFolderTotalLine);
        Folder(p, 0, 5, 13, 10, kFolderTotal, light, kFolderTotalLine);
    };
    m[45] = [](QPainter& p) { // reserved space: a hatched block
        Box(p, 1, 2, 14, 12, QColor(0xE0, 0xE0, 0xE0), kPaperLine);
        p.save();
        p.setClipRect(2, 3, 12, 10);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.2));
        for (int x = -10; x < 16; x += 4)
            p.drawLine(QPointF(x, 14), QPointF(x + 12, 2));
        p.restore();
    };
    return m;
}

QImage Lamp(const QColor& fill, const QColor& line) {
    QImage img(12, 12, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(line, 1.0));
    p.setBrush(fill);
    p.drawEllipse(QPointF(6, 6), 5.3, 5.3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(4.5, 4.3), 1.8, 1.4);
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: makeicons OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "makeicons: cannot create %s\n", argv[1]);
        return 1;
    }
    QStringList names;
    const auto images = Images();
    // Unused indexes get a blank image so every row and menu keeps its icon column.
    for (int i = 0; i <= 45; ++i) {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        if (auto it = images.find(i); it != images.end()) {
            QPainter p(&img);
            it->second(p);
        }
        const QString name = QString::asprintf("img%02d.png", i);
        if (!img.save(out.filePath(name))) return 1;
        names << name;
    }
    const QImage lamps[3] = {Lamp(QColor(0xFF, 0xB0, 0x00), QColor(0xA0, 0x68, 0x00)),
                             Lamp(QColor(0x30, 0xC0, 0x30), QColor(0x18, 0x68, 0x18)),
                             Lamp(QColor(0xE0, 0x30, 0x30), QColor(0x88, 0x18, 0x18))};
    for (int i = 0; i < 3; ++i) {
        const QString name = QString::asprintf("lamp%d.png", i);
        if (!lamps[i].save(out.filePath(name))) return 1;
        names << name;
    }
    QFile qrc(out.filePath("images.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    QTextStream s(&qrc);
    s << "<RCC>\n  <qresource prefix=\"/images\">\n";
    for (const QString& n : names)
        s << "    <file>" << n << "</file>\n";
    s << "  </qresource>\n</RCC>\n";
    return 0;
}
