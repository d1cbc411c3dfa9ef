#include "exports/column_name.h"

namespace quel::exports {

QString ExcelColumnName(int n)
{
    // Bijective base 26: there is no zero digit, so Z is followed by AA.
    QString name;
    while (n > 0) {
        const int r = (n - 1) % 26;
        name.prepend(QChar(u'A' + r));
        n = (n - 1) / 26;
    }
    return name;
}

} // namespace quel::exports
