// The list's rows for the view: owner data over the row strings. A row is
// parsed only when the view asks for it, so scrolling touches only the rows
// on screen.
#pragma once

#include "core/history/Changes.h"
#include "core/views/Rows.h"

#include <QAbstractTableModel>

namespace nrvs {

class RowModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit RowModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Replaces every row at once.
    void SetRows(RowList rows);
    const RowList& Rows() const { return rows_; }
    // The fields of row i; empty fields outside the list.
    const RowFields& RowAt(int row) const;
    // How many rows were parsed since the last reset (for the benchmark).
    long ParsedRows() const { return parsed_; }

    // The 増減 column of a row: empty when it has none (a file, a total, a
    // folder not measured now), "?" when the previous measurement does not
    // know the folder, else "change=before" in bytes.
    QString ChangeText(int row) const;
    // The largest change in bytes (either way) among the rows' 増減 cells, the
    // length a full bar stands for; 0 when no row has one. Found once per fill.
    double LargestChange() const;
    // The previous measurement the 増減 column compares with, loaded again
    // when the drive or its current measurement changed.
    static const PreviousFigures& Previous();

    // Sort marks of columns 0 and 3 (image indexes).
    void SetSortImages(int column0, int column3);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    RowList rows_;
    std::string headerPath_;
    mutable int cachedRow_ = -1;
    mutable RowFields cached_;
    mutable long parsed_ = 0;
    mutable double largestChange_ = -1; // -1: not looked for since the fill
    int sortImage0_ = 23;
    int sortImage3_ = 25;
};

} // namespace nrvs
