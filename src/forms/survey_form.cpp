#include "forms/survey_form.h"

#include "data/characters.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "dialogs/locate_dialog.h"
#include "forms/sheet_layout.h"
#include "forms/survey_sheet.h"
#include "schema/number_claim.h"
#include "schema/renumbering.h"
#include "schema/statements.h"

#include "schema/survey_removal.h"
#include "session/session_context.h"
#include "widgets/banner.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/key_flow.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"
#include "widgets/speed_button.h"
#include <QSqlQuery>

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#include <optional>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");

QFrame *bandPanel(const Band &band, QWidget *parent)
{
    QFrame *p = whitePanel(QString::fromLatin1(band.name), parent);
    p->setFixedHeight(band.height);
    return p;
}

} // namespace

SurveyForm::SurveyForm(const SurveyFormDescription &desc, SessionContext &session, QWidget *owner)
    : SurveyDialog(owner)
    , m_desc(desc)
    , m_session(session)
{
    setObjectName(QString::fromLatin1(desc.objectName));
    setWindowTitle(text(desc.caption));
    setWindowIcon(surveyWindowIcon());
    setFont(songFont(9));
}

SurveyForm::~SurveyForm()
{
    // The session may outlive the form: its hooks must not call back here.
    m_session.surveyRows.setRenumber({}, 0);
    m_session.surveyRows.setWriteCheck({});
    m_session.surveyRows.setAlongRereads({}, {});
}

void SurveyForm::setUp(SurveySheet *sheet)
{
    m_sheet = sheet;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    bannerPanel = bandPanel(m_desc.bannerPanel, this);
    bannerPanel->setAccessibleName(QStringLiteral("调查表主表录入"));
    auto *bannerLayout = new QVBoxLayout(bannerPanel);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    banner = new Banner(text(m_desc.bannerTitle), bannerPanel);
    banner->setObjectName(QString::fromLatin1(m_desc.bannerImage));
    bannerLayout->addWidget(banner);
    layout->addWidget(bannerPanel);

    sheet->setParent(this);
    layout->addWidget(sheet, 1);

    buttonPanel = bandPanel(m_desc.buttonPanel, this);
    layout->addWidget(buttonPanel);
    // The four moves together at the left, a gap, new, delete and save,
    // another gap, and locate near the right edge.
    struct ButtonRow {
        SpeedButton **member;
        const char *name;
        ButtonPicture picture;
        const char *caption;
        int left;
        void (SurveyForm::*handler)();
    };
    // clang-format off
    const ButtonRow buttons[] = {
        {.member = &firstButton, .name = "spbFirst", .picture = ButtonPicture::First, .caption = "首记录",
         .left = 0, .handler = &SurveyForm::first},
        {.member = &previousButton, .name = "spbPre", .picture = ButtonPicture::Prior, .caption = "上记录",
         .left = 79, .handler = &SurveyForm::previous},
        {.member = &nextButton, .name = "spbNext", .picture = ButtonPicture::Next, .caption = "下记录",
         .left = 159, .handler = &SurveyForm::next},
        {.member = &lastButton, .name = "spbLast", .picture = ButtonPicture::Last, .caption = "末记录",
         .left = 239, .handler = &SurveyForm::last},
        {.member = &newButton, .name = "spbNew", .picture = ButtonPicture::New, .caption = "新增",
         .left = 332, .handler = &SurveyForm::addNew},
        {.member = &deleteButton, .name = "spbDel", .picture = ButtonPicture::Delete, .caption = "删除",
         .left = 411, .handler = &SurveyForm::remove},
        {.member = &saveButton, .name = "spbSave", .picture = ButtonPicture::Save, .caption = "保存",
         .left = 491, .handler = &SurveyForm::save},
        {.member = &locateButton, .name = "spbViewCurrRec", .picture = ButtonPicture::Locate,
         .caption = "定位", .left = 585, .handler = &SurveyForm::locate},
    };
    // clang-format on
    for (const ButtonRow &b : buttons) {
        auto *button = new SpeedButton(b.picture, QString::fromUtf8(b.caption), buttonPanel);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(b.left, 10, 80, 22);
        *b.member = button;
        connect(button, &SpeedButton::clicked, this,
                [this, h = b.handler] { guard(this, [this, h] { (this->*h)(); }); });
    }

    rowSource = new DataSource(&m_session.surveyRows, this);
    rowSource->setObjectName(QStringLiteral("DataSource1"));
    sheet->bind(rowSource);

    // The Enter chain and the digit pickers listen to the sheet's keys.
    m_keyFlow = {
        .isEntry = [sheet](const QWidget *w) { return sheet->entryOf(w) != nullptr; },
        .enterTarget = [sheet](QWidget *from) { return sheet->enterTarget(from); },
        .picksByDigit =
            [sheet](const QWidget *w) {
                const SheetEntry *entry = sheet->entryOf(w);
                return entry && (entry->flags & DigitPicker);
            },
    };
    for (DataAwareControl *c : sheet->boundControls())
        watchKeys(c->widget(), this);
    noAutoDefault(this);

    connectEditorButtons();

    // The filled table on paper: Ctrl+P, and the sheet's context menu.
    auto *print = new QAction(QStringLiteral("打印调查表…"), this);
    print->setObjectName(QStringLiteral("actPrint"));
    print->setShortcut(QKeySequence::Print);
    print->setShortcutContext(Qt::WindowShortcut);
    connect(print, &QAction::triggered, this, [this] { guard(this, [this] { printSheet(); }); });
    auto *pdf = new QAction(QStringLiteral("导出PDF…"), this);
    pdf->setObjectName(QStringLiteral("actExportPdf"));
    connect(pdf, &QAction::triggered, this, [this] { guard(this, [this] { exportPdf(); }); });
    auto *check = new QAction(QStringLiteral("检查本单位…"), this);
    check->setObjectName(QStringLiteral("actCheckUnit"));
    connect(check, &QAction::triggered, this, [this] { guard(this, [this] { checkUnit(); }); });
    addAction(print);
    sheet->addAction(print);
    sheet->addAction(pdf);
    sheet->addAction(check);
    sheet->setContextMenuPolicy(Qt::ActionsContextMenu);
}

Dataset &SurveyForm::table() const
{
    return session().surveyRows;
}

// ---------------------------------------------------------------- opening

void SurveyForm::loadRows()
{
    zarn::SessionContext &context = session();
    m_parts = numbering::splitUnitCode(context.unitCode);
    try {
        runQuery(context.surveyRows, m_desc.loadStatement,
                 unitcode::unitListParams(context.unitCode));
    } catch (const DatabaseError &e) {
        // Said as a load, not as a refused save.
        throw Error(loadFailureText(e));
    }
    context.surveyRows.setRenumber(
        [this](Dataset &t, const DatabaseError &refusal) { return renumber(t, refusal); },
        numbering::kRenumberAttempts);
    // A move re-reads a row kept from before; its boundary markers are
    // counted in the same round trip, under the row's values as kept. The
    // recount takes that count only when the row still shows them.
    if (m_desc.recountsBoundaryPoints)
        context.surveyRows.setAlongRereads(
            [this](const QVariantList &row) -> std::optional<zarn::Statement> {
                const Dataset &t = table();
                const auto at = [&](const char *column) {
                    return Dataset::textOf(row.value(t.indexOf(QString::fromLatin1(column))));
                };
                const QString own = zarn::trimBlanks(at("dwdm"));
                m_countAlongAsked = {at("zdbh"), own.isEmpty() ? session().unitCode : own,
                                     zarn::trimBlanks(at("bgrq"))};
                const auto &[parcel, unit, date] = m_countAlongAsked;
                if (date.isEmpty()) return zarn::Statement{sql::jzbsbCountCurrent, {parcel, unit}};
                return zarn::Statement{sql::jzbsbCountChanged, {parcel, unit, date}};
            },
            [this](const QVariant &counted) {
                const QString count = Dataset::textOf(counted);
                m_countAlong = {m_countAlongAsked[0], m_countAlongAsked[1], m_countAlongAsked[2],
                                count};
            });
    // What the row held when its editing began, for the write check.
    connect(&context.surveyRows, &Dataset::stateChanged, this, [this](Dataset::State state) {
        m_keysAsBegun = state == Dataset::State::Edit ? keysOf(table()) : QStringList();
    });
    // Both kinds of survey table number parcels from one sequence: a current
    // row's new parcel number (given or typed) is refused when another
    // current row of the unit has it, a survey table number this form
    // generated when any row of the unit has it.
    context.surveyRows.setWriteCheck(
        [this](Dataset &t) {
            refuseIncomplete(t);
            // A change of the survey table number alone claims nothing: the
            // row would count against itself under its unchanged parcel number.
            const QStringList keys = keysOf(t);
            if (t.state() == Dataset::State::Edit && m_keysAsBegun.size() == keys.size() &&
                keys.mid(0, 3) == m_keysAsBegun.mid(0, 3))
                return;
            // A superseded version keeps the number of the parcel it was.
            if (!t.text(QStringLiteral("bgrq")).isEmpty()) return;
            const QString survey = t.text(QStringLiteral("dcbh"));
            const bool generated = t.state() == Dataset::State::Insert && survey == m_givenSurvey;
            numbering::claimNumbers(*t.connection(), t.text(QStringLiteral("dwdm")),
                                    t.text(QStringLiteral("zdbh")), generated ? survey : QString());
        },
        {QStringLiteral("zdbh"), QStringLiteral("dwdm"), QStringLiteral("bgrq"),
         QStringLiteral("dcbh")});
}

QStringList SurveyForm::keysOf(const Dataset &t)
{
    QStringList keys;
    for (const char *column : {"dwdm", "zdbh", "bgrq", "dcbh"})
        keys << t.text(QString::fromLatin1(column));
    return keys;
}

void SurveyForm::refuseIncomplete(const Dataset &t) const
{
    // A survey table is found by its unit and parcel number and printed with
    // its survey table number: a new row stores all three, and a change does
    // not empty one the row had. (A row stored long ago without a survey
    // table number can still be saved; blanks count as a value here, as they
    // do for the moves.)
    const QStringList keys = keysOf(t);
    const bool inserting = t.state() == Dataset::State::Insert;
    const bool had = !inserting && m_keysAsBegun.size() == keys.size();
    const struct {
        int key;
        const char *name;
    } required[] = {{0, "单位代码"}, {1, "地籍号"}, {3, "调查表号"}};
    QStringList missing;
    for (const auto &r : required)
        if (keys[r.key].isEmpty() && (inserting || (had && !m_keysAsBegun[r.key].isEmpty())))
            missing << QString::fromUtf8(r.name);
    if (missing.isEmpty()) return;
    const QString what = missing.join(QStringLiteral("、"));
    throw Error(
        inserting ? QStringLiteral("这张调查表没有%1，不能存入数据库。请填写%1后再保存。").arg(what)
                  : QStringLiteral("这张调查表的%1被清空了，不能这样存入数据库。请填回%1后再保存，"
                                   "或移动记录前先恢复原来的内容。")
                        .arg(what));
}

QString SurveyForm::rowUnit() const
{
    // A street's or a district's session lists the rows of all its units;
    // each row's attached rows and counts are kept under the row's own unit
    // code. Only a row that has none falls back to the code the session was
    // opened with.
    const QString own = zarn::trimBlanks(table().text(QStringLiteral("dwdm")));
    return own.isEmpty() ? session().unitCode : own;
}

void SurveyForm::closeEvent(QCloseEvent *event)
{
    finishOpening();
    bool stays = false;
    // Anything unforeseen is reported, and the window closes.
    guard(this, [&] { stays = !storeBeforeClosing(); });
    if (stays) {
        event->ignore();
        return;
    }
    event->accept();
    SurveyDialog::closeEvent(event);
}

bool SurveyForm::storeBeforeClosing()
{
    try {
        Dataset &t = table();
        // A form whose rows never loaded (no table, no database) has nothing
        // that could be stored, nor has an open list without a row.
        if (t.isOpen() && t.recNo() >= 0 && !t.text(QStringLiteral("zdbh")).isEmpty()) {
            t.edit();
            t.post();
        }
    } catch (const Error &e) {
        // What cannot be stored is not dropped without a word: the surveyor
        // goes back to the sheet, or lets it go knowingly.
        const int answer = messageBox(
            QStringLiteral("调查表的修改无法保存：\n") + reasonText(e) +
                QStringLiteral("\n\n要返回调查表继续修改吗？选“否”将放弃这些修改并关闭窗口。"),
            QStringLiteral("警告"), MessageIcon::Warning, Yes | No, this);
        if (answer != No) return false;
        try {
            table().cancel();
        } catch (const Error &) {
            // Let go knowingly: the window closes all the same.
        }
    }
    return true;
}

// ---------------------------------------------------------------- moving

void SurveyForm::moveClick(Move move)
{
    finishOpening();
    Dataset &t = table();
    // Untrimmed: a number of blanks is not empty here, unlike for saving.
    if (t.text(QStringLiteral("zdbh")).isEmpty()) {
        showMessage(kEmptyParcel, this);
        return;
    }
    // Whether the move stores a change of the row it leaves.
    const bool pending = t.isEditing() && t.isModified();
    m_countAlong.reset(); // only a count read with this move's row stands for it
    try {
        // The ends are the first and the last row with a parcel number: rows
        // without one sort before and after every parcel, and standing on
        // one locks these buttons. 上记录 and 下记录 still reach them.
        const bool first = move == Move::First;
        const int end = first || move == Move::Last
                            ? (first ? t.firstRowWith(QStringLiteral("zdbh"))
                                     : t.lastRowWith(QStringLiteral("zdbh")))
                            : -1;
        if (end < 0 || end == (first ? 0 : t.recordCount() - 1))
            t.move(move);
        else
            t.moveTo(end, true);
    } catch (const RowsDeletedError &e) {
        // The row left was stored (if changed) before the rows ahead were found gone.
        messageBox(rowsDeletedText(e, pending && !t.isEditing()), QStringLiteral("提示"),
                   MessageIcon::Information, Ok, this);
        return;
    } catch (const RowChangedError &e) {
        settleConflict(QString(), e);
        return;
    }
    if (m_desc.recountsBoundaryPoints) recountBoundaryPoints();
    m_countAlong.reset();
    applyChangeLock();
}

void SurveyForm::settleConflict(const QString &fixedText, const DatabaseError &e)
{
    Dataset &t = table();
    if (t.rowDeletedMeanwhile()) {
        if (!askToDropDeletedRow(fixedText, this)) return;
        t.dropRow();
        applyChangeLock();
        return;
    }
    // Another user's version, if the surveyor wants it instead of theirs.
    if (askToLoadTheirVersion(fixedText, QStringLiteral("警告"), e, this)) t.refreshRow();
}

void SurveyForm::first()
{
    moveClick(Move::First);
}
void SurveyForm::previous()
{
    moveClick(Move::Prior);
}
void SurveyForm::next()
{
    moveClick(Move::Next);
}
void SurveyForm::last()
{
    moveClick(Move::Last);
}

void SurveyForm::locate()
{
    finishOpening();
    Dataset &t = table();
    {
        LocateDialog dialog(m_session, this);
        const auto count = [&] {
            dialog.hint->setText(QStringLiteral("共%1记录").arg(t.recordCount()));
        };
        count();
        // Rows another user added while a district's keys arrive, and counted
        // rows found deleted, change the count while the dialog is open.
        connect(&t, &Dataset::rowsArrived, &dialog, count);
        connect(&t, &Dataset::rowRemoved, &dialog, count);
        dialog.exec();
    }
    applyChangeLock();
}

// ---------------------------------------------------------------- change state

void SurveyForm::applyChangeLock()
{
    try {
        const QString bgrq = table().text(QStringLiteral("bgrq"));
        const bool changed = !bgrq.isEmpty();
        m_sheet->changeNotice->setText(
            changed ? QStringLiteral("该宗地已于") + bgrq + QStringLiteral("变更") : QString());
        for (DataAwareControl *c : m_sheet->boundControls()) {
            if (c->family() == ControlFamily::Plain) continue;
            if (c->family() == ControlFamily::Memo && !m_desc.lockMemo) continue;
            c->setReadOnly(changed);
        }
    } catch (const Error &) {
        // The controls handled so far keep their state.
    }
}

// ---------------------------------------------------------------- save, delete

void SurveyForm::save()
{
    finishOpening();
    Dataset &t = table();
    if (zarn::trimBlanks(t.text(QStringLiteral("zdbh"))).isEmpty()) {
        showMessage(kEmptyParcel, this);
        return;
    }
    try {
        t.edit();
        t.post();
        refreshFindings();
    } catch (const RowChangedError &e) {
        settleConflict(QStringLiteral("数据保存失败！"), e);
    } catch (const Error &e) {
        // The fixed text first, then why, so the surveyor knows what to mend.
        showFailure(QStringLiteral("数据保存失败！"), QStringLiteral("警告"), MessageIcon::Warning,
                    e, this);
    }
}

void SurveyForm::remove()
{
    finishOpening();
    if (messageBox(QStringLiteral("确信删除所显示的记录内容吗?"), QStringLiteral("确信删除界面"),
                   MessageIcon::Question, Ok | Cancel, this) != Ok)
        return;
    Dataset &t = table();
    if (!t.isOpen() || t.isEmpty()) {
        showMessage(QStringLiteral("调查表已经为空"), this);
        return;
    }
    try {
        // A row never stored has no attached rows of its own; whatever
        // matches its number belongs to another row.
        if (t.state() == Dataset::State::Insert) {
            t.remove();
            return;
        }
        // The row as stored is the one deleted, with its own attached rows.
        if (t.isEditing()) t.cancel();
        // The row and its attached rows go together or not at all, and the
        // list lets the row go only once the database has: a refusal
        // anywhere, the commit's included, leaves both as they were.
        survey::removeSurveyRow(*t.connection(),
                                {.id = t.value(QStringLiteral("id")),
                                 .parcel = zarn::trimBlanks(t.text(QStringLiteral("zdbh"))),
                                 .unit = t.text(QStringLiteral("dwdm")),
                                 .changeDate = t.text(QStringLiteral("bgrq"))});
        t.dropRow();
        refreshFindings();
    } catch (const Error &e) {
        showFailure(QStringLiteral("删除失败，调查表及其附表均未改动。"), QStringLiteral("警告"),
                    MessageIcon::Warning, e, this);
    }
}

// ---------------------------------------------------------------- keys

bool SurveyForm::eventFilter(QObject *watched, QEvent *event)
{
    if (exposedAtLast(watched, event)) return SurveyDialog::eventFilter(watched, event);
    // The lists a key, a click or the wheel picks from, and the count a
    // keystroke's edit would otherwise be stored with, are there first.
    if (m_openingPending && isSurveyorInput(event)) finishOpening(true);
    if (followKeyFlow(m_keyFlow, watched, event)) return true;
    return SurveyDialog::eventFilter(watched, event);
}
