#include "ui/ReportLists.h"

#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings,
                            QAbstractItemView::SelectionMode selection) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName("reportList");
    list->setColumnCount(static_cast<int>(headings.size()));
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(selection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSectionsMovable(false);
    return list;
}

namespace {
class SpareWidth : public QObject {
  public:
    SpareWidth(QTreeView* list, int column, int least)
        : QObject(list), list_(list), column_(column), least_(least), chosen_(least) {
        list->viewport()->installEventFilter(this);
        setObjectName(QStringLiteral("spareWidth"));
        // A width given to the path column by the user or by the window's
        // settings is kept for the settings file; the column itself keeps
        // taking the spare width.
        connect(list->header(), &QHeaderView::sectionResized, this,
                [this](int section, int, int size) {
                    if (fitting_) return;
                    if (section == column_ && size > 0) chosen_ = size;
                    Fit();
                });
        connect(list->header(), &QHeaderView::sectionCountChanged, this, [this] { Fit(); });
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) Fit();
        return false;
    }
    void Fit() {
        QHeaderView* h = list_->header();
        if (column_ >= h->count()) return;
        int others = 0;
        for (int c = 0; c < h->count(); ++c)
            if (c != column_ && !h->isSectionHidden(c)) others += h->sectionSize(c);
        const int width = std::max(least_, list_->viewport()->width() - others);
        if (h->sectionSize(column_) == width) return;
        fitting_ = true;
        h->resizeSection(column_, width);
        fitting_ = false;
    }

    int Column() const { return column_; }
    int Chosen() const { return chosen_; }

  private:
    QTreeView* list_;
    int column_, least_, chosen_;
    bool fitting_ = false;
};
} // namespace

void GiveSpareWidthTo(QTreeView* list, int column, int least) {
    list->header()->setStretchLastSection(false);
    (new SpareWidth(list, column, least))->Fit();
}

int ChosenWidth(const QTreeView* list, int column) {
    const auto* spare = list->findChild<const SpareWidth*>(QStringLiteral("spareWidth"),
                                                           Qt::FindDirectChildrenOnly);
    return spare && spare->Column() == column ? spare->Chosen()
                                              : list->header()->sectionSize(column);
}

QVBoxLayout* SetUpReportWindow(QDialog* window, const char* name, const QString& caption, int width,
                               int height) {
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setSizeGripEnabled(true);
    window->resize(width, height);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    return layout;
}

} // namespace nrvs
