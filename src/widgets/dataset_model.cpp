#include "widgets/dataset_model.h"

#include "data/dataset.h"
#include "widgets/guard.h"

#include <QWidget>

#include <algorithm>

namespace zarn::ui {

using zarn::Dataset;

namespace {

// Counts the model's passing on of a dataset notification.
class Following {
public:
    explicit Following(int &depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~Following() { --m_depth; }
    Following(const Following &) = delete;
    Following &operator=(const Following &) = delete;

private:
    int &m_depth;
};

} // namespace

DatasetModel::DatasetModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

DatasetModel::~DatasetModel()
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
}

void DatasetModel::setDataset(Dataset *dataset)
{
    if (dataset == m_dataset && dataset) return;
    Following f(m_following);
    beginResetModel();
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_dataset = dataset;
    if (dataset) {
        m_links << connect(dataset, &Dataset::aboutToReset, this, &DatasetModel::onAboutToReset)
                << connect(dataset, &Dataset::reset, this, &DatasetModel::onReset)
                << connect(dataset, &Dataset::rowAboutToBeInserted, this,
                           &DatasetModel::onRowAboutToBeInserted)
                << connect(dataset, &Dataset::rowInserted, this, &DatasetModel::onRowInserted)
                << connect(dataset, &Dataset::rowAboutToBeRemoved, this,
                           &DatasetModel::onRowAboutToBeRemoved)
                << connect(dataset, &Dataset::rowRemoved, this, &DatasetModel::onRowRemoved)
                << connect(dataset, &Dataset::rowsAboutToArrive, this,
                           &DatasetModel::onRowsAboutToArrive)
                << connect(dataset, &Dataset::rowsArrived, this, &DatasetModel::onRowsArrived)
                << connect(dataset, &Dataset::rowChanged, this, &DatasetModel::onRowChanged)
                << connect(dataset, &Dataset::fieldChanged, this, &DatasetModel::onFieldChanged)
                << connect(dataset, &Dataset::cursorMoved, this, &DatasetModel::onCursorMoved)
                << connect(dataset, &Dataset::stateChanged, this, &DatasetModel::onStateChanged)
                << connect(dataset, &QObject::destroyed, this, [this] { setDataset(nullptr); });
    }
    rebuild();
    endResetModel();
}

void DatasetModel::rebuild()
{
    const Dataset *ds = m_dataset;
    const bool open = ds && ds->isOpen();
    m_shown.clear();
    if (m_columns.isEmpty()) {
        if (open)
            for (int c = 0; c < ds->fieldCount(); ++c) {
                Shown s;
                s.column.field = ds->fieldDef(c).name;
                s.column.title = s.column.field;
                s.datasetColumn = c;
                m_shown << s;
            }
    } else {
        for (const GridColumn &gc : std::as_const(m_columns))
            m_shown << Shown{gc, -1};
        lookUpColumns();
    }
    m_rowCount = open ? ds->recordCount() : 0;
    m_cursor = open ? ds->recNo() : -1;
}

void DatasetModel::lookUpColumns()
{
    const Dataset *ds = m_dataset;
    for (Shown &s : m_shown)
        s.datasetColumn = ds && ds->isOpen() ? ds->fieldIndex(s.column.field) : -1;
}

void DatasetModel::setColumns(const QList<GridColumn> &columns)
{
    Following f(m_following);
    beginResetModel();
    m_columns = columns;
    rebuild();
    endResetModel();
}

QList<GridColumn> DatasetModel::columns() const
{
    QList<GridColumn> list;
    list.reserve(m_shown.size());
    for (const Shown &s : m_shown)
        list << s.column;
    return list;
}

int DatasetModel::columnOf(const QString &field) const
{
    for (int i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].column.field.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString DatasetModel::fieldOf(int column) const
{
    return column >= 0 && column < m_shown.size() ? m_shown[column].column.field : QString();
}

void DatasetModel::setPickList(int column, const QStringList &entries)
{
    if (column < 0 || column >= m_shown.size()) return;
    m_shown[column].column.pickList = entries;
    // Kept in the column list too, so that a reset does not bring back the old list.
    if (column < m_columns.size()) m_columns[column].pickList = entries;
}

QStringList DatasetModel::pickList(int column) const
{
    return column >= 0 && column < m_shown.size() ? m_shown[column].column.pickList : QStringList();
}

void DatasetModel::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

int DatasetModel::datasetColumn(int column) const
{
    return column >= 0 && column < m_shown.size() ? m_shown[column].datasetColumn : -1;
}

// ---------------------------------------------------------------- dataset notifications

void DatasetModel::onAboutToReset()
{
    Following f(m_following);
    if (m_pending != Pending::None) return;
    m_pending = Pending::Reset;
    beginResetModel();
}

void DatasetModel::onReset()
{
    Following f(m_following);
    // A reset the dataset did not announce, or one that came while a row
    // change was announced, is told whole.
    if (m_pending != Pending::Reset) beginResetModel();
    m_pending = Pending::None;
    m_fetchFailed = false;
    m_wantFirst = m_wantLast = -1;
    rebuild();
    endResetModel();
}

void DatasetModel::onRowAboutToBeInserted(int row)
{
    Following f(m_following);
    if (m_pending != Pending::None || row < 0 || row > m_rowCount) return;
    m_pending = Pending::Insert;
    beginInsertRows(QModelIndex(), row, row);
}

void DatasetModel::onRowsAboutToArrive(int first, int last)
{
    Following f(m_following);
    if (m_pending != Pending::None || first != m_rowCount || last < first) return;
    m_pending = Pending::Arrive;
    beginInsertRows(QModelIndex(), first, last);
}

void DatasetModel::onRowsArrived(int first, int last)
{
    Following f(m_following);
    if (m_pending != Pending::Arrive) {
        onReset();
        return;
    }
    m_pending = Pending::None;
    m_rowCount += last - first + 1;
    endInsertRows();
}

void DatasetModel::onRowInserted(int)
{
    Following f(m_following);
    if (m_pending != Pending::Insert) {
        onReset();
        return;
    }
    m_pending = Pending::None;
    ++m_rowCount;
    m_cursor = m_dataset ? m_dataset->recNo() : -1;
    endInsertRows();
}

void DatasetModel::onRowAboutToBeRemoved(int row)
{
    Following f(m_following);
    if (m_pending != Pending::None || row < 0 || row >= m_rowCount) return;
    m_pending = Pending::Remove;
    beginRemoveRows(QModelIndex(), row, row);
}

void DatasetModel::onRowRemoved(int)
{
    Following f(m_following);
    if (m_pending != Pending::Remove) {
        onReset();
        return;
    }
    m_pending = Pending::None;
    --m_rowCount;
    m_cursor = m_dataset ? m_dataset->recNo() : -1;
    endRemoveRows();
}

void DatasetModel::onRowChanged(int row)
{
    Following f(m_following);
    if (row < 0 || row >= m_rowCount || m_shown.isEmpty()) return;
    emit dataChanged(index(row, 0), index(row, int(m_shown.size()) - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void DatasetModel::onFieldChanged(int row, int column)
{
    Following f(m_following);
    if (row < 0 || row >= m_rowCount) return;
    for (int c = 0; c < m_shown.size(); ++c)
        if (m_shown[c].datasetColumn == column) emit dataChanged(index(row, c), index(row, c));
}

void DatasetModel::onCursorMoved(int row)
{
    Following f(m_following);
    m_fetchFailed = false;
    const int old = m_cursor;
    m_cursor = row;
    if (old >= 0 && old < m_rowCount) emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < m_rowCount && row != old) emit headerDataChanged(Qt::Vertical, row, row);
}

void DatasetModel::onStateChanged()
{
    Following f(m_following);
    if (m_cursor >= 0 && m_cursor < m_rowCount)
        emit headerDataChanged(Qt::Vertical, m_cursor, m_cursor);
}

// ---------------------------------------------------------------- model

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_shown.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    const int column = m_shown[index.column()].datasetColumn;
    if (!m_dataset || column < 0) return {};
    bool held = false;
    const QVariant v = m_dataset->heldValueAt(index.row(), column, &held);
    if (!held) wantRow(index.row());
    return Dataset::textOf(v);
}

void DatasetModel::wantRow(int row) const
{
    if (m_fetchFailed) return;
    m_wantFirst = m_wantFirst < 0 ? row : std::min(m_wantFirst, row);
    m_wantLast = std::max(m_wantLast, row);
    if (m_fetchQueued) return;
    m_fetchQueued = true;
    QMetaObject::invokeMethod(const_cast<DatasetModel *>(this), &DatasetModel::fetchWanted,
                              Qt::QueuedConnection);
}

void DatasetModel::fetchWanted()
{
    m_fetchQueued = false;
    const int first = m_wantFirst;
    const int last = std::min(m_wantLast, m_rowCount - 1);
    m_wantFirst = m_wantLast = -1;
    // A failure is told over the view the model belongs to, while it is open.
    if (first >= 0 && first <= last) fetchRows(first, last, qobject_cast<QWidget *>(parent()));
}

bool DatasetModel::fetchRows(int first, int last, QWidget *context)
{
    Dataset *ds = m_dataset;
    if (!ds || !ds->isOpen() || m_pending != Pending::None || m_rowCount == 0 ||
        m_rowCount != ds->recordCount())
        return true;
    first = std::clamp(first, 0, m_rowCount - 1);
    last = std::clamp(last, first, m_rowCount - 1);
    try {
        const bool read = ds->fetchRows(first, last);
        m_fetchFailed = false;
        if (!read || m_shown.isEmpty()) return true;
    } catch (const std::exception &e) {
        m_fetchFailed = true;
        reportAfterEvent(context, QStringLiteral("无法读取表格中的记录，这些行暂时显示为空白。"
                                                 "请检查与数据库的连接，然后再滚动表格。\n%1")
                                      .arg(errorText(e)));
        return false;
    }
    emit dataChanged(index(first, 0), index(last, int(m_shown.size()) - 1));
    return true;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_shown.size()) return {};
        if (role == Qt::DisplayRole) {
            const GridColumn &c = m_shown[section].column;
            return c.title.isEmpty() ? c.field : c.title;
        }
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        return {};
    }
    // The row marker: the current row, and whether it is being edited or is new.
    if (role == Qt::DisplayRole) {
        if (section != m_cursor || !m_dataset) return QString();
        switch (m_dataset->state()) {
        case Dataset::State::Insert:
            return QStringLiteral("*");
        case Dataset::State::Edit:
            return QStringLiteral("I");
        default:
            return QStringLiteral("▶");
        }
    }
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.column() >= m_shown.size()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Shown &s = m_shown[index.column()];
    if (!m_readOnly && !s.column.readOnly && s.datasetColumn >= 0 && m_dataset &&
        m_dataset->isOpen())
        f |= Qt::ItemIsEditable;
    return f;
}

void DatasetModel::writeCell(const QModelIndex &index, const QString &text)
{
    if (!index.isValid() || index.row() >= m_rowCount || !(flags(index) & Qt::ItemIsEditable))
        return;
    Dataset *ds = m_dataset;
    const int column = m_shown[index.column()].datasetColumn;
    if (Dataset::textOf(ds->valueAt(index.row(), column)) == text) return;
    if (ds->recNo() != index.row()) ds->moveTo(index.row(), true);
    ds->edit();
    ds->setValue(column, text);
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    bool ok = false;
    // Views call this from their editors' events.
    guardInEvent(nullptr, [&] {
        writeCell(index, value.toString());
        ok = true;
    });
    return ok;
}

} // namespace zarn::ui
