#include "support/temp_dir.h"

#include <QFile>

namespace quel::test {

TempDir::TempDir()
{
    m_dir.setAutoRemove(true);
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QByteArray TempDir::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString binDir()
{
    return qEnvironmentVariable("QUELMAR_BIN");
}

QString testDataDir()
{
    return qEnvironmentVariable("QUELMAR_TESTDATA");
}

} // namespace quel::test
