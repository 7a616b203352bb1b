#include "ui/treemap/TreemapWindow.h"
#include "ui/Locale.h"

#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowParts.h"
#include "ui/treemap/TreemapPainter.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace nrvs {

using mainwindow::kNameRole;

namespace {

QString Q(const std::string& s) {
    return ShownText(s);
}

// "X:\a\b\" -> "X:\a\"; a root stays as it is.
std::string ParentFolder(const std::string& path) {
    if (path.size() <= 3) return path;
    size_t p = path.rfind('\\', path.size() - 2);
    return p == std::string::npos ? path : path.substr(0, p + 1);
}

} // namespace

// ---------------------------------------------------------------- the view

TreemapView::TreemapView(TreemapWindow* owner) : QWidget(owner), owner_(owner) {
    setObjectName("mapView");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 80);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TreemapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage& image = owner_->image_;
    if (image.isNull()) {
        p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        return;
    }
    // While a new size is laid out, the last picture is stretched to it.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image);
    const Treemap& map = owner_->map_;
    const int h = owner_->hovered_;
    if (h > 0 && static_cast<size_t>(h) < map.Nodes.size() && map.Width > 0 && map.Height > 0) {
        const TreemapRect& r = map.Nodes[static_cast<size_t>(h)].Rect;
        const double sx = static_cast<double>(width()) / map.Width,
                     sy = static_cast<double>(height()) / map.Height;
        const QRectF box(r.X * sx, r.Y * sy, r.W * sx, r.H * sy);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 2));
        p.drawRect(box.adjusted(1, 1, -1, -1));
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box.adjusted(2.5, 2.5, -2.5, -2.5));
    }
}

void TreemapView::resizeEvent(QResizeEvent*) {
    owner_->layoutTimer->start();
}

void TreemapView::mouseMoveEvent(QMouseEvent* event) {
    const int node = owner_->NodeAt(event->position().toPoint());
    if (node != owner_->hovered_) {
        owner_->SetHovered(node);
        if (node < 0)
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(),
                               TreemapTip(owner_->map_, node, Global().SizeUnit), this);
    }
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        owner_->SelectInMain(owner_->NodeAt(event->position().toPoint()));
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        owner_->ZoomIn(owner_->NodeAt(event->position().toPoint()));
}

void TreemapView::leaveEvent(QEvent*) {
    owner_->SetHovered(-1);
}

void TreemapView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        owner_->Step(-1, 0);
        break;
    case Qt::Key_Right:
        owner_->Step(1, 0);
        break;
    case Qt::Key_Up:
        owner_->Step(0, -1);
        break;
    case Qt::Key_Down:
        owner_->Step(0, 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        owner_->ZoomIn(owner_->hovered_);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------- the window

TreemapWindow::TreemapWindow(MainWindow* main) : QWidget(main, Qt::Window), main_(main) {
    setObjectName("TreemapWindow");
    setWindowTitle(QStringLiteral("ツリーマップ"));
    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 4, 4, 2);
    upButton = new QToolButton(this);
    upButton->setObjectName("upButton");
    upButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    upButton->setToolTip(QStringLiteral("上のフォルダ (BackSpace)"));
    upButton->setFocusPolicy(Qt::NoFocus);
    colourCombo = new QComboBox(this);
    colourCombo->setObjectName("colourCombo");
    colourCombo->addItems({QStringLiteral("色：深さ"), QStringLiteral("色：種類")});
    colourCombo->setCurrentIndex(COLOUR_BY_KIND);
    colourCombo->setFocusPolicy(Qt::NoFocus);
    pathLabel = new QLabel(this);
    pathLabel->setObjectName("pathLabel");
    pathLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    pathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(upButton);
    top->addWidget(colourCombo);
    top->addWidget(pathLabel, 1);
    mapView = new TreemapView(this);
    legend = new QWidget(this);
    legend->setObjectName("legend");
    legend->setFixedHeight(LegendHeight());
    legend->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(mapView, 1);
    layout->addWidget(legend);

    pool_.setMaxThreadCount(1);
    layoutTimer = new QTimer(this);
    layoutTimer->setObjectName("layoutTimer");
    layoutTimer->setSingleShot(true);
    layoutTimer->setInterval(40);
    connect(layoutTimer, &QTimer::timeout, this, &TreemapWindow::StartLayout);
    // The main window's commands that are not about its selection work here
    // too: a window of its own would otherwise take their keys for nothing.
    addActions({main_->fileQuitAction, main_->toolsFileTypesAction, main_->toolsSearchAction,
                main_->toolsLargestFilesAction});
    connect(upButton, &QToolButton::clicked, this, &TreemapWindow::ZoomOut);
    connect(colourCombo, &QComboBox::currentIndexChanged, this, [this] {
        FitLegend();
        legend->update();
        StartLayout();
    });
    // The main list is rebuilt (emptied first, then filled) whenever the
    // folder shown changes; follow once, after both.
    connect(main_->folderList->model(), &QAbstractItemModel::modelReset, this, [this] {
        if (followPending_) return;
        followPending_ = true;
        QTimer::singleShot(0, this, [this] {
            followPending_ = false;
            if (isVisible()) Follow();
        });
    });
}

TreemapWindow::~TreemapWindow() {
    if (cancel_) cancel_->store(true);
    pool_.waitForDone();
}

void TreemapWindow::showEvent(QShowEvent* event) {
    if (!placed_) {
        placed_ = true;
        PlaceBesideMain();
    }
    QWidget::showEvent(event);
    mapView->setFocus();
    Follow();
}

void TreemapWindow::PlaceBesideMain() {
    const QRect mainFrame = main_->frameGeometry();
    const QScreen* screen = MainWindow::ScreenOf(mainFrame);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    // The frame around the client area, as the main window's shows it.
    const QSize frame = mainFrame.size() - main_->size();
    // A share of the screen, as a map wants room to show much.
    const QSize want(avail.width() * 45 / 100, avail.height() * 60 / 100);
    const int least = std::max(360, avail.width() / 4); // narrower beside it, a map shows little
    const int rightRoom = avail.right() - mainFrame.right(),
              leftRoom = mainFrame.left() - avail.left();
    QRect place;
    if (std::max(rightRoom, leftRoom) >= least) {
        // Beside the main window where there is room: right of it, else left.
        const bool right = rightRoom >= want.width() || rightRoom >= leftRoom;
        const int width = std::min(want.width(), right ? rightRoom : leftRoom);
        place = QRect(right ? mainFrame.right() + 1 : mainFrame.left() - width, mainFrame.top(),
                      width, want.height());
    } else {
        // No room beside it: over its tree and names, so that the list's
        // figures stay in view, and the drive bar too where the width allows.
        const QHeaderView* header = main_->folderList->horizontalHeader();
        const int figures = header->count() > 1
                                ? main_->folderList->viewport()
                                      ->mapToGlobal(QPoint(header->sectionViewportPosition(1), 0))
                                      .x()
                                : avail.left() + want.width();
        const int tree = main_->folderTree->mapToGlobal(QPoint(0, 0)).x();
        int left = std::max(tree, figures - want.width());
        if (figures - left < least) left = figures - least;
        left = std::max(left, avail.left());
        place = QRect(left, mainFrame.top(), std::max(least, figures - left), want.height());
    }
    const QSize client = (place.size() - frame).expandedTo(QSize(200, 150));
    resize(client);
    move(MainWindow::FitFrame(QRect(place.topLeft(), client + frame), avail).topLeft());
}

void TreemapWindow::Follow() {
    const RowList& rows = main_->Rows();
    const GlobalState& g = Global();
    std::string path = rows.empty() ? std::string() : SplitRow(rows[0]).Caption;
    if (path.size() < 3 || !g.CurrentDrive || !g.CurrentDrive->Ready) {
        if (cancel_) cancel_->store(true);
        source_.reset();
        map_ = Treemap{};
        image_ = QImage();
        shown_ = ++pending_;
        hovered_ = -1;
        pathLabel->clear();
        upButton->setEnabled(false);
        mapView->update();
        return;
    }
    if (path.back() != '\\') path += '\\';
    const DriveRecord& drive = *g.CurrentDrive;
    // At a volume's root the treemap fills the volume's used space; at a
    // folder given a letter the root's figure is what was measured.
    const double used =
        path.size() == 3 && drive.TotalBytes > 0 ? FiguresOfRoot(drive, -1).Used : -1;
    source_ = std::make_shared<const TreemapSource>(
        MakeSource(g.Folders, path, static_cast<int32_t>(drive.ClusterSize), used));
    // Without the file index of the last measurement the folders' files are
    // blocks; one line says how to get the single files.
    pathLabel->setText(QStringLiteral(" ") + Q(path) +
                       (source_->Files || g.Folders.Count() == 0
                            ? QString()
                            : QStringLiteral("　（計測し直すと1つ1つのファイルを表示します）")));
    pathLabel->setToolTip(Q(path));
    upButton->setEnabled(path.size() > 3);
    StartLayout();
}

void TreemapWindow::StartLayout() {
    layoutTimer->stop();
    if (!source_) return;
    if (cancel_) cancel_->store(true);
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    const uint64_t generation = ++pending_;
    const int w = std::max(1, mapView->width()), h = std::max(1, mapView->height());
    const int colours = colourCombo->currentIndex();
    const int unit = Global().SizeUnit;
    auto source = source_;
    auto cancel = cancel_;
    const TreemapHighlight highlight = highlight_;
    pool_.start([this, generation, source, cancel, w, h, colours, unit, highlight] {
        auto map = std::make_shared<Treemap>(BuildTreemap(source, w, h, 4, cancel.get()));
        if (cancel->load()) return;
        QImage image = DrawTreemap(*map, colours, unit, cancel.get(), highlight);
        if (cancel->load()) return;
        // The window waits for this thread before it goes, so it is there
        // to receive the result.
        QMetaObject::invokeMethod(
            this, [this, generation, map, image] { Finished(generation, std::move(*map), image); },
            Qt::QueuedConnection);
    });
}

void TreemapWindow::SetHighlight(const TreemapHighlight& highlight) {
    const bool same = highlight.On == highlight_.On &&
                      (!highlight.On || (highlight.Extension == highlight_.Extension &&
                                         highlight.Kind == highlight_.Kind &&
                                         highlight.AnyExtension == highlight_.AnyExtension));
    highlight_ = highlight;
    if (same) return;
    // A layout on its way draws with the new highlight only if it starts
    // again; otherwise the map on screen is only coloured anew.
    if (Busy())
        StartLayout();
    else
        StartDrawing();
}

void TreemapWindow::StartDrawing() {
    if (!source_ || map_.Nodes.empty()) return;
    if (cancel_) cancel_->store(true);
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    const uint64_t generation = ++pending_;
    auto map = std::make_shared<Treemap>(map_);
    auto cancel = cancel_;
    const int colours = colourCombo->currentIndex();
    const int unit = Global().SizeUnit;
    const TreemapHighlight highlight = highlight_;
    pool_.start([this, generation, map, cancel, colours, unit, highlight] {
        QImage image = DrawTreemap(*map, colours, unit, cancel.get(), highlight);
        if (cancel->load()) return;
        QMetaObject::invokeMethod(
            this, [this, generation, map, image] { Finished(generation, std::move(*map), image); },
            Qt::QueuedConnection);
    });
}

void TreemapWindow::Finished(uint64_t generation, Treemap map, QImage image) {
    if (generation != pending_) return;
    // The same folder at the same size (other colours, a type lit) is the
    // same layout: the tile marked from the keyboard stays marked.
    const bool same = map.Source == map_.Source && map.Width == map_.Width &&
                      map.Height == map_.Height && map.Nodes.size() == map_.Nodes.size();
    map_ = std::move(map);
    image_ = std::move(image);
    shown_ = generation;
    if (!same) hovered_ = -1;
    mapView->update();
    FitLegend();
    legend->update(); // its grey's share is the new map's
}

void TreemapWindow::FitLegend() {
    // As many lines as the window's width needs, so that no entry is cut.
    const int height = LegendHeightFor(legend->width(), colourCombo->currentIndex(), &map_);
    if (legend->height() != height) legend->setFixedHeight(height);
}

int TreemapWindow::NodeAt(const QPoint& point) const {
    if (map_.Width <= 0 || map_.Height <= 0 || mapView->width() <= 0 || mapView->height() <= 0)
        return -1;
    const double x = (point.x() + 0.5) * map_.Width / mapView->width();
    const double y = (point.y() + 0.5) * map_.Height / mapView->height();
    const int node = HitTest(map_, x, y);
    return node > 0 ? node : -1;
}

void TreemapWindow::SetHovered(int node) {
    if (node == hovered_) return;
    hovered_ = node;
    mapView->update();
}

void TreemapWindow::SelectInMain(int node) {
    if (node <= 0 || static_cast<size_t>(node) >= map_.Nodes.size() || !map_.Source) return;
    const TreemapNode& n = map_.Nodes[static_cast<size_t>(node)];
    const std::string shown = map_.Source->Path;
    std::string folder = n.Kind == TILE_FILE ? shown : NodePath(map_, node);
    // A file deeper down: its folder in the tree.
    if (n.Kind == TILE_INDEXED_FILE) folder = folder.substr(0, folder.rfind('\\') + 1);

    // The list: the item of the folder shown that holds the node.
    int top = node;
    while (map_.Nodes[static_cast<size_t>(top)].Parent > 0)
        top = map_.Nodes[static_cast<size_t>(top)].Parent;
    const TreemapNode& t = map_.Nodes[static_cast<size_t>(top)];
    std::string name = NodePath(map_, top).substr(shown.size());
    if (!name.empty() && name.back() == '\\') name.pop_back();
    const int image = t.Kind == TILE_FILE ? IMG_FILE : IMG_FOLDER;
    const RowList& rows = main_->Rows();
    for (size_t r = 0; r < rows.size(); ++r) {
        const RowFields f = SplitRow(rows[r]);
        if (f.Image == image && f.Caption == name) {
            QAbstractItemModel* model = main_->folderList->model();
            main_->folderList->selectionModel()->setCurrentIndex(
                model->index(static_cast<int>(r), 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            main_->folderList->scrollTo(model->index(static_cast<int>(r), 0));
            break;
        }
    }

    // The tree: the folder's node, its levels filled on the way as the
    // main window opens a path, but the list left as it is.
    QTreeWidget* tree = main_->folderTree;
    QTreeWidgetItem* item = tree->topLevelItem(0);
    if (!item || folder.size() < 3) return;
    std::string rest = folder.substr(3);
    while (!rest.empty()) {
        const size_t slash = rest.find('\\');
        const QByteArray key = QByteArray::fromStdString(rest.substr(0, slash));
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        if (!item->isExpanded()) tree->expandItem(item);
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < item->childCount() && !found; ++i)
            if (item->child(i)->data(0, kNameRole).toByteArray() == key) found = item->child(i);
        if (!found) break;
        item = found;
    }
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
}

void TreemapWindow::ZoomIn(int node) {
    if (node <= 0 || static_cast<size_t>(node) >= map_.Nodes.size()) return;
    const TileKind kind = map_.Nodes[static_cast<size_t>(node)].Kind;
    if (kind == TILE_FILE) return;
    std::string folder = NodePath(map_, node);
    // A file deeper down opens its folder.
    if (kind == TILE_INDEXED_FILE) folder = folder.substr(0, folder.rfind('\\') + 1);
    if (source_ && folder == source_->Path) return;
    main_->OpenPath(folder, false);
}

void TreemapWindow::ZoomOut() {
    if (!source_ || source_->Path.size() <= 3) return;
    main_->OpenPath(ParentFolder(source_->Path), false);
}

void TreemapWindow::Step(int dx, int dy) {
    if (map_.Nodes.size() < 2 || map_.Nodes[0].Count <= 0) return;
    // The tile of the folder shown that holds the marked one.
    int from = hovered_;
    while (from > 0 && map_.Nodes[static_cast<size_t>(from)].Parent > 0)
        from = map_.Nodes[static_cast<size_t>(from)].Parent;
    const int first = map_.Nodes[0].First, last = first + map_.Nodes[0].Count;
    auto seen = [&](int i) {
        const TreemapRect& r = map_.Nodes[static_cast<size_t>(i)].Rect;
        return r.W >= 1 && r.H >= 1;
    };
    int best = -1;
    if (from <= 0) {
        // Nothing marked yet: the tile at the top left.
        double bestCorner = 0;
        for (int i = first; i < last; ++i) {
            const TreemapRect& r = map_.Nodes[static_cast<size_t>(i)].Rect;
            if (!seen(i)) continue;
            if (best < 0 || r.X + r.Y < bestCorner) {
                best = i;
                bestCorner = r.X + r.Y;
            }
        }
    } else {
        // The nearest tile wholly beyond the marked one's edge that way;
        // one beside it on the other axis before one off to the side.
        const TreemapRect& c = map_.Nodes[static_cast<size_t>(from)].Rect;
        const double eps = 0.5;
        double bestScore = 0;
        for (int i = first; i < last; ++i) {
            if (i == from || !seen(i)) continue;
            const TreemapRect& r = map_.Nodes[static_cast<size_t>(i)].Rect;
            double ahead, aside;
            if (dx != 0) {
                ahead = dx > 0 ? r.X - (c.X + c.W) : c.X - (r.X + r.W);
                aside = std::max(0.0, std::max(r.Y, c.Y) - std::min(r.Y + r.H, c.Y + c.H));
            } else {
                ahead = dy > 0 ? r.Y - (c.Y + c.H) : c.Y - (r.Y + r.H);
                aside = std::max(0.0, std::max(r.X, c.X) - std::min(r.X + r.W, c.X + c.W));
            }
            if (ahead < -eps) continue;
            // Of tiles equally near, the one most in line with the marked one.
            const double offCentre = dx != 0 ? std::abs((r.Y + r.H / 2) - (c.Y + c.H / 2))
                                             : std::abs((r.X + r.W / 2) - (c.X + c.W / 2));
            const double score = std::max(0.0, ahead) + 4 * aside + 1e-3 * offCentre;
            if (best < 0 || score < bestScore) {
                best = i;
                bestScore = score;
            }
        }
    }
    if (best <= 0) return;
    SetHovered(best);
    SelectInMain(best);
}

void TreemapWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) {
        ZoomOut();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TreemapWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == legend && event->type() == QEvent::Resize) {
        FitLegend();
        return false;
    }
    if (watched == legend && event->type() == QEvent::Paint) {
        QPainter p(legend);
        DrawLegend(p, legend->rect(), colourCombo->currentIndex(), &map_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QIcon TreemapIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(QColor(0x4F, 0x7F, 0xD0));
    p.drawRect(0, 0, 9, 15);
    p.setBrush(QColor(0xE8, 0x96, 0x2F));
    p.drawRect(9, 0, 6, 8);
    p.setBrush(QColor(0x4F, 0xB0, 0x50));
    p.drawRect(9, 8, 6, 7);
    return QIcon(pm);
}

} // namespace nrvs
