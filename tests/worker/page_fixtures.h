#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure output for the texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace quel::worker::test {

// Folder of the worker's fixed pages and expected result files.
QString pagesDir();
QString expectedDir();

// A fixed page's body markup as the browser engine gives it (line breaks as CR LF).
QString pageMarkup(const QString& name);
// An expected result file, byte for byte.
QByteArray expectedResult(const QString& name);

// Runs the item walk over pages given in the order the clicks would load them and returns
// the bytes the result file would hold ("" for an empty result, "FAIL " and the reason for a
// failed job).
QByteArray walkPages(const QStringList& pages);

} // namespace quel::worker::test
