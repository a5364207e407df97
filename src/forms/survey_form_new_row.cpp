// The survey form's new rows: the numbers 新增 gives a new row (and gives
// again when another workstation took them meanwhile), and the values it
// fills in, remembered from the surveyor's last row.
#include "forms/survey_form.h"

#include "config/config_ini.h"
#include "data/characters.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "forms/survey_sheet.h"
#include "schema/number_claim.h"
#include "schema/renumbering.h"
#include "schema/statements.h"
#include "session/session_context.h"
#include "widgets/data_aware.h"
#include "widgets/db_combo_box.h"
#include "widgets/refusals.h"

#include <optional>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

// ---------------------------------------------------------------- numbers

// How one of the two numbers of a new row is made: the first of a unit
// without rows, else the next after the highest the unit has stored.
struct zarn::forms::NumberRule {
    QVariant numbering::HighestNumbers::*highest;
    QString (*first)(const numbering::UnitCodeParts &);
    QString (*base)(const QString &highest);
    QString (*next)(const QString &base);
};

namespace {

const NumberRule kParcelNumber{&numbering::HighestNumbers::parcel, &numbering::firstParcelNumber,
                               &numbering::parcelNumberBase, &numbering::nextParcelNumber};
const NumberRule kSurveyNumber{&numbering::HighestNumbers::survey, &numbering::firstSurveyNumber,
                               &numbering::surveyNumberBase, &numbering::nextSurveyNumber};

} // namespace

QString SurveyForm::nextNumber(const NumberRule &rule, bool unitEmpty,
                               const numbering::HighestNumbers &highest) const
{
    if (unitEmpty) return rule.first(m_parts);
    return rule.next(rule.base(Dataset::textOf(highest.*rule.highest)));
}

bool SurveyForm::renumber(Dataset &t, const DatabaseError &refusal)
{
    if (t.state() != Dataset::State::Insert) return false;
    const numbering::HighestNumbers highest =
        numbering::highestNumbers(*t.connection(), session().unitCode);
    const bool idTaken = !Dataset::isNullValue(highest.rowId) &&
                         highest.rowId.toLongLong() >= t.field(QStringLiteral("id")).asInteger();
    const numbering::Retake what = numbering::whatToRetake(refusal, idTaken);
    if (what == numbering::Retake::Nothing) return false;
    t.setValue(QStringLiteral("id"), numbering::nextRowNumber(highest.rowId));
    if (what == numbering::Retake::RowId) return true;
    // The parcel number: only one this form gave; a number the surveyor
    // typed that another parcel has is theirs to mend.
    if (t.text(QStringLiteral("zdbh")) != m_givenParcel || m_givenParcel.isEmpty()) return false;
    const bool unitEmpty = Dataset::isNullValue(highest.parcel);
    m_givenParcel = nextNumber(kParcelNumber, unitEmpty, highest);
    const bool surveyGiven = t.text(QStringLiteral("dcbh")) == m_givenSurvey;
    if (surveyGiven) m_givenSurvey = nextNumber(kSurveyNumber, unitEmpty, highest);
    for (const NewRowColumn &c : m_desc.newRow) {
        if (c.value == NewValue::ParcelNumber)
            t.setValue(QString::fromLatin1(c.column), m_givenParcel);
        else if (c.value == NewValue::SurveyNumber && surveyGiven)
            t.setValue(QString::fromLatin1(c.column), m_givenSurvey);
    }
    return true;
}

// ---------------------------------------------------------------- new record

void SurveyForm::rememberShownValues()
{
    finishOpening();
    IniBatch ini = zarn::openConfigIni();
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
            zarn::trimBlanks(t.text(QStringLiteral("zdbh"))).isEmpty())
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
                text = zarn::trimBlanks(Dataset::textOf(v));
            else if (type == FieldType::Int16 || type == FieldType::Int32)
                text =
                    Dataset::isNullValue(v) ? QStringLiteral("0") : QString::number(v.toLongLong());
            else if (type == FieldType::Double)
                text = Dataset::isNullValue(v) ? QStringLiteral("0")
                                               : QString::number(v.toDouble(), 'g', 15);
            if (text) ini.write(QStringLiteral("DCB"), key, *text);
        }
    } catch (const Error &) {
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
        return session().unitCode;
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

void SurveyForm::addNew()
{
    finishOpening();
    Dataset &t = table();
    zarn::SessionContext &context = session();
    // The values remembered from this row are the ones the new row reads
    // back: one read of config.ini and at most one write serve both.
    IniBatch ini = zarn::openConfigIni();
    rememberValues(ini);
    ini.commit();
    if (t.isEditing() && zarn::trimBlanks(t.text(QStringLiteral("ZDBH"))).isEmpty()) t.cancel();

    const numbering::HighestNumbers highest =
        numbering::highestNumbers(*t.connection(), context.unitCode);
    const qint64 id = numbering::nextRowNumber(highest.rowId);

    // Every number is made before the row is: a unit without a number to
    // continue from, or whose highest one holds a letter, refuses here and
    // leaves the sheet on the row it showed.
    const bool unitEmpty = t.isEmpty();
    const QString parcel = nextNumber(kParcelNumber, unitEmpty, highest);
    const QString survey = nextNumber(kSurveyNumber, unitEmpty, highest);

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
    } catch (const std::exception &) {
        dropNewRow();
        throw;
    }
    applyChangeLock();
}
