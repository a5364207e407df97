#include "widgets/db_grid.h"

#include "data/dataset.h"
#include "data/errors.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/guard.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace zarn::ui {

using zarn::Dataset;

namespace {

constexpr auto kEditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked;

// Cell editors write as the user types, like the bound controls, so that a
// cursor moved by a button or another window finds the row complete and
// posts it. Escape gives the cell back what it held when the editor opened.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(DBGrid *grid, bool *syncing)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
        , m_syncing(syncing)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        DatasetModel *model = m_grid->datasetModel();
        const QStringList pick = model->pickList(index.column());
        QWidget *editor;
        QLineEdit *line;
        if (!pick.isEmpty()) {
            auto *combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            combo->setFrame(false);
            combo->addItems(pick);
            connect(combo, &QComboBox::activated, combo,
                    [this, combo] { typed(combo, combo->currentText()); });
            editor = combo;
            line = combo->lineEdit();
        } else {
            line = new QLineEdit(parent);
            line->setFrame(false);
            editor = line;
        }
        holdWholeValues(line);
        connect(line, &QLineEdit::textEdited, editor,
                [this, editor](const QString &text) { typed(editor, text); });
        // A grid with a menu of its own shows it on the open cell too, not
        // the cell editor's text menu: the click passes on to the grid.
        if (m_grid->contextMenuPolicy() != Qt::DefaultContextMenu) {
            editor->setContextMenuPolicy(Qt::NoContextMenu);
            line->setContextMenuPolicy(Qt::NoContextMenu);
        }
        editor->setProperty("zarnRow", index.row());
        editor->setProperty("zarnColumn", index.column());
        editor->setProperty("zarnBefore", index.data(Qt::EditRole));
        const Dataset *ds = model->dataset();
        editor->setProperty("zarnStartedEdit", ds && !ds->isEditing());
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        // The cell changing because of the editor's own typing must not move
        // its text cursor or rewrite "1." as "1".
        if (m_typing) return;
        const QString text = index.data(Qt::EditRole).toString();
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            // The matching entry becomes current, so the arrow keys go on from it.
            const int entry = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (combo->currentIndex() != entry) combo->setCurrentIndex(entry);
            if (combo->currentText() != text) combo->setEditText(text);
        } else if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            if (line->text() != text) line->setText(text);
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *,
                      const QModelIndex &index) const override
    {
        if (*m_syncing) return; // the dataset moved on by itself; the editor already wrote its text
        const QString text = textOf(editor);
        guardInEvent(m_grid, [&] { m_grid->datasetModel()->writeCell(index, text); });
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &) const override
    {
        editor->setGeometry(option.rect);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            if (auto *editor = qobject_cast<QWidget *>(object)) revert(editor);
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    static QString textOf(QWidget *editor)
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) return combo->currentText();
        if (auto *line = qobject_cast<QLineEdit *>(editor)) return line->text();
        return {};
    }

    QModelIndex indexOf(QWidget *editor) const
    {
        return m_grid->datasetModel()->index(editor->property("zarnRow").toInt(),
                                             editor->property("zarnColumn").toInt());
    }

    void typed(QWidget *editor, const QString &text) const
    {
        if (*m_syncing) return;
        editor->setProperty("zarnTyped", true);
        m_typing = true;
        try {
            m_grid->datasetModel()->writeCell(indexOf(editor), text);
        } catch (const zarn::ConversionError &) {
            // Reported when the editor closes and the cell is written once more.
        } catch (const std::exception &) {
            m_typing = false;
            reportAfterEvent(m_grid, std::current_exception());
        }
        m_typing = false;
    }

    void revert(QWidget *editor) const
    {
        if (!editor->property("zarnTyped").toBool()) return;
        editor->setProperty("zarnTyped", false);
        Dataset *ds = m_grid->datasetModel()->dataset();
        guardInEvent(m_grid, [&] {
            if (!ds || !ds->isEditing()) return;
            if (editor->property("zarnStartedEdit").toBool())
                ds->cancel();
            else
                m_grid->datasetModel()->writeCell(indexOf(editor),
                                                  editor->property("zarnBefore").toString());
        });
    }

    DBGrid *m_grid;
    bool *m_syncing;
    mutable bool m_typing = false;
};

} // namespace

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent)
{
    m_model = new DatasetModel(this);
    setModel(m_model);
    setItemDelegate(new GridDelegate(this, &m_syncing));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(kEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    // Fixed row heights: nothing is measured per row, whatever the row count.
    QHeaderView *rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));
    rows->setFixedWidth(14);
    rows->setHighlightSections(false);
    m_searchPause.setSingleShot(true);
    m_searchPause.setInterval(1000);
    connect(&m_searchPause, &QTimer::timeout, this, [this] { m_searchText.clear(); });
    // The rows scrolled to are read before they are painted, not after.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DBGrid::fetchShownRows);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        followCursor();
    });
}

DBGrid::DBGrid(const QString &objectName, QWidget *parent)
    : DBGrid(parent)
{
    setObjectName(objectName);
}

DBGrid::~DBGrid()
{
    for (const auto &c : std::as_const(m_sourceLinks))
        disconnect(c);
}

void DBGrid::setDataSource(DataSource *source)
{
    for (const auto &c : std::as_const(m_sourceLinks))
        disconnect(c);
    m_sourceLinks.clear();
    m_source = source;
    if (source) {
        m_sourceLinks << connect(source, &DataSource::datasetChanged, this,
                                 &DBGrid::onDatasetChanged)
                      << connect(source, &DataSource::cursorMoved, this, &DBGrid::followCursor);
    }
    onDatasetChanged();
}

void DBGrid::onDatasetChanged()
{
    m_model->setDataset(m_source ? m_source->dataset() : nullptr);
}

void DBGrid::setColumns(const QList<GridColumn> &columns)
{
    m_model->setColumns(columns);
}

QList<GridColumn> DBGrid::columns() const
{
    return m_model->columns();
}

void DBGrid::setPickList(const QString &field, const QStringList &entries)
{
    m_model->setPickList(m_model->columnOf(field), entries);
}

void DBGrid::setReadOnly(bool readOnly)
{
    if (readOnly && state() == QAbstractItemView::EditingState) {
        // Cell editors live on the viewport; an open one keeps what was typed.
        const auto editors = viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *editor : editors)
            if (editor->isVisible()) {
                commitData(editor);
                closeEditor(editor, QAbstractItemDelegate::NoHint);
            }
    }
    m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers : kEditTriggers);
}

bool DBGrid::isReadOnly() const
{
    return m_model->isReadOnly();
}

void DBGrid::setAlwaysShowEditor(bool on)
{
    m_alwaysShowEditor = on;
}

void DBGrid::setSearchColumn(const QString &field)
{
    m_searchField = field;
    m_searchText.clear();
}

void DBGrid::setSearchPreferNull(const QString &field, const QStringList &sameColumns)
{
    m_preferNullField = field;
    m_preferSame = field.isEmpty() ? QStringList() : sameColumns;
}

void DBGrid::setSearchPause(int milliseconds)
{
    m_searchPause.setInterval(milliseconds);
}

int DBGrid::columnWidthFor(const QString &text) const
{
    const QStyle *s = style();
    // Text margins of a cell and of a title, each with its grid line.
    const int cell = 2 * (s->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int title = 2 * s->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 1;
    return fontMetrics().horizontalAdvance(text) + qMax(cell, title);
}

int DBGrid::columnRoomFor(int gridWidth) const
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    return gridWidth - 2 * frameWidth() - verticalHeader()->width() - bar;
}

int DBGrid::currentColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

QString DBGrid::currentField() const
{
    return m_model->fieldOf(currentColumn());
}

void DBGrid::setDatasetModel(DatasetModel *model)
{
    if (!model || model == m_model) return;
    const QList<GridColumn> columns = m_model->columns();
    const bool readOnly = m_model->isReadOnly();
    DatasetModel *old = m_model;
    model->setParent(this);
    m_model = model;
    setModel(model);
    delete old;
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        followCursor();
    });
    if (model->columns().isEmpty() && !columns.isEmpty()) model->setColumns(columns);
    model->setReadOnly(readOnly || model->isReadOnly());
    onDatasetChanged();
    applyColumnWidths();
    followCursor();
}

void DBGrid::fetchShownRows()
{
    const int first = rowAt(0);
    if (first < 0) return;
    int last = rowAt(viewport()->height() - 1);
    if (last < 0) last = m_model->rowCount() - 1;
    m_model->fetchRows(first, last, this);
}

void DBGrid::applyColumnWidths()
{
    const QList<GridColumn> cols = m_model->columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].width > 0) setColumnWidth(i, cols[i].width);
}

void DBGrid::followCursor()
{
    const Dataset *ds = m_model->dataset();
    const int row = ds && ds->isOpen() ? ds->recNo() : -1;
    const bool wasSyncing = std::exchange(m_syncing, true);
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) {
        if (currentIndex().isValid()) setCurrentIndex(QModelIndex());
    } else {
        const QModelIndex cur = currentIndex();
        int column = cur.isValid() ? cur.column() : (m_lastColumn >= 0 ? m_lastColumn : 0);
        column = qBound(0, column, m_model->columnCount() - 1);
        const QModelIndex want = m_model->index(row, column);
        if (cur != want)
            setCurrentIndex(want);
        else if (!selectionModel()->isSelected(want))
            selectionModel()->select(want, QItemSelectionModel::ClearAndSelect);
        scrollTo(want);
    }
    m_syncing = wasSyncing;
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid() && current.column() != m_lastColumn) {
        m_lastColumn = current.column();
        emit currentColumnChanged(m_lastColumn);
    }
    if (m_syncing || m_model->isFollowingDataset() || !current.isValid()) return;
    Dataset *ds = m_model->dataset();
    if (!ds || !ds->isOpen()) return;
    if (current.row() != ds->recNo()) {
        const int wanted = current.row();
        guardInEvent(this, [&] { ds->moveTo(wanted, true); });
        if (ds->recNo() != wanted) {
            // The row left could not be posted: the grid stays with the dataset.
            followCursor();
            // A mouse press goes on to select the cell it hit; select ours again after it.
            QTimer::singleShot(0, this, &DBGrid::followCursor);
            return;
        }
    }
    if (m_alwaysShowEditor && (m_model->flags(currentIndex()) & Qt::ItemIsEditable) &&
        state() != QAbstractItemView::EditingState)
        edit(currentIndex());
}

bool DBGrid::search(const QString &typed)
{
    const Dataset *ds = m_model->dataset();
    if (!ds || !ds->isOpen()) return false;
    const int column = ds->fieldIndex(m_searchField);
    if (column < 0) return false;
    m_searchText += typed;
    m_searchPause.start();
    const int row = findRow(*ds, column);
    if (row < 0) return false;
    const int col = qMax(0, currentColumn());
    if (row < m_model->rowCount() && col < m_model->columnCount())
        setCurrentIndex(m_model->index(row, col));
    return true;
}

int DBGrid::findRow(const Dataset &ds, int column) const
{
    // One pass over the rows per keystroke, whatever their number: the first
    // match fixes the value searched for, the rest of the pass looks for its
    // preferred row.
    const int preferred = m_preferNullField.isEmpty() ? -1 : ds.fieldIndex(m_preferNullField);
    QList<int> sameColumns;
    for (const QString &name : m_preferSame)
        if (const int c = ds.fieldIndex(name); c >= 0) sameColumns << c;
    int first = -1;
    QString found;
    QStringList foundSame;
    const int n = ds.recordCount();
    for (int row = 0; row < n; ++row) {
        const QString text = Dataset::textOf(ds.valueAt(row, column));
        if (first < 0) {
            if (!text.startsWith(m_searchText, Qt::CaseInsensitive)) continue;
            first = row;
            if (preferred < 0) return row;
            found = text;
            for (int c : std::as_const(sameColumns))
                foundSame << Dataset::textOf(ds.valueAt(row, c));
        } else if (text != found) {
            continue;
        } else {
            bool same = true;
            for (qsizetype i = 0; same && i < sameColumns.size(); ++i)
                same = Dataset::textOf(ds.valueAt(row, sameColumns[i])) == foundSame[i];
            if (!same) continue;
        }
        if (Dataset::isNullValue(ds.valueAt(row, preferred))) return row;
    }
    return first;
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    const bool editing = state() == QAbstractItemView::EditingState;
    if (event->key() == Qt::Key_Escape && !editing) {
        // Escape in a grid that edits drops the row's pending change. A
        // read-only grid made no change to drop: what is pending was typed
        // elsewhere (the sheet behind a locate grid) and stays. Neither
        // closes the window.
        if (Dataset *ds = m_model->dataset(); ds && ds->isEditing() && !isReadOnly())
            guardInEvent(this, [&] { ds->cancel(); });
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers mods =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const QString text = event->text();
    if (!m_searchField.isEmpty() && !editing && mods == Qt::NoModifier && !text.isEmpty() &&
        text.at(0).isPrint()) {
        search(text);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::focusInEvent(QFocusEvent *event)
{
    // Before the view picks a current cell of its own (the first), which would move the cursor.
    followCursor();
    QTableView::focusInEvent(event);
}

} // namespace zarn::ui
