#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <utility>

namespace quel::db {

// What a column holds, from its declared type.
enum class ColumnKind
{
    Other,
    Text,
    Integer,
    Real,
    Date
};
ColumnKind columnKindOfDeclType(const QString& declType);

struct ColumnInfo
{
    QString name;
    QString declType;
    ColumnKind kind = ColumnKind::Other;
};

enum class StepResult
{
    Row, // a row is ready to be read
    Done, // the statement ran to its end
    Error // the engine refused; errorText() says why
};

// One engine's prepared statement. Parameters are numbered from 1, columns from 0.
class StatementCore
{
public:
    virtual ~StatementCore() = default;

    virtual void bindNull(int index) = 0;
    virtual void bindInt64(int index, qint64 value) = 0;
    virtual void bindDouble(int index, double value) = 0;
    // The text is copied: the caller's buffer may go at once.
    virtual void bindText(int index, QByteArrayView utf8) = 0;
    virtual void bindBlob(int index, QByteArrayView bytes) = 0;

    virtual StepResult step() = 0;
    // Steps to the end; false on an error.
    bool runToEnd();
    // Runs a statement that returns no rows, leaving its outcome to whatever waits next (see
    // Statement::send). Here it runs to its end.
    virtual bool send() { return runToEnd(); }
    // Back to before the first step; the bindings stay.
    virtual void reset() = 0;
    virtual void clearBindings() = 0;
    // Stepped and not yet reset: a cached statement in this state is not handed out again.
    virtual bool busy() const = 0;

    virtual int columnCount() const = 0;
    // Name, declared type and kind of a result column (known before the first step).
    virtual ColumnInfo column(int index) const = 0;
    virtual bool isNull(int index) const = 0;
    virtual qint64 int64(int index) const = 0;
    virtual double real(int index) const = 0;
    // The current row's value as UTF-8, valid until the next step or reset.
    virtual QByteArrayView utf8(int index) const = 0;
    // The current row's value: qlonglong, double, QString (dates as stored text),
    // QByteArray, or a null QVariant.
    virtual QVariant value(int index) const = 0;

    // Rows written by the last completed step of an INSERT, UPDATE or DELETE.
    virtual qint64 changes() const = 0;
    virtual QString errorText() const = 0;

    // Kept by a statement cache to be run many times: an engine may make it ready once.
    virtual void keep() { }

    // Handed out by a statement cache and not given back yet: the cache neither shares nor
    // evicts it (a caller may hold it unstepped while preparing others).
    bool lent = false;
};

// A prepared statement, owned by its caller or borrowed from a database's statement cache
// (then reset and unbound when the handle goes). Engine-neutral: the same calls run on the
// embedded file and on a server.
class Statement
{
public:
    Statement() = default;
    Statement(StatementCore* core, bool owned)
        : m_core(core)
        , m_owned(owned)
    { }
    Statement(Statement&& other) noexcept
        : m_core(std::exchange(other.m_core, nullptr))
        , m_owned(other.m_owned)
    { }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { release(); }

    explicit operator bool() const { return m_core != nullptr; }
    // Gives up ownership without finishing the statement.
    StatementCore* take() { return std::exchange(m_core, nullptr); }

    void bindNull(int index) { m_core->bindNull(index); }
    void bindInt64(int index, qint64 value) { m_core->bindInt64(index, value); }
    void bindDouble(int index, double value) { m_core->bindDouble(index, value); }
    void bindText(int index, QByteArrayView utf8) { m_core->bindText(index, utf8); }
    void bindText(int index, const QByteArray& utf8) { m_core->bindText(index, utf8); }
    void bindText(int index, const char* utf8) { m_core->bindText(index, utf8); }
    void bindText(int index, const QString& text) { m_core->bindText(index, text.toUtf8()); }
    // qlonglong/int/bool, double, QString, QByteArray (as a blob) or null.
    void bind(int index, const QVariant& value);

    StepResult step() { return m_core->step(); }
    // Steps a statement that returns no rows to its end; false on an error.
    bool run();
    // Runs a write inside a transaction without waiting for its outcome where the engine can
    // (a server then sends it with the next statement that waits): false only when it could
    // not be sent. A refusal fails the next statement that waits, and so the transaction's
    // commit; changes() is not known afterwards.
    bool send() { return m_core->send(); }
    void reset() { m_core->reset(); }

    int columnCount() const { return m_core->columnCount(); }
    ColumnInfo column(int index) const { return m_core->column(index); }
    bool isNull(int index) const { return m_core->isNull(index); }
    qint64 int64(int index) const { return m_core->int64(index); }
    double real(int index) const { return m_core->real(index); }
    QByteArrayView utf8(int index) const { return m_core->utf8(index); }
    QString text(int index) const { return QString::fromUtf8(m_core->utf8(index)); }
    QVariant value(int index) const { return m_core->value(index); }

    qint64 changes() const { return m_core->changes(); }
    QString errorText() const { return m_core ? m_core->errorText() : QString(); }

private:
    void release();
    StatementCore* m_core = nullptr;
    bool m_owned = true;
};

} // namespace quel::db
