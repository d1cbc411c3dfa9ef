#include "db/statement.h"

namespace quel::db {

ColumnKind columnKindOfDeclType(const QString& declType)
{
    const QString t = declType.toUpper();
    if (t.isEmpty())
        return ColumnKind::Other;
    if (t.startsWith(QLatin1String("DATE")) || t.startsWith(QLatin1String("TIME")))
        return ColumnKind::Date;
    // SQLite's own affinity rules, in their order.
    if (t.contains(QLatin1String("INT")))
        return ColumnKind::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
        || t.contains(QLatin1String("TEXT")))
        return ColumnKind::Text;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA"))
        || t.contains(QLatin1String("DOUB")))
        return ColumnKind::Real;
    return ColumnKind::Other;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        release();
        m_core = std::exchange(other.m_core, nullptr);
        m_owned = other.m_owned;
    }
    return *this;
}

void Statement::release()
{
    if (!m_core)
        return;
    if (m_owned) {
        delete m_core;
    } else {
        m_core->reset();
        m_core->clearBindings();
        m_core->lent = false;
    }
    m_core = nullptr;
}

void Statement::bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        bindInt64(index, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        return;
    case QMetaType::QByteArray:
        m_core->bindBlob(index, value.toByteArray());
        return;
    default:
        bindText(index, value.toString());
    }
}

bool StatementCore::runToEnd()
{
    StepResult rc;
    while ((rc = step()) == StepResult::Row) { }
    return rc == StepResult::Done;
}

bool Statement::run()
{
    return m_core->runToEnd();
}

} // namespace quel::db
