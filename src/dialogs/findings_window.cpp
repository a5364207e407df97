#include "dialogs/findings_window.h"

#include "data/errors.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zarn::ui {

namespace {

enum Column { SeverityColumn, ParcelColumn, SurveyColumn, ProblemColumn, ColumnCount };

QString problemText(const quality::Finding &f)
{
    const QString sentence = QString::fromUtf8(f.info().sentence);
    return f.detail.isEmpty() ? sentence : sentence + QStringLiteral("：") + f.detail;
}

} // namespace

FindingsWindow::FindingsWindow(Connection &connection, const QString &unit, int kind,
                               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_connection(connection)
    , m_unit(unit)
    , m_kind(kind)
{
    setWindowTitle(QStringLiteral("检查本单位 - %1").arg(unit));
    setFont(songFont(9));
    m_grid = new QTableWidget(0, ColumnCount, this);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("严重程度"), QStringLiteral("地籍号"),
                                       QStringLiteral("调查表号"), QStringLiteral("问题")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setWordWrap(false);
    m_grid->setToolTip(QStringLiteral("双击一行，调查表转到该宗地"));
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { chose(row); });

    m_status = new QLabel(this);
    m_refresh = new QPushButton(QStringLiteral("重新检查"), this);
    connect(m_refresh, &QPushButton::clicked, this, &FindingsWindow::refresh);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_refresh);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(760, 420);
    refresh();
}

void FindingsWindow::refresh()
{
    m_status->setText(QStringLiteral("正在检查…"));
    m_refresh->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    QList<quality::Finding> found;
    bool done = false;
    try {
        found = quality::run(m_connection, {.dwdm = m_unit, .zdbh = {}, .kind = m_kind});
        done = true;
    } catch (const Error &e) {
        failure = e.message();
    }
    QApplication::restoreOverrideCursor();
    m_refresh->setEnabled(true);
    if (!done) {
        m_status->setText(
            QStringLiteral("检查没有完成：%1 下表是上一次检查的结果。请稍后按“重新检查”。")
                .arg(failure));
        return;
    }
    display(found);
}

void FindingsWindow::display(const QList<quality::Finding> &findings)
{
    m_findings = findings;
    m_grid->setRowCount(0);
    m_grid->setRowCount(int(findings.size()));
    int errors = 0;
    for (int r = 0; r < findings.size(); ++r) {
        const quality::Finding &f = findings[r];
        const bool error = f.info().severity == quality::Severity::Error;
        errors += error ? 1 : 0;
        const QStringList cells{quality::severityText(f.info().severity), f.zdbh, f.dcbh,
                                problemText(f)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == SeverityColumn && error) item->setForeground(QColor(192, 0, 0));
            if (c == ProblemColumn) item->setToolTip(cells[c]);
            m_grid->setItem(r, c, item);
        }
    }
    m_grid->resizeColumnsToContents();
    m_status->setText(
        findings.isEmpty()
            ? QStringLiteral("未发现问题。")
            : QStringLiteral("共 %1 个问题：错误 %2 个，警告 %3 个。双击一行转到该宗地。")
                  .arg(findings.size())
                  .arg(errors)
                  .arg(findings.size() - errors));
}

void FindingsWindow::chose(int row)
{
    if (row < 0 || row >= m_findings.size()) return;
    const quality::Finding &f = m_findings[row];
    emit parcelChosen(f.dwdm, f.zdbh, f.dcbh);
}

} // namespace zarn::ui
