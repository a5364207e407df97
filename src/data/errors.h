#pragma once

#include <QString>
#include <stdexcept>

namespace zarn {

// Base of every error this system raises. The text is what the user reads in
// the error report, so it is kept as a QString and also handed to what() as UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// The database refused something: carries the driver's own text.
class DatabaseError : public Error {
public:
    using Error::Error;
};

// Another user changed or removed the row since it was read.
class RowChangedError : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// A value that does not fit the column it is written to.
class ConversionError : public Error {
public:
    using Error::Error;
};

// A field name that the dataset does not have.
class FieldNotFoundError : public Error {
public:
    using Error::Error;
};

// An operation the dataset cannot do in its present state (delete on an empty
// dataset, writing a field outside edit or insert, ...).
class DatasetStateError : public Error {
public:
    using Error::Error;
};

} // namespace zarn
