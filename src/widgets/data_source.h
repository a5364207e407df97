#pragma once

#include "data/dataset.h"

#include <QObject>
#include <QPointer>

namespace zarn::ui {

// The link between one Dataset and the controls that show it. Controls bind
// to the source, not to the dataset, so a form can swap the dataset under
// all its controls at once. The dataset's notifications are passed on.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    explicit DataSource(zarn::Dataset *dataset, QObject *parent = nullptr);
    ~DataSource() override;

    // Not owned; a dataset that is destroyed leaves the source empty.
    void setDataset(zarn::Dataset *dataset);
    zarn::Dataset *dataset() const { return m_dataset; }

signals:
    void datasetChanged();

    // The dataset's own notifications, passed on.
    void aboutToReset();
    void reset();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void fieldChanged(int row, int column);
    void cursorMoved(int row);
    void stateChanged(zarn::Dataset::State state);

private:
    QPointer<zarn::Dataset> m_dataset;
    QList<QMetaObject::Connection> m_links;
};

} // namespace zarn::ui
