#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <random>

// The made-up people, organisations, addresses and numbers of the demo data.
// Everything is drawn from one seeded generator, so a seed always gives the
// same data on every machine (the standard fixes mt19937_64's output; the
// distributions of <random> are not fixed, so none is used).
namespace zarn::demo {

class DemoRandom {
public:
    explicit DemoRandom(quint64 seed)
        : m_engine(seed)
    {
    }
    // 0 .. n-1 (n >= 1).
    int below(int n) { return int(m_engine() % quint64(n)); }
    // lo .. hi inclusive.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    const QString &pick(const QStringList &list) { return list[below(int(list.size()))]; }
    // A day between two dates inclusive.
    QDate dayBetween(const QDate &from, const QDate &to)
    {
        return from.addDays(below(int(from.daysTo(to)) + 1));
    }
    // n decimal digits, leading zeros allowed.
    QString digits(int n);

private:
    std::mt19937_64 m_engine;
};

// The district the demo units belong to (a real county-level code).
inline const QString kDemoDistrictCode = QStringLiteral("320102");
inline const QString kDemoDistrictName = QStringLiteral("南京市玄武区");

QString personName(DemoRandom &r);
// A company or institution of the given nature of land user (a name of the
// code table S_DWXZDM such as 私营 or 事业); unknown natures get a company.
QString organisationName(DemoRandom &r, const QString &nature);
// The superior authority written for a land user of that nature ("无" for
// people and private businesses, which have none).
QString superiorAuthority(DemoRandom &r, const QString &nature);

QString streetName(DemoRandom &r);
QString streetAddress(DemoRandom &r); // street and house number, within the district
QString postcode(DemoRandom &r);
QString mobilePhone(DemoRandom &r);
QString landlinePhone(DemoRandom &r);

// An 18-character resident identity card number of the district with a valid
// check character (GB 11643), for a person born on the given day.
QString identityCardNumber(DemoRandom &r, const QDate &birth);
// The check character (0-9 or X) of the first 17 digits of such a number.
QChar identityCheckCharacter(const QString &first17);
// Whether a text is an 18-character number whose check character is right.
bool isValidIdentityCardNumber(const QString &number);

// A neighbouring road, as surveyors write it on a boundary ("中山路").
QString roadName(DemoRandom &r);

} // namespace zarn::demo
