#pragma once

#include "widgets/data_source.h"
#include "widgets/dataset_model.h"

#include <QPointer>
#include <QTableView>
#include <QTimer>

namespace zarn::ui {

class DataSource;

// A grid over a data source. The grid's current row is the dataset's cursor,
// both ways: moving in the grid moves the cursor (which posts a pending change
// first; when that fails the grid stays on the dataset's row and the error is
// reported), and a cursor moved elsewhere moves the grid. Typing into a cell
// edits the dataset; a column with a pick list offers its values in the cell.
// Escape outside a cell editor drops the row's pending change only where the
// grid can edit: a read-only grid leaves changes made elsewhere alone.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    DBGrid(const QString &objectName, QWidget *parent);
    ~DBGrid() override;

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }

    void setColumns(const QList<GridColumn> &columns);
    QList<GridColumn> columns() const;
    // Replaces the values offered in a column's cells (field name without regard to case).
    void setPickList(const QString &field, const QStringList &entries);

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // Opens the cell editor as soon as a cell becomes current.
    void setAlwaysShowEditor(bool on);
    bool alwaysShowEditor() const { return m_alwaysShowEditor; }

    // Keyboard search: typed characters jump to the first row whose text in
    // this column starts with what was typed; a pause starts a new search.
    // Empty switches it off.
    void setSearchColumn(const QString &field);
    const QString &searchColumn() const { return m_searchField; }
    // Among the rows that hold the found row's value in the search column and
    // in each of `sameColumns`, the search lands on the first whose `field`
    // is null instead (the current version of a parcel rather than an older
    // one). Empty switches it off.
    void setSearchPreferNull(const QString &field, const QStringList &sameColumns = {});
    void setSearchPause(int milliseconds);
    const QString &searchText() const { return m_searchText; }

    // The width a column needs to show text whole, in its cells and in its
    // title.
    int columnWidthFor(const QString &text) const;
    // The width the columns have in a grid this wide, with the vertical
    // scroll bar that a long list brings.
    int columnRoomFor(int gridWidth) const;

    // True while a cell editor is open.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    int currentColumn() const;
    QString currentField() const;

    DatasetModel *datasetModel() const { return m_model; }
    // Puts another model (say, a derived one) in place of the grid's own;
    // the grid takes it over.
    void setDatasetModel(DatasetModel *model);

signals:
    void currentColumnChanged(int column);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void onDatasetChanged();
    void followCursor();
    void fetchShownRows();
    void applyColumnWidths();
    bool search(const QString &typed);
    int findRow(const zarn::Dataset &ds, int column) const;

    QPointer<DataSource> m_source;
    DatasetModel *m_model = nullptr;
    QList<QMetaObject::Connection> m_sourceLinks;
    bool m_syncing = false;
    bool m_alwaysShowEditor = false;
    int m_lastColumn = -1;
    QString m_searchField;
    QString m_preferNullField;
    QStringList m_preferSame;
    QString m_searchText;
    QTimer m_searchPause;
};

} // namespace zarn::ui
