#pragma once
// The one hierarchy of errors that the core raises. Each carries the text the operator sees;
// the general error handler of the windows (and qpx-cli) shows it.
#include <QByteArray>
#include <QString>
#include <exception>

class QpxError : public std::exception
{
public:
    explicit QpxError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString &text() const noexcept { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// Run-time range check of the program's own arithmetic and array indexing.
class RangeError : public QpxError
{
public:
    RangeError() : QpxError(QStringLiteral("Range check error")) {}
};

// Run-time overflow check of the program's own arithmetic.
class OverflowError : public QpxError
{
public:
    OverflowError() : QpxError(QStringLiteral("Integer overflow")) {}
};

// A text that does not convert to a number or a date and time under the regional settings.
class ConvertError : public QpxError
{
public:
    using QpxError::QpxError;
    static ConvertError notFloat(const QString &text)
    {
        return ConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    }
    static ConvertError notDateTime(const QString &text)
    {
        return ConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    }
    static ConvertError notInteger(const QString &text)
    {
        return ConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
};

// Failures of the table file layer (open, create, write, index).
class DbfError : public QpxError
{
public:
    using QpxError::QpxError;
};

// A failed write of the table file; the file stays readable with every earlier row.
class DbfWriteError : public DbfError
{
public:
    using DbfError::DbfError;
};
