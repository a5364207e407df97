#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QStringList>

namespace zarn {
class Dataset;
}

namespace zarn::ui {

// One column of a grid: the bound column, its title, its width in pixels,
// the values offered in its cells (none: free text) and whether it refuses edits.
struct GridColumn {
    QString field;
    QString title;
    int width = 64;
    QStringList pickList;
    bool readOnly = false;
};

// A table model over a Dataset. It reads a cell only when a view asks for it,
// so a dataset of any size costs the model nothing per row. Without columns
// of its own it shows every column of the dataset under its name.
//
// data() reads memory only: it never runs a statement, so painting neither
// waits on the database nor opens a lost connection. Rows not in memory are
// read by fetchRows, which a view calls for the rows it is about to show; a
// cell painted before that asks for its row to be read once the event being
// handled has returned. A read that fails is reported after the event, and
// not tried again until the rows, the cursor or the view's rows change.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(QObject *parent = nullptr);
    ~DatasetModel() override;

    void setDataset(zarn::Dataset *dataset);
    zarn::Dataset *dataset() const { return m_dataset; }

    void setColumns(const QList<GridColumn> &columns);
    QList<GridColumn> columns() const;
    // The column of a field (name without regard to case), -1 when not shown.
    int columnOf(const QString &field) const;
    QString fieldOf(int column) const;
    void setPickList(int column, const QStringList &entries);
    QStringList pickList(int column) const;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // The dataset column a grid column shows, -1 when the dataset lacks it.
    int datasetColumn(int column) const;

    // True while the model passes one of the dataset's notifications on to
    // its views; a view that follows the cursor must not move it meanwhile.
    bool isFollowingDataset() const { return m_following > 0; }

    // Reads rows first..last into memory and repaints them; a failure is
    // reported after the event (in context's window) and false returned.
    bool fetchRows(int first, int last, QWidget *context = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Writes a cell: moves the cursor to its row (posting a pending change
    // of the row left), puts the dataset into edit and sets the column. A text
    // equal to what the cell holds writes nothing, so opening and closing a
    // cell editor does not put the row into edit. Throws what the dataset throws.
    void writeCell(const QModelIndex &index, const QString &text);
    // writeCell for views and other callers that cannot take an exception:
    // an error is shown in the standard error report and false returned.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    struct Shown {
        GridColumn column;
        int datasetColumn = -1;
    };
    void rebuild();
    void lookUpColumns();
    void onAboutToReset();
    void onReset();
    void onRowAboutToBeInserted(int row);
    void onRowInserted(int row);
    void onRowsAboutToArrive(int first, int last);
    void onRowsArrived(int first, int last);
    void onRowAboutToBeRemoved(int row);
    void onRowRemoved(int row);
    void wantRow(int row) const;
    void fetchWanted();
    void onRowChanged(int row);
    void onFieldChanged(int row, int column);
    void onCursorMoved(int row);
    void onStateChanged();

    QPointer<zarn::Dataset> m_dataset;
    QList<QMetaObject::Connection> m_links;
    QList<GridColumn> m_columns; // as set; empty: all of the dataset's
    QList<Shown> m_shown;
    int m_rowCount = 0; // what the views were last told
    int m_cursor = -1;
    bool m_readOnly = false;
    int m_following = 0;
    // A change the dataset announced and the views were told of (begin*).
    enum class Pending { None, Reset, Insert, Arrive, Remove } m_pending = Pending::None;
    // Rows painted before they were in memory, read once the event returns.
    mutable int m_wantFirst = -1;
    mutable int m_wantLast = -1;
    mutable bool m_fetchQueued = false;
    bool m_fetchFailed = false;
};

} // namespace zarn::ui
