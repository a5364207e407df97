// The editor's window, built from its description: the banner, the notebook
// with the entry page and the list page, the speed buttons down the right edge.
#include "editors/attached_editor.h"

#include "session/session_context.h"
#include "widgets/banner.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/guard.h"
#include "widgets/speed_button.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace zarn::ui;

namespace zarn::editors {

namespace {

constexpr int kBannerHeight = 60;
constexpr int kButtonPanelWidth = 104;
constexpr int kButtonWidth = 92;
constexpr int kButtonHeight = 28;
constexpr int kRowHeight = 20;

QStringList splitItems(const char *items)
{
    if (!items || !*items) return {};
    return QString::fromUtf8(items).split(QLatin1Char('|'));
}

} // namespace

void AttachedEditor::buildWindow()
{
    setObjectName(QString::fromLatin1(m_desc.name));
    setWindowTitle(utf8(m_desc.caption));
    setFixedSize(m_desc.size);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QFrame *top = whitePanel(QStringLiteral("Panel2"), this);
    top->setFixedHeight(kBannerHeight);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    banner = new Banner(utf8(m_desc.title), top);
    banner->setObjectName(QStringLiteral("Image1"));
    topLayout->addWidget(banner);
    layout->addWidget(top);

    auto *body = new QHBoxLayout;
    body->setContentsMargins(4, 4, 0, 4);
    body->setSpacing(4);
    layout->addLayout(body, 1);

    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    entryPage = new QWidget;
    entryPage->setObjectName(QStringLiteral("TabSheet1"));
    browsePage = new QWidget;
    browsePage->setObjectName(QStringLiteral("TabSheet2"));
    pages->addTab(entryPage, QStringLiteral("录入"));
    pages->addTab(browsePage, QStringLiteral("浏览"));
    body->addWidget(pages, 1);

    rowSource = new DataSource(m_session ? &(m_session.data()->*(m_desc.dataset)) : nullptr, this);
    rowSource->setObjectName(QStringLiteral("DataSource1"));

    buildEntryPage();

    auto *listLayout = new QVBoxLayout(browsePage);
    listLayout->setContentsMargins(2, 2, 2, 2);
    grid = new DBGrid(QString::fromLatin1(m_desc.grid), browsePage);
    QList<GridColumn> columns;
    for (const GridField &g : m_desc.columns)
        columns.append(
            {QString::fromLatin1(g.column), utf8(g.title), g.width, splitItems(g.pickList), false});
    grid->setColumns(columns);
    grid->setAlwaysShowEditor(m_desc.gridEditorAlways);
    grid->setDataSource(rowSource);
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
    listLayout->addWidget(grid);

    QFrame *buttons = whitePanel(QStringLiteral("Panel1"), this);
    buttons->setFixedWidth(kButtonPanelWidth);
    buildButtons(buttons);
    body->addWidget(buttons);

    noAutoDefault(this);
}

void AttachedEditor::buildEntryPage()
{
    auto *pageLayout = new QVBoxLayout(entryPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(entryPage);
    panel->setObjectName(QString::fromLatin1(m_desc.container));
    container = panel;
    pageLayout->addWidget(panel);

    // Four columns: label and control of the left half, then of the right half.
    auto *form = new QGridLayout(panel);
    form->setContentsMargins(10, 12, 12, 8);
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(8);
    form->setColumnMinimumWidth(0, m_desc.labelWidth);
    form->setColumnMinimumWidth(2, m_desc.labelWidth);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    // The data-bound controls come borderless, made for the printed sheets;
    // white on the white page they would hide where to type, so they get a frame.
    QList<std::pair<int, QWidget *>> tabs;
    int lastRow = 0;
    for (const EntryField &e : m_desc.entries) {
        const QString name = QString::fromLatin1(e.control);
        QWidget *w = nullptr;
        switch (e.kind) {
        case EntryKind::Edit:
        case EntryKind::ReadOnlyEdit: {
            auto *c = new DBEdit(name, panel);
            c->setReadOnly(e.kind == EntryKind::ReadOnlyEdit);
            c->setFrame(true);
            c->bind(rowSource, QString::fromLatin1(e.column));
            w = c;
            break;
        }
        case EntryKind::List: {
            auto *c = new DBComboBox(name, panel);
            c->setEntries(splitItems(e.items));
            c->setFrame(true);
            c->bind(rowSource, QString::fromLatin1(e.column));
            w = c;
            break;
        }
        case EntryKind::Button: {
            auto *b = new QPushButton(utf8(e.label), panel);
            b->setObjectName(name);
            w = b;
            break;
        }
        }
        w->setFixedHeight(e.kind == EntryKind::Button ? kButtonHeight - 4 : kRowHeight);
        watchKeys(w, this);
        m_controls.insert(name, w);
        tabs.append({e.tab, w});
        lastRow = std::max(lastRow, e.row);

        const int left = e.half * 2;
        const int span = e.halves * 2 - 1;
        if (e.kind == EntryKind::Button) {
            form->addWidget(w, e.row, left + 1, 1, span, Qt::AlignRight);
            continue;
        }
        auto *label = new QLabel(utf8(e.label), panel);
        label->setObjectName(*e.labelName ? QString::fromLatin1(e.labelName)
                                          : name + QStringLiteral("Label"));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(w);
        m_labels.insert(name, label);
        form->addWidget(label, e.row, left);
        form->addWidget(w, e.row, left + 1, 1, span);
    }
    form->setRowStretch(lastRow + 1, 1);

    std::stable_sort(tabs.begin(), tabs.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &t : std::as_const(tabs))
        m_tabOrder << t.second;
    for (qsizetype i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
}

void AttachedEditor::buildButtons(QWidget *panel)
{
    struct ButtonRow {
        SpeedButton **member;
        const char *name;
        ButtonPicture picture;
        const char *caption;
        void (AttachedEditor::*handler)();
    };
    // clang-format off
    const ButtonRow rows[] = {
        {.member = &firstButton, .name = "spbFirst", .picture = ButtonPicture::First,
         .caption = "首记录(&F)", .handler = &AttachedEditor::first},
        {.member = &previousButton, .name = "spbPre", .picture = ButtonPicture::Prior, .caption = "上记录(&P)",
         .handler = &AttachedEditor::previous},
        {.member = &nextButton, .name = "spbNext", .picture = ButtonPicture::Next, .caption = "下记录(&N)",
         .handler = &AttachedEditor::next},
        {.member = &lastButton, .name = "spbLast", .picture = ButtonPicture::Last, .caption = "末记录(&L)",
         .handler = &AttachedEditor::last},
        {.member = &newButton, .name = "spbNew", .picture = ButtonPicture::New, .caption = "新增(&A)  ",
         .handler = &AttachedEditor::addNew},
        {.member = &deleteButton, .name = "spbDel", .picture = ButtonPicture::Delete, .caption = "删除(&D)  ",
         .handler = &AttachedEditor::remove},
        {.member = &saveButton, .name = "spbSave", .picture = ButtonPicture::Save, .caption = "保存(&S)  ",
         .handler = &AttachedEditor::save},
        {.member = &exitButton, .name = "spbExit", .picture = ButtonPicture::Exit, .caption = "退出(&X)  ",
         .handler = &AttachedEditor::exit},
    };
    // clang-format on
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 10, 6, 10);
    column->setSpacing(6);
    for (const ButtonRow &b : rows) {
        auto *button = new SpeedButton(b.picture, QString::fromUtf8(b.caption), panel);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setFixedSize(kButtonWidth, kButtonHeight);
        *b.member = button;
        connect(button, &SpeedButton::clicked, this,
                [this, h = b.handler] { guard(this, [this, h] { (this->*h)(); }); });
        column->addWidget(button);
    }
    column->addStretch(1);
}

void AttachedEditor::onClick(QPushButton *button, std::function<void()> handler)
{
    connect(button, &QPushButton::clicked, this,
            [this, handler = std::move(handler)] { guard(this, handler); });
}

QWidget *AttachedEditor::control(const QString &name) const
{
    return m_controls.value(name);
}

DBEdit *AttachedEditor::edit(const QString &name) const
{
    return qobject_cast<DBEdit *>(control(name));
}

DBComboBox *AttachedEditor::comboBox(const QString &name) const
{
    return qobject_cast<DBComboBox *>(control(name));
}

QPushButton *AttachedEditor::button(const QString &name) const
{
    return qobject_cast<QPushButton *>(control(name));
}

QLabel *AttachedEditor::labelOf(const QString &control) const
{
    return m_labels.value(control);
}

} // namespace zarn::editors
