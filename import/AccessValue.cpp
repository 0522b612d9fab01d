#include "import/AccessValue.h"

#include "conversions/Conversions.h"

#include <QDate>

#include <cmath>

namespace {

std::optional<double> number(const QString& raw)
{
    bool ok = false;
    const double value = raw.toDouble(&ok); // C notation whatever the locale
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<qint64> wholeNumber(const QString& raw)
{
    bool ok = false;
    const qint64 value = raw.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// An Access date is the number of days since 30 December 1899, with the time of day as its fraction; before that
// day the whole days count backwards and the fraction still counts forwards, so the day is the whole part.
std::optional<QString> dateText(const QString& raw, Field field)
{
    const std::optional<double> days = number(raw);
    // 1 January 100 to 31 December 9999.
    if (!days || *days < -657434.0 || *days >= 2958466.0)
        return std::nullopt;
    const QDate date = QDate(1899, 12, 30).addDays(qint64(std::trunc(*days)));
    return date.toString(field == Field::fcaducidad ? QStringLiteral("MM/yyyy") : QStringLiteral("dd/MM/yyyy"));
}

} // namespace

bool convertsToText(AccessType type)
{
    switch (type) {
    case AccessType::Binary:
    case AccessType::OleObject:
        return false;
    case AccessType::YesNo:
    case AccessType::Byte:
    case AccessType::Integer:
    case AccessType::LongInteger:
    case AccessType::Currency:
    case AccessType::Single:
    case AccessType::Double:
    case AccessType::DateTime:
    case AccessType::Text:
    case AccessType::Memo:
    case AccessType::ReplicationId:
    case AccessType::Decimal:
    case AccessType::Complex:
        return true;
    }
    return false;
}

bool isTextType(AccessType type)
{
    return type == AccessType::Text || type == AccessType::Memo;
}

std::optional<QString> storedText(AccessType type, const QString& raw, Field field)
{
    switch (type) {
    case AccessType::Text:
    case AccessType::Memo:
    case AccessType::ReplicationId:
        return raw;
    case AccessType::YesNo:
        if (raw == QLatin1String("1"))
            return Str(-1);
        if (raw == QLatin1String("0"))
            return Str(0);
        return std::nullopt;
    case AccessType::Byte:
    case AccessType::Integer:
    case AccessType::LongInteger:
    case AccessType::Complex:
        if (const std::optional<qint64> value = wholeNumber(raw))
            return Str(double(*value));
        return std::nullopt;
    case AccessType::Currency: // a whole number of ten-thousandths
        if (const std::optional<qint64> value = wholeNumber(raw))
            return Str(double(*value) / 10000.0);
        return std::nullopt;
    case AccessType::Single: // seven significant digits, as a single holds them
        if (const std::optional<double> value = number(raw))
            return Str(QString::number(*value, 'g', 7).toDouble());
        return std::nullopt;
    case AccessType::Double:
    case AccessType::Decimal:
        if (const std::optional<double> value = number(raw))
            return Str(*value);
        return std::nullopt;
    case AccessType::DateTime:
        return dateText(raw, field);
    case AccessType::Binary:
    case AccessType::OleObject:
        return std::nullopt;
    }
    return std::nullopt;
}
