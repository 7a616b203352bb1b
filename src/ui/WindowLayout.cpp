#include "ui/WindowLayout.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace nrvs {

QRect FitRect(const QRect& frame, const QRect& available) {
    if (!available.isValid()) return frame;
    QRect r(frame.topLeft(), QSize(std::min(frame.width(), available.width()),
                                   std::min(frame.height(), available.height())));
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

QScreen* ScreenHolding(const QRect& frame) {
    if (QScreen* s = QGuiApplication::screenAt(frame.center())) return s;
    if (QScreen* s = QGuiApplication::screenAt(frame.topLeft())) return s;
    return QGuiApplication::primaryScreen();
}

QRect ExpectedFrame(const QWidget* window, const QWidget* like) {
    const QRect frame = window->frameGeometry();
    // Before the window manager has framed a window its frame is its client
    // area: a dialog centred on that lands half a title bar too low, and one
    // centred on a main window not yet framed lands anywhere.
    if (frame.size() != window->size() || !like || !like->isVisible()) return frame;
    const QRect lf = like->frameGeometry(), lc = like->geometry();
    const QMargins m(lc.left() - lf.left(), lc.top() - lf.top(), lf.right() - lc.right(),
                     lf.bottom() - lc.bottom());
    return QRect(window->pos(), window->size().grownBy(m));
}

void PlaceOnScreen(QWidget* window, QRect frame, const QWidget* over) {
    const QRect ref = over && over->isVisible() ? over->frameGeometry() : frame;
    const QScreen* screen = ScreenHolding(ref);
    if (!screen) return;
    const QRect fitted = FitRect(frame, screen->availableGeometry());
    if (fitted.size() != frame.size()) {
        const QSize margins = frame.size() - window->size();
        window->resize((fitted.size() - margins)
                           .expandedTo(window->minimumSize())
                           .boundedTo(window->maximumSize()));
    }
    window->move(fitted.topLeft());
}

void CentreOn(QWidget* window, const QWidget* over) {
    QRect frame = ExpectedFrame(window, over);
    QRect target;
    if (over && over->isVisible())
        target = over->frameGeometry();
    else if (const QScreen* s = QGuiApplication::primaryScreen())
        target = s->availableGeometry();
    if (target.isValid()) frame.moveCenter(target.center());
    PlaceOnScreen(window, frame, over);
}

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const QChar sep = u'\\';
    const QString ellipsis = QStringLiteral("…");
    const bool folder = path.endsWith(sep);
    QStringList parts = (folder ? path.chopped(1) : path).split(sep);
    if (parts.size() < 3) return metrics.elidedText(path, Qt::ElideMiddle, width);
    const QString head = parts.takeFirst() + sep;
    const QString tail = parts.takeLast() + (folder ? QString(sep) : QString());
    // Folders go from the middle outwards; the ones next to the last name
    // say more about where it is, so the right side keeps one more.
    for (qsizetype kept = parts.size() - 1; kept >= 0; --kept) {
        const qsizetype right = (kept + 1) / 2, left = kept - right;
        QString s = head;
        for (qsizetype i = 0; i < left; ++i)
            s += parts[i] + sep;
        s += ellipsis + sep;
        for (qsizetype i = parts.size() - right; i < parts.size(); ++i)
            s += parts[i] + sep;
        s += tail;
        if (metrics.horizontalAdvance(s) <= width) return s;
    }
    const QString fixed = head + ellipsis + sep;
    const int room = width - metrics.horizontalAdvance(fixed);
    if (room > metrics.horizontalAdvance(ellipsis) * 3)
        return fixed + metrics.elidedText(tail, Qt::ElideMiddle, room);
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

namespace {
bool SameLine(const QRect& a, const QRect& b) {
    return a.top() < b.bottom() && b.top() < a.bottom();
}

// Moves the widgets that stood right of `from` (right of oldRight) on its
// line so that none starts within `gap` pixels of its new right edge; the
// ones moved push the ones after them.
void PushRight(QWidget* from, int oldRight, int gap) {
    QWidget* parent = from->parentWidget();
    int right = from->geometry().right() + 1;
    QList<QWidget*> line;
    for (QObject* o : parent->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && w != from && !w->isWindow() &&
                                                 w->x() >= oldRight &&
                                                 SameLine(w->geometry(), from->geometry()))
            line << w;
    std::sort(line.begin(), line.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    for (QWidget* w : line) {
        if (w->x() >= right + gap) break;
        const int shift = right + gap - w->x();
        w->move(w->x() + shift, w->y());
        right = std::max(right, w->geometry().right() + 1);
    }
}

int TextNeeds(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->wordWrap() || l->text().isEmpty() || !l->pixmap().isNull() ||
            l->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            return 0;
        return l->sizeHint().width();
    }
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) return w->sizeHint().width();
    return 0;
}

// Grows a box (and the boxes holding it) to hold its children with the
// margin it had on the right.
void GrowToHold(QWidget* box, int oldWidth, QWidget* window) {
    int right = 0;
    for (QObject* o : box->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden())
            right = std::max(right, w->geometry().right() + 1);
    const int need = right + 8;
    if (need <= box->width()) return;
    const int grow = need - box->width();
    // The buttons of the right half (OK, CLOSE) stay at the right edge.
    for (QObject* o : box->children())
        if (auto* w = qobject_cast<QPushButton*>(o); w && w->x() >= oldWidth / 2)
            w->move(w->x() + grow, w->y());
    if (box == window) {
        if (box->minimumWidth() == box->maximumWidth())
            box->setFixedWidth(need);
        else
            box->resize(need, box->height());
        return;
    }
    const int oldRight = box->geometry().right() + 1;
    box->resize(need, box->height());
    PushRight(box, oldRight, 4);
    if (QWidget* parent = box->parentWidget()) GrowToHold(parent, parent->width(), window);
}
} // namespace

void FitTexts(QWidget* window) {
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (w->window() != window) continue;
        const int need = TextNeeds(w);
        if (need <= w->width()) continue;
        QWidget* parent = w->parentWidget();
        const int parentWidth = parent->width();
        const int oldRight = w->geometry().right() + 1;
        w->resize(need, w->height());
        PushRight(w, oldRight, 2);
        GrowToHold(parent, parentWidth, window);
    }
}

void ElidePathInCell(QStyleOptionViewItem* option) {
    if (option->text.isEmpty()) return;
    const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, option, option->widget);
    const int margin =
        style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1;
    option->text = ElidePath(option->text, option->fontMetrics, room.width() - 2 * margin);
}

namespace {
const char* const kFullPath = "nrvsFullPath";

// Shortens a label's path again whenever the label changes width.
class PathLabelFilter : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange) {
            if (auto* label = qobject_cast<QLabel*>(watched)) Elide(label);
        }
        return false;
    }
    static void Elide(QLabel* label) {
        const QString full = label->property(kFullPath).toString();
        const int room = label->contentsRect().width() - 2 * label->margin();
        const QString shown = ElidePath(full, label->fontMetrics(), std::max(room, 1));
        if (label->text() != shown) label->setText(shown);
        label->setToolTip(shown == full ? QString() : full);
    }
};
} // namespace

void SetPathText(QLabel* label, const QString& path) {
    if (!label->property(kFullPath).isValid()) {
        static PathLabelFilter* filter = new PathLabelFilter(qApp);
        label->installEventFilter(filter);
        // The label takes the room it is given, not the room its whole path asks.
        QSizePolicy p = label->sizePolicy();
        p.setHorizontalPolicy(QSizePolicy::Ignored);
        label->setSizePolicy(p);
        label->setTextFormat(Qt::PlainText);
    }
    label->setProperty(kFullPath, path);
    PathLabelFilter::Elide(label);
}

namespace {
// Sets the toolbar type on the native window about to be shown. The widget
// keeps the attribute while its native window comes and goes, and setting
// an attribute it has does nothing: it is cleared and set again.
class CloseBoxOnly : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            if (QWindow* handle = window->windowHandle()) handle->create();
            window->setAttribute(Qt::WA_X11NetWmWindowTypeToolBar, false);
            window->setAttribute(Qt::WA_X11NetWmWindowTypeToolBar, true);
        }
        return false;
    }
};
} // namespace

void KeepOnlyCloseBox(QWidget* window, Qt::WindowFlags extra) {
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | extra);
    // The type is taken from the native window, so that is made first.
    window->winId();
    window->setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    if (window->findChild<QObject*>(QStringLiteral("closeBoxOnly"), Qt::FindDirectChildrenOnly))
        return;
    auto* filter = new CloseBoxOnly(window);
    filter->setObjectName(QStringLiteral("closeBoxOnly"));
    window->installEventFilter(filter);
}

} // namespace nrvs
