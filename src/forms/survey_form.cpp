#include "forms/survey_form.h"

#include "component/DataM.h"
#include "component/unt_Comm.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "dialogs/frm_Input.h"
#include "forms/sheet_layout.h"
#include "forms/survey_sheet.h"
#include "schema/number_claim.h"
#include "schema/renumbering.h"
#include "schema/statements.h"
#include "widgets/banner.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"
#include "widgets/speed_button.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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

SurveyForm::SurveyForm(const SurveyFormDescription &desc, QWidget *owner)
    : SurveyDialog(owner)
    , m_desc(desc)
{
    setObjectName(QString::fromLatin1(desc.objectName));
    setWindowTitle(text(desc.caption));
    setWindowIcon(surveyWindowIcon());
    setFont(songFont(9));
}

SurveyForm::~SurveyForm()
{
    // The data module may outlive the form: its hooks must not call back here.
    if (DataMod) {
        DataMod->djdcTable.setRenumber({}, 0);
        DataMod->djdcTable.setWriteCheck({});
    }
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
        {.member = &spbFirst, .name = "spbFirst", .picture = ButtonPicture::First, .caption = "首记录",
         .left = 0, .handler = &SurveyForm::spbFirstClick},
        {.member = &spbPre, .name = "spbPre", .picture = ButtonPicture::Prior, .caption = "上记录",
         .left = 79, .handler = &SurveyForm::spbPreClick},
        {.member = &spbNext, .name = "spbNext", .picture = ButtonPicture::Next, .caption = "下记录",
         .left = 159, .handler = &SurveyForm::spbNextClick},
        {.member = &spbLast, .name = "spbLast", .picture = ButtonPicture::Last, .caption = "末记录",
         .left = 239, .handler = &SurveyForm::spbLastClick},
        {.member = &spbNew, .name = "spbNew", .picture = ButtonPicture::New, .caption = "新增",
         .left = 332, .handler = &SurveyForm::spbNewClick},
        {.member = &spbDel, .name = "spbDel", .picture = ButtonPicture::Delete, .caption = "删除",
         .left = 411, .handler = &SurveyForm::spbDelClick},
        {.member = &spbSave, .name = "spbSave", .picture = ButtonPicture::Save, .caption = "保存",
         .left = 491, .handler = &SurveyForm::spbSaveClick},
        {.member = &spbViewCurrRec, .name = "spbViewCurrRec", .picture = ButtonPicture::Locate,
         .caption = "定位", .left = 585, .handler = &SurveyForm::spbViewCurrRecClick},
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

    DataSource1 = new DataSource(DataMod ? &DataMod->djdcTable : nullptr, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    sheet->bind(DataSource1);

    // The Enter chain and the digit pickers listen to the sheet's keys.
    for (DataAwareControl *c : sheet->boundControls()) {
        c->widget()->installEventFilter(this);
        if (auto *combo = qobject_cast<QComboBox *>(c->widget()); combo && combo->lineEdit())
            combo->lineEdit()->installEventFilter(this);
    }
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
    addAction(print);
    sheet->addAction(print);
    sheet->addAction(pdf);
    sheet->setContextMenuPolicy(Qt::ActionsContextMenu);
}

TDataMod &SurveyForm::dataModule() const
{
    if (!DataMod) throw Error(QStringLiteral("数据模块不存在，无法显示调查表"));
    return *DataMod;
}

Dataset &SurveyForm::table() const
{
    return dataModule().djdcTable;
}

// ---------------------------------------------------------------- opening

void SurveyForm::loadRows()
{
    TDataMod &dm = dataModule();
    m_parts = numbering::splitUnitCode(dm.dwdm);
    try {
        runQuery(dm.djdcTable, m_desc.loadStatement, unitcode::unitListParams(dm.dwdm));
    } catch (const DatabaseError &e) {
        // Said as a load, not as a refused save.
        throw Error(loadFailureText(e));
    }
    dm.djdcTable.setRenumber(
        [this](Dataset &t, const DatabaseError &refusal) { return renumber(t, refusal); },
        numbering::kRenumberAttempts);
    // What the row held when its editing began, for the write check.
    connect(&dm.djdcTable, &Dataset::stateChanged, this, [this](Dataset::State state) {
        m_keysAsBegun = state == Dataset::State::Edit ? keysOf(table()) : QStringList();
    });
    // Both kinds of survey table number parcels from one sequence: a current
    // row's new parcel number (given or typed) is refused when another
    // current row of the unit has it, a survey table number this form
    // generated when any row of the unit has it.
    dm.djdcTable.setWriteCheck(
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

QString SurveyForm::nextParcel(bool unitEmpty) const
{
    if (unitEmpty) return numbering::firstParcelNumber(m_parts);
    Dataset &q = dataModule().ADOQuery1;
    runQuery(q, sql::djdcMaxZdbh, {dataModule().dwdm});
    return numbering::nextParcelNumber(
        numbering::parcelNumberBase(q.isEmpty() ? QString() : Dataset::textOf(q.value(0))));
}

QString SurveyForm::nextSurvey(bool unitEmpty) const
{
    if (unitEmpty) return numbering::firstSurveyNumber(m_parts);
    Dataset &q = dataModule().ADOQuery1;
    runQuery(q, sql::djdcMaxDcbh, {dataModule().dwdm});
    return numbering::nextSurveyNumber(
        numbering::surveyNumberBase(q.isEmpty() ? QString() : Dataset::textOf(q.value(0))));
}

QString SurveyForm::rowUnit() const
{
    // A street's or a district's session lists the rows of all its units;
    // each row's attached rows and counts are kept under the row's own unit
    // code. Only a row that has none falls back to the code the session was
    // opened with.
    const QString own = trimBlanks(table().text(QStringLiteral("dwdm")));
    return own.isEmpty() ? dataModule().dwdm : own;
}

bool SurveyForm::renumber(Dataset &t, const DatabaseError &refusal)
{
    if (t.state() != Dataset::State::Insert) return false;
    Dataset &q = dataModule().ADOQuery1;
    runQuery(q, sql::djdcMaxId);
    const QVariant highest = q.isEmpty() ? QVariant() : q.value(0);
    const bool idTaken = !Dataset::isNullValue(highest) &&
                         highest.toLongLong() >= t.field(QStringLiteral("id")).asInteger();
    const numbering::Retake what = numbering::whatToRetake(refusal, idTaken);
    if (what == numbering::Retake::Nothing) return false;
    t.setValue(QStringLiteral("id"), numbering::nextRowNumber(highest));
    if (what == numbering::Retake::RowId) return true;
    // The parcel number: only one this form gave; a number the surveyor
    // typed that another parcel has is theirs to mend.
    if (t.text(QStringLiteral("zdbh")) != m_givenParcel || m_givenParcel.isEmpty()) return false;
    runQuery(q, sql::djdcMaxZdbh, {dataModule().dwdm});
    const bool unitEmpty = q.isEmpty() || Dataset::isNullValue(q.value(0));
    m_givenParcel = nextParcel(unitEmpty);
    const bool surveyGiven = t.text(QStringLiteral("dcbh")) == m_givenSurvey;
    if (surveyGiven) m_givenSurvey = nextSurvey(unitEmpty);
    for (const NewRowColumn &c : m_desc.newRow) {
        if (c.value == NewValue::ParcelNumber)
            t.setValue(QString::fromLatin1(c.column), m_givenParcel);
        else if (c.value == NewValue::SurveyNumber && surveyGiven)
            t.setValue(QString::fromLatin1(c.column), m_givenSurvey);
    }
    return true;
}

void SurveyForm::closeEvent(QCloseEvent *event)
{
    finishOpening();
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
        if (answer != No) {
            event->ignore();
            return;
        }
        try {
            table().cancel();
        } catch (...) {
        }
    } catch (...) {
        // Anything else: the window closes.
    }
    event->accept();
    SurveyDialog::closeEvent(event);
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
    setcomp();
}

void SurveyForm::settleConflict(const QString &fixedText, const DatabaseError &e)
{
    Dataset &t = table();
    if (t.rowDeletedMeanwhile()) {
        if (!askToDropDeletedRow(fixedText, this)) return;
        t.dropRow();
        setcomp();
        return;
    }
    // Another user's version, if the surveyor wants it instead of theirs.
    if (askToLoadTheirVersion(fixedText, QStringLiteral("警告"), e, this)) t.refreshRow();
}

void SurveyForm::spbFirstClick()
{
    moveClick(Move::First);
}
void SurveyForm::spbPreClick()
{
    moveClick(Move::Prior);
}
void SurveyForm::spbNextClick()
{
    moveClick(Move::Next);
}
void SurveyForm::spbLastClick()
{
    moveClick(Move::Last);
}

void SurveyForm::spbViewCurrRecClick()
{
    finishOpening();
    Dataset &t = table();
    {
        TFrmInput dialog(this);
        const auto count = [&] {
            dialog.Label1->setText(QStringLiteral("共%1记录").arg(t.recordCount()));
        };
        count();
        // Rows another user added while a district's keys arrive, and counted
        // rows found deleted, change the count while the dialog is open.
        connect(&t, &Dataset::rowsArrived, &dialog, count);
        connect(&t, &Dataset::rowRemoved, &dialog, count);
        dialog.exec();
    }
    setcomp();
}

// ---------------------------------------------------------------- change state

void SurveyForm::setcomp()
{
    try {
        const QString bgrq = table().text(QStringLiteral("bgrq"));
        const bool changed = !bgrq.isEmpty();
        m_sheet->Label50->setText(
            changed ? QStringLiteral("该宗地已于") + bgrq + QStringLiteral("变更") : QString());
        for (DataAwareControl *c : m_sheet->boundControls()) {
            if (c->family() == ControlFamily::Plain) continue;
            if (c->family() == ControlFamily::Memo && !m_desc.lockMemo) continue;
            c->setReadOnly(changed);
        }
    } catch (...) {
        // The controls handled so far keep their state.
    }
}

// ---------------------------------------------------------------- save, delete

void SurveyForm::spbSaveClick()
{
    finishOpening();
    Dataset &t = table();
    if (trimBlanks(t.text(QStringLiteral("zdbh"))).isEmpty()) {
        showMessage(kEmptyParcel, this);
        return;
    }
    try {
        t.edit();
        t.post();
    } catch (const RowChangedError &e) {
        settleConflict(QStringLiteral("数据保存失败！"), e);
    } catch (const Error &e) {
        // The fixed text first, then why, so the surveyor knows what to mend.
        showFailure(QStringLiteral("数据保存失败！"), QStringLiteral("警告"), MessageIcon::Warning,
                    e, this);
    }
}

void SurveyForm::spbDelClick()
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
        const QString zdbh = trimBlanks(t.text(QStringLiteral("zdbh")));
        const QString bgrq = t.text(QStringLiteral("bgrq"));
        // The attached rows are keyed by the row's own unit code, which for a
        // sub-unit's row is longer than the session's.
        const QString dwdm = t.text(QStringLiteral("dwdm"));
        const QVariant id = t.value(QStringLiteral("id"));
        Dataset &q = dataModule().ADOQuery1;
        // The row and its attached rows go together or not at all, and the
        // list lets the row go only once the database has: a refusal
        // anywhere, the commit's included, leaves both as they were.
        t.connection()->transaction([&] {
            if (bgrq.isEmpty()) {
                for (const QString &statement : sql::deleteCurrentAttached)
                    runStatement(q, statement, {zdbh, dwdm}, Rerun::Repeatable);
            } else {
                // A changed row takes the attached rows of its own version with it.
                for (const QString &statement : sql::deleteChangedAttached)
                    runStatement(q, statement, {zdbh, dwdm, bgrq}, Rerun::Repeatable);
            }
            runStatement(q, sql::djdcDeleteRow, {id}, Rerun::Repeatable);
        });
        t.dropRow();
    } catch (const Error &e) {
        showFailure(QStringLiteral("删除失败，调查表及其附表均未改动。"), QStringLiteral("警告"),
                    MessageIcon::Warning, e, this);
    }
}

// ---------------------------------------------------------------- new record

void SurveyForm::SaveThisDCBinfo()
{
    finishOpening();
    IniBatch ini = ConfigIniBatch();
    rememberValues(ini);
    ini.commit();
}

void SurveyForm::rememberValues(IniBatch &ini)
{
    try {
        Dataset &t = table();
        // No row shown, nothing to remember: empty texts would overwrite what
        // the surveyor's last row left there. A new row without a parcel
        // number is not a survey table yet; 新增 drops it.
        if (t.recNo() < 0) return;
        if (t.state() == Dataset::State::Insert &&
            trimBlanks(t.text(QStringLiteral("zdbh"))).isEmpty())
            return;
        for (DataAwareControl *c : m_sheet->boundControls()) {
            if (c->family() != ControlFamily::Framed) continue;
            const QString key = c->dataField();
            const int column = t.indexOf(key);
            const FieldType type = t.fieldDef(column).type;
            const QVariant v = t.value(column);
            const bool isList = qobject_cast<DBComboBox *>(c->widget()) != nullptr;
            std::optional<QString> text;
            const bool textual =
                isList ? (type == FieldType::Text || type == FieldType::LongText)
                       : (type == FieldType::UnicodeText || type == FieldType::LongText);
            if (textual)
                text = trimBlanks(Dataset::textOf(v));
            else if (type == FieldType::Int16 || type == FieldType::Int32)
                text =
                    Dataset::isNullValue(v) ? QStringLiteral("0") : QString::number(v.toLongLong());
            else if (type == FieldType::Double)
                text = Dataset::isNullValue(v) ? QStringLiteral("0")
                                               : QString::number(v.toDouble(), 'g', 15);
            if (text) ini.write(QStringLiteral("DCB"), key, *text);
        }
    } catch (...) {
        // What was written so far stays written: the caller commits it.
    }
}

QVariant SurveyForm::newValue(const NewRowColumn &c, qint64 id, const QString &parcel,
                              const QString &survey, const IniBatch &ini) const
{
    switch (c.value) {
    case NewValue::Text:
        return QString::fromUtf8(c.arg);
    case NewValue::Integer:
        return QString::fromLatin1(c.arg).toLongLong();
    case NewValue::RowId:
        return id;
    case NewValue::District:
        return m_parts.district;
    case NewValue::Street:
        return m_parts.street;
    case NewValue::Block:
        return m_parts.block;
    case NewValue::SessionUnit:
        return dataModule().dwdm;
    case NewValue::ParcelNumber:
        return parcel;
    case NewValue::SurveyNumber:
        return survey;
    case NewValue::Remembered:
        return ini.read(QStringLiteral("DCB"), QString::fromLatin1(c.column),
                        QStringLiteral("000"));
    case NewValue::Today:
        return numbering::todayText();
    }
    return {};
}

void SurveyForm::dropNewRow()
{
    // A row the database would not take (busy, refused, the connection gone)
    // is not left pending: the next move, close or 新增 would store it
    // unasked. The sheet goes back to the row it came from.
    m_givenParcel.clear();
    m_givenSurvey.clear();
    if (table().state() == Dataset::State::Insert) table().cancel();
}

void SurveyForm::spbNewClick()
{
    finishOpening();
    Dataset &t = table();
    TDataMod &dm = dataModule();
    // The values remembered from this row are the ones the new row reads
    // back: one read of config.ini and at most one write serve both.
    IniBatch ini = ConfigIniBatch();
    rememberValues(ini);
    ini.commit();
    if (t.isEditing() && trimBlanks(t.text(QStringLiteral("ZDBH"))).isEmpty()) t.cancel();

    Dataset &q = dm.ADOQuery1;
    runQuery(q, sql::djdcMaxId);
    const qint64 id = numbering::nextRowNumber(q.isEmpty() ? QVariant() : q.value(0));

    // Every number is made before the row is: a unit without a number to
    // continue from, or whose highest one holds a letter, refuses here and
    // leaves the sheet on the row it showed.
    const bool unitEmpty = t.isEmpty();
    const QString parcel = nextParcel(unitEmpty);
    const QString survey = nextSurvey(unitEmpty);

    t.append();
    try {
        m_givenParcel = parcel;
        m_givenSurvey = survey;
        for (const NewRowColumn &c : m_desc.newRow)
            t.setValue(QString::fromLatin1(c.column), newValue(c, id, parcel, survey, ini));
        t.edit();
        t.post();
    } catch (const DatabaseError &e) {
        dropNewRow();
        // The refusal's own sentence would say the typing stays for 保存.
        const QString sentence = newRowNotMadeSentence(e);
        if (sentence.isEmpty()) throw;
        throw DatabaseError(sentence, Refusal::of(RefusalKind::Other, e.refusal().table));
    } catch (...) {
        dropNewRow();
        throw;
    }
    setcomp();
}

// ---------------------------------------------------------------- keys

bool SurveyForm::eventFilter(QObject *watched, QEvent *event)
{
    if (exposedAtLast(watched, event)) return SurveyDialog::eventFilter(watched, event);
    // The lists a key, a click or the wheel picks from, and the count a
    // keystroke's edit would otherwise be stored with, are there first.
    if (m_openingPending && isSurveyorInput(event)) finishOpening(true);
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return SurveyDialog::eventFilter(watched, event);
    auto *w = qobject_cast<QWidget *>(watched);
    // An editable list's keys arrive at its line edit; they are the list's.
    if (w && qobject_cast<QLineEdit *>(w) && qobject_cast<DBComboBox *>(w->parentWidget()))
        w = w->parentWidget();
    const SheetEntry *entry = m_sheet ? m_sheet->entryOf(w) : nullptr;
    if (!entry) return SurveyDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);

    if (event->type() == QEvent::KeyPress &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // As Tab does: the text arrived at is selected, so typing replaces it.
        if (QWidget *next = m_sheet->enterTarget(w)) next->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (event->type() == QEvent::KeyRelease && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 &&
        !(key->modifiers() & Qt::KeypadModifier) && (entry->flags & DigitPicker))
        static_cast<DBComboBox *>(w)->pickNthEntry();
    return SurveyDialog::eventFilter(watched, event);
}
