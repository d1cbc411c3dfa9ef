#include "widgets/value_helpers.h"

#include <QDateTime>
#include <QLineEdit>
#include <cmath>
#include <optional>

namespace quel::widgets {

namespace {

const QDate kSerialEpoch(1899, 12, 30);

std::optional<QDateTime> parseDate(const QString& text)
{
    const QString t = text.trimmed();
    static const char* const formats[] = {
        "yyyy-M-d H:m:s",
        "yyyy-M-d H:m",
        "yyyy-M-d",
        "yyyy/M/d H:m:s",
        "yyyy/M/d",
        "yyyy.M.d",
        "M/d/yyyy",
        "yyyy年M月d日",
    };
    for (const char* format : formats) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromUtf8(format));
        if (dt.isValid())
            return dt;
    }
    return std::nullopt;
}

// Date serial as the old date type counted: days since 1899-12-30, time as a fraction.
double serialOf(const QDateTime& dt)
{
    return static_cast<double>(kSerialEpoch.daysTo(dt.date()))
        + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime dateOfSerial(double serial)
{
    const auto days = static_cast<qint64>(std::floor(serial));
    const auto msecs = static_cast<int>(std::llround((serial - days) * 86400000.0));
    return QDateTime(kSerialEpoch.addDays(days), QTime(0, 0)).addMSecs(msecs);
}

bool isDate(const QVariant& v)
{
    return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
}

bool isInteger(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

QDateTime asDateTime(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QString) {
        if (auto dt = parseDate(v.toString()))
            return *dt;
        bool ok = false;
        const double number = v.toString().toDouble(&ok);
        return ok ? dateOfSerial(number) : QDateTime();
    }
    bool ok = false;
    const double number = v.toDouble(&ok);
    return ok ? dateOfSerial(number) : QDateTime();
}

double numericValue(const QVariant& v)
{
    if (isDate(v))
        return serialOf(asDateTime(v));
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = v.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
        if (auto dt = parseDate(v.toString()))
            return serialOf(*dt);
        return 0;
    }
    return v.toDouble();
}

QVariant numberLike(const QVariant& value, double bound)
{
    if (isInteger(value) && bound == std::floor(bound))
        return QVariant::fromValue(static_cast<qlonglong>(bound));
    return QVariant(bound);
}

} // namespace

long IndexOfText(const QString& text, const QStringList& array)
{
    for (qsizetype i = 1; i < array.size(); ++i) {
        if (array.at(i) == text)
            return static_cast<long>(i);
    }
    return -1;
}

long IndexOfValue(long value, const std::vector<long>& array)
{
    for (std::size_t i = 0; i < array.size(); ++i) {
        if (array[i] == value)
            return static_cast<long>(i);
    }
    return -1;
}

void ClampToRange(QVariant& value, const QVariant& a, const QVariant& b)
{
    QVariant low = a;
    QVariant high = b;
    if (numericValue(low) > numericValue(high))
        std::swap(low, high);

    if (isInteger(value) || isFloating(value)) {
        const double v = value.toDouble();
        const double hi = numericValue(high);
        const double lo = numericValue(low);
        if (v > hi)
            value = numberLike(value, hi);
        if (value.toDouble() < lo)
            value = numberLike(value, lo);
        return;
    }
    if (isDate(value)) {
        const QDateTime hi = asDateTime(high);
        const QDateTime lo = asDateTime(low);
        const bool dateOnly = value.typeId() == QMetaType::QDate;
        QDateTime v = asDateTime(value);
        if (hi.isValid() && v > hi)
            v = hi;
        if (lo.isValid() && v < lo)
            v = lo;
        value = dateOnly ? QVariant(v.date()) : QVariant(v);
    }
}

void ClampRowRange(int rows, int fixedRows, QString& start, QString& end)
{
    const auto wholeNumber = [](const QString& text) -> QVariant {
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        return QVariant::fromValue(ok ? static_cast<qlonglong>(std::llround(number)) : 0LL);
    };
    const QVariant high = QVariant::fromValue(static_cast<qlonglong>(rows - fixedRows));
    const QVariant low = QVariant::fromValue(1LL);
    QVariant s = wholeNumber(start);
    QVariant e = wholeNumber(end);
    ClampToRange(s, low, high);
    ClampToRange(e, low, high);
    start = QString::number(s.toLongLong());
    end = QString::number(e.toLongLong());
}

void ClampRowRange(int rows, int fixedRows, QLineEdit* startBox, QLineEdit* endBox)
{
    if (!startBox || !endBox)
        return;
    QString start = startBox->text();
    QString end = endBox->text();
    ClampRowRange(rows, fixedRows, start, end);
    startBox->setText(start);
    endBox->setText(end);
}

} // namespace quel::widgets
