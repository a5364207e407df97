#include "widgets/data_source.h"

namespace zarn::ui {

DataSource::DataSource(QObject *parent)
    : QObject(parent)
{
}

DataSource::DataSource(zarn::Dataset *dataset, QObject *parent)
    : QObject(parent)
{
    setDataset(dataset);
}

DataSource::~DataSource() = default;

void DataSource::setDataset(zarn::Dataset *dataset)
{
    if (dataset == m_dataset) return;
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_dataset = dataset;
    if (dataset) {
        using D = zarn::Dataset;
        m_links << connect(dataset, &D::aboutToReset, this, &DataSource::aboutToReset)
                << connect(dataset, &D::reset, this, &DataSource::reset)
                << connect(dataset, &D::rowAboutToBeInserted, this,
                           &DataSource::rowAboutToBeInserted)
                << connect(dataset, &D::rowInserted, this, &DataSource::rowInserted)
                << connect(dataset, &D::rowAboutToBeRemoved, this, &DataSource::rowAboutToBeRemoved)
                << connect(dataset, &D::rowRemoved, this, &DataSource::rowRemoved)
                << connect(dataset, &D::rowChanged, this, &DataSource::rowChanged)
                << connect(dataset, &D::fieldChanged, this, &DataSource::fieldChanged)
                << connect(dataset, &D::cursorMoved, this, &DataSource::cursorMoved)
                << connect(dataset, &D::stateChanged, this, &DataSource::stateChanged)
                << connect(dataset, &QObject::destroyed, this, [this] {
                       m_links.clear();
                       m_dataset = nullptr;
                       emit datasetChanged();
                   });
    }
    emit datasetChanged();
}

} // namespace zarn::ui
