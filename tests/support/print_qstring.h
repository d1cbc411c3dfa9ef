#pragma once

#include <QString>
#include <ostream>

// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
