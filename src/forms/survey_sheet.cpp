#include "forms/survey_sheet.h"

#include "forms/column_rules.h"
#include "forms/sheet_paint.h"
#include "widgets/data_aware.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/field_menu.h"
#include "widgets/fonts.h"
#include "widgets/value_mark.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

using namespace zarn::forms;
using namespace zarn::ui;

namespace {

Qt::InputMethodHints hintsFor(BlankInput input)
{
    switch (input) {
    case BlankInput::Text:
        return Qt::ImhNone;
    case BlankInput::Digits:
        return Qt::ImhPreferNumbers | Qt::ImhPreferLatin | Qt::ImhNoPredictiveText;
    case BlankInput::Latin:
        return Qt::ImhPreferLatin | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;
    }
    return Qt::ImhNone;
}

// What the column's rule asks of the blank: the input method's first choice
// (a surveyor typing a name and then a date need not switch it by hand; a
// platform without an input method ignores the hint), the soft check's mark,
// and the field's menu with the sheet's own entries after its edit entries.
void applyColumnRule(SurveySheet *sheet, QWidget *control, const SheetEntry &e)
{
    QWidget *typed = control;
    if (auto *combo = qobject_cast<QComboBox *>(control)) typed = combo->lineEdit();
    if (typed) new FieldMenu(typed, sheet);
    const ColumnRule *rule = columnRule(text(e.column));
    if (!rule) return;
    const Qt::InputMethodHints hints = hintsFor(rule->input);
    control->setInputMethodHints(hints);
    if (typed) typed->setInputMethodHints(hints);
    auto *line = qobject_cast<QLineEdit *>(typed);
    if (rule->check != zarn::checks::ValueCheck::None && line) {
        new ValueMark(line, [check = rule->check](const QString &value) {
            return zarn::checks::problem(check, value);
        });
    }
}

} // namespace

SurveySheet::SurveySheet(const SheetLayout &layout, QWidget *parent)
    : QWidget(parent)
    , m_layout(layout)
{
    setObjectName(QString::fromLatin1(layout.name));
    setFont(songFont(9));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(layout.pictureWidth, layout.pictureHeight);

    // Input methods the sheet names per control; kept for the record, as
    // Linux has no switch to a named input method.
    auto imeOf = [&layout](const SheetEntry &e) {
        if (e.flags & NoIme) return QString();
        return text((e.flags & AltIme) ? layout.altIme : layout.ime);
    };

    QList<std::pair<int, QWidget *>> tabOrder;
    for (const SheetEntry &e : layout.entries) {
        if (e.kind == SheetKind::Heading) continue;
        const QString name = QString::fromLatin1(e.control);
        QWidget *w = nullptr;
        switch (e.kind) {
        case SheetKind::Edit: {
            auto *c = new DBEdit(name, this);
            c->setFamily(ControlFamily::Framed);
            c->setImeName(imeOf(e));
            m_bound << c;
            w = c;
            break;
        }
        case SheetKind::PickList:
        case SheetKind::List:
        case SheetKind::FramedList: {
            auto *c = new DBComboBox(name, this);
            c->setFamily(e.kind == SheetKind::FramedList ? ControlFamily::Framed
                                                         : ControlFamily::Plain);
            c->setPickOnly(e.kind == SheetKind::PickList);
            c->setImeName(imeOf(e));
            m_bound << c;
            w = c;
            break;
        }
        case SheetKind::Memo: {
            auto *c = new DBMemo(name, this);
            c->setFamily(ControlFamily::Memo);
            c->setImeName(imeOf(e));
            m_bound << c;
            w = c;
            break;
        }
        case SheetKind::Button: {
            auto *b = new QPushButton(text(e.column), this);
            b->setObjectName(name);
            b->setAutoDefault(false);
            b->setDefault(false);
            w = b;
            break;
        }
        case SheetKind::Heading:
            break;
        }
        w->setGeometry(e.left, e.top, e.width, entryHeight(e));
        if (e.kind != SheetKind::Button) applyColumnRule(this, w, e);
        m_controls.insert(name, w);
        tabOrder.append({e.tab, w});
    }

    parcelNumberEdit = edit(QStringLiteral("DBEdit18"));
    coUserCountEdit = edit(QStringLiteral("DBEdit24"));
    boundaryPointCountEdit = edit(QStringLiteral("DBEdit26"));
    markerButton = qobject_cast<QPushButton *>(control(QStringLiteral("Button1")));
    designationButton = qobject_cast<QPushButton *>(control(QStringLiteral("Button2")));
    coUserButton = qobject_cast<QPushButton *>(control(QStringLiteral("Button3")));
    fourSidesButton = qobject_cast<QPushButton *>(control(QStringLiteral("Button4")));

    changeNotice = new QLabel(this);
    changeNotice->setObjectName(QStringLiteral("Label50"));
    changeNotice->setAttribute(Qt::WA_TranslucentBackground);
    changeNotice->setStyleSheet(QStringLiteral("color: navy; background: transparent;"));
    changeNotice->setGeometry(layout.label50);

    std::stable_sort(tabOrder.begin(), tabOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

SurveySheet::~SurveySheet() = default;

void SurveySheet::bind(DataSource *source)
{
    for (DataAwareControl *c : m_bound)
        c->bind(source, text(entryOf(c->widget())->column));
}

QWidget *SurveySheet::control(const QString &name) const
{
    return m_controls.value(name);
}

DBEdit *SurveySheet::edit(const QString &name) const
{
    return qobject_cast<DBEdit *>(control(name));
}

DBComboBox *SurveySheet::comboBox(const QString &name) const
{
    return qobject_cast<DBComboBox *>(control(name));
}

QList<DataAwareControl *> SurveySheet::boundControls() const
{
    return m_bound;
}

const SheetEntry *SurveySheet::entryOf(const QWidget *control) const
{
    if (!control || m_controls.value(control->objectName()) != control) return nullptr;
    return sheetEntry(m_layout, control->objectName());
}

QWidget *SurveySheet::enterTarget(QWidget *from) const
{
    const SheetEntry *e = entryOf(from);
    if (!e || !*e->enter) return nullptr;
    return control(QString::fromLatin1(e->enter));
}

QSize SurveySheet::sizeHint() const
{
    return {m_layout.width, m_layout.height};
}

void SurveySheet::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintSheet(p, m_layout, font());
}
