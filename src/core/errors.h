// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

namespace kv {

/// Base of the errors core code throws: a message the user can act on.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

/// Engine codes the system's handlers know; other engine errors carry code 0.
enum EngineCode {
    IntegrityError = 9728,
    KeyViolation = 9729,
    RequiredFieldMissing = 9732,
    ForeignKeyError = 9733,
    DetailsExist = 9734,
    LookupRange = 9736,
    RecordChanged = 10259, // the row was changed or deleted by another user since it was read
};

/// An error of the database engine, with the code the handlers switch on.
class DatabaseError : public Error
{
public:
    DatabaseError(const QString &message, int code = 0, const QString &nativeCode = {})
        : Error(message), m_code(code), m_nativeCode(nativeCode)
    {
    }
    int code() const { return m_code; }
    const QString &nativeCode() const { return m_nativeCode; }

private:
    int m_code;
    QString m_nativeCode;
};

/// A file that cannot be read or written as asked.
class FileError : public Error
{
public:
    using Error::Error;
};

/// Input the user gave that makes no sense (a number, a choice, a query text).
class InputError : public Error
{
public:
    using Error::Error;
};

} // namespace kv
