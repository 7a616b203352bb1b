// The treemap window: the folder shown in the main window as nested
// cushions, each folder's area its occupied size. It follows the main
// window; a click selects the folder there, a double click shows it, and
// Backspace or the parent button goes back up. From the keyboard the arrows
// go from tile to tile of the folder shown (each selected in the main
// window as a click would), Enter shows the tile's folder and Backspace goes
// up. Layout and drawing run in a
// worker thread, so the window never waits for them.
#pragma once

#include "core/treemap/Treemap.h"

#include <QIcon>
#include <QImage>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <memory>

class QComboBox;
class QLabel;
class QTimer;
class QToolButton;

namespace nrvs {

class MainWindow;
class TreemapWindow;

// The map itself.
class TreemapView : public QWidget {
    Q_OBJECT
  public:
    explicit TreemapView(TreemapWindow* owner);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    TreemapWindow* owner_;
};

class TreemapWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TreemapWindow(MainWindow* main);
    ~TreemapWindow() override;

    // Reads the folder shown in the main window again and lays it out.
    void Follow();
    // The node under a point of the view, -1 for none.
    int NodeAt(const QPoint& point) const;
    // Click: the node's folder selected in the main window's tree, and its
    // item of the folder shown selected in the list.
    void SelectInMain(int node);
    // Double click: the node's folder shown in the main window.
    void ZoomIn(int node);
    // Backspace, parent button: the parent folder shown.
    void ZoomOut();
    // An arrow key: the nearest tile of the folder shown that way from the
    // marked one (the top left one when none is marked) marked and
    // selected in the main window. dx, dy: -1, 0 or 1.
    void Step(int dx, int dy);

    const Treemap& Map() const { return map_; }
    const QImage& Image() const { return image_; }
    // True while a layout is on its way.
    bool Busy() const { return pending_ != shown_; }
    int Hovered() const { return hovered_; }
    // The files of one type stand out, the rest dimmed (Off: all in their
    // colours). The map is drawn again, not laid out again.
    void SetHighlight(const TreemapHighlight& highlight);
    const TreemapHighlight& Highlight() const { return highlight_; }
    void SetHovered(int node);

    QToolButton* upButton;
    QComboBox* colourCombo;
    QLabel* pathLabel;
    TreemapView* mapView;
    QWidget* legend;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Placed beside the main window, on its screen, at the first showing.
    void PlaceBesideMain();
    bool placed_ = false;
    friend class TreemapView;
    void StartLayout();
    void Finished(uint64_t generation, Treemap map, QImage image);
    void StartDrawing();
    void FitLegend();

    MainWindow* main_;
    std::shared_ptr<const TreemapSource> source_;
    Treemap map_;
    QImage image_;
    int hovered_ = -1;
    TreemapHighlight highlight_;
    uint64_t pending_ = 0; // the generation asked for last
    uint64_t shown_ = 0;   // the generation on screen
    std::shared_ptr<std::atomic<bool>> cancel_;
    QThreadPool pool_;
    QTimer* layoutTimer;
    bool followPending_ = false;
};

// The toolbar's picture of the command: three nested blocks.
QIcon TreemapIcon();

} // namespace nrvs
