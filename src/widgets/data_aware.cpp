#include "widgets/data_aware.h"

#include "data/dataset.h"
#include "data/errors.h"
#include "widgets/data_source.h"
#include "widgets/guard.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <limits>
#include <utility>

namespace zarn::ui {

using zarn::Dataset;

struct DataAwareControl::Private {
    DataAwareControl *q;
    QWidget *self;
    ControlFamily family;
    QPointer<DataSource> source;
    QString field;
    bool readOnly = false;
    QString imeName;
    QList<QMetaObject::Connection> links;

    int showing = 0;      // inside showValue()
    bool writing = false; // the dataset is reporting our own write back to us

    // One stretch of typing in this control.
    bool typing = false;
    QVariant before;            // the column when the typing began
    bool startedEdit = false;   // the typing put the dataset into edit or insert
    bool otherChanges = false;  // something else changed the row meanwhile
    std::exception_ptr refused; // the text on screen that the column refused

    Dataset *dataset() const { return source ? source->dataset() : nullptr; }
    int column() const
    {
        const Dataset *ds = dataset();
        return ds && !field.isEmpty() ? ds->fieldIndex(field) : -1;
    }
    bool bound() const
    {
        const Dataset *ds = dataset();
        return ds && ds->isOpen() && column() >= 0;
    }

    void show()
    {
        QString text;
        const Dataset *ds = dataset();
        const int col = column();
        if (ds && ds->isOpen() && col >= 0 && ds->recNo() >= 0)
            text = Dataset::textOf(ds->value(col));
        ++showing;
        q->showValue(text);
        --showing;
        q->applyReadOnly(readOnly || !bound());
    }

    // Ends the typing; a refused text is reported once the focus change or
    // the dataset's notification that ended it is over.
    void endTyping()
    {
        if (!typing) return;
        typing = false;
        otherChanges = false;
        before = QVariant();
        std::exception_ptr error = std::exchange(refused, nullptr);
        if (error) reportAfterEvent(self, error);
    }

    void rowReplaced()
    {
        if (writing) return;
        endTyping();
        show();
    }

    void connectSource()
    {
        for (const auto &c : std::as_const(links))
            QObject::disconnect(c);
        links.clear();
        if (!source) return;
        DataSource *s = source;
        // Row removals and insertions are always followed by a cursor move;
        // in between the dataset's cursor may point past its rows, so the
        // controls wait for the move.
        links << QObject::connect(s, &DataSource::datasetChanged, self, [this] {
            rowReplaced();
        }) << QObject::connect(s, &DataSource::reset, self, [this] {
            rowReplaced();
        }) << QObject::connect(s, &DataSource::cursorMoved, self, [this] {
            rowReplaced();
        }) << QObject::connect(s, &DataSource::rowChanged, self, [this](int row) {
            const Dataset *ds = dataset();
            if (ds && row == ds->recNo()) rowReplaced();
        }) << QObject::connect(s, &DataSource::fieldChanged, self, [this](int row, int col) {
            const Dataset *ds = dataset();
            if (writing || !ds || row != ds->recNo()) return;
            if (typing) otherChanges = true;
            if (col == column()) show();
        }) << QObject::connect(s, &DataSource::stateChanged, self, [this](Dataset::State state) {
            if (writing) return;
            // A post or cancel ends what was typed.
            if (state == Dataset::State::Browse || state == Dataset::State::Inactive) {
                const bool wasTyping = typing;
                endTyping();
                if (wasTyping || state == Dataset::State::Inactive) show();
            }
        }) << QObject::connect(s, &QObject::destroyed, self, [this] {
            links.clear();
            endTyping();
            show();
        });
    }
};

DataAwareControl::DataAwareControl(QWidget *self, ControlFamily family)
    : d(std::make_unique<Private>())
{
    d->q = this;
    d->self = self;
    d->family = family;
}

DataAwareControl::~DataAwareControl()
{
    for (const auto &c : std::as_const(d->links))
        QObject::disconnect(c);
}

void DataAwareControl::bind(DataSource *source, const QString &field)
{
    d->endTyping();
    d->source = field.isEmpty() ? nullptr : source;
    d->field = d->source ? field : QString();
    d->connectSource();
    d->show();
}

const QString &DataAwareControl::dataField() const
{
    return d->field;
}
DataSource *DataAwareControl::dataSource() const
{
    return d->source;
}
zarn::Dataset *DataAwareControl::dataset() const
{
    return d->dataset();
}

ControlFamily DataAwareControl::family() const
{
    return d->family;
}
void DataAwareControl::setFamily(ControlFamily family)
{
    d->family = family;
}

void DataAwareControl::setReadOnly(bool readOnly)
{
    d->readOnly = readOnly;
    applyReadOnly(readOnly || !d->bound());
}

bool DataAwareControl::isReadOnly() const
{
    return d->readOnly;
}

const QString &DataAwareControl::imeName() const
{
    return d->imeName;
}
void DataAwareControl::setImeName(const QString &name)
{
    d->imeName = name;
}

QWidget *DataAwareControl::widget() const
{
    return d->self;
}

void DataAwareControl::refresh()
{
    d->typing = false;
    d->refused = nullptr;
    d->show();
}

bool DataAwareControl::isTyping() const
{
    return d->typing;
}
bool DataAwareControl::isShowingValue() const
{
    return d->showing > 0;
}
bool DataAwareControl::acceptsTyping() const
{
    return !d->readOnly && d->bound();
}

void DataAwareControl::textTyped(const QString &text)
{
    if (d->showing) return;
    Dataset *ds = d->dataset();
    const int col = d->column();
    if (d->readOnly || !ds || !ds->isOpen() || col < 0) {
        // The widget refuses typing in this state; should text arrive anyway
        // (a paste through some other path), the column stays as it is.
        QTimer::singleShot(0, d->self, [this] { d->show(); });
        return;
    }
    if (!d->typing) {
        d->typing = true;
        d->before = ds->recNo() >= 0 ? ds->value(col) : QVariant();
        d->startedEdit = !ds->isEditing();
        d->otherChanges = false;
    }
    d->writing = true;
    try {
        ds->edit();
        ds->setValue(col, text);
        d->refused = nullptr;
        d->writing = false;
    } catch (const zarn::ConversionError &) {
        // Keep the text for the user to correct; the column keeps its last
        // good value and the refusal is reported when the typing ends.
        d->writing = false;
        d->refused = std::current_exception();
    } catch (const std::exception &) {
        d->writing = false;
        d->typing = false;
        d->refused = nullptr;
        std::exception_ptr error = std::current_exception();
        // Not from inside the widget's own change notification.
        QTimer::singleShot(0, d->self, [this] { d->show(); });
        reportAfterEvent(d->self, error);
    }
}

bool DataAwareControl::escapePressed()
{
    if (!d->typing) return false;
    Dataset *ds = d->dataset();
    const int col = d->column();
    const QVariant before = d->before;
    const bool cancel = d->startedEdit && !d->otherChanges;
    d->typing = false;
    d->refused = nullptr;
    d->otherChanges = false;
    guardInEvent(d->self, [&] {
        if (!ds || !ds->isEditing() || col < 0) return;
        if (cancel)
            ds->cancel(); // the row is as it was before the first keystroke
        else
            ds->setValue(col, before);
    });
    d->show();
    return true;
}

void DataAwareControl::focusLeft(Qt::FocusReason reason)
{
    // Another window or a drop-down taking the focus for a while does not
    // end the typing.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    if (!d->typing) return;
    const bool refused = bool(d->refused);
    if (refused) {
        // The column never took the text: show what it holds, then say why.
        std::exception_ptr error = std::exchange(d->refused, nullptr);
        d->typing = false;
        d->show();
        reportAfterEvent(d->self, error);
        return;
    }
    d->endTyping();
    // The column's own rendering of what was typed (" 5" in a number column shows 5).
    d->show();
}

void holdWholeValues(QLineEdit *line)
{
    if (line) line->setMaxLength(std::numeric_limits<int>::max());
}

QList<DataAwareControl *> dataAwareControls(QWidget *root)
{
    QList<DataAwareControl *> found;
    if (!root) return found;
    if (auto *c = dynamic_cast<DataAwareControl *>(root)) found << c;
    const auto children = root->findChildren<QWidget *>();
    for (QWidget *w : children)
        if (auto *c = dynamic_cast<DataAwareControl *>(w)) found << c;
    return found;
}

} // namespace zarn::ui
