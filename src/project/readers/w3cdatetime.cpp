#include "project/readers/w3cdatetime.h"

namespace {

// Reads the fields of the text left to right; every read fails once one has.
class Fields
{
public:
    explicit Fields(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_at == m_text.size(); }
    bool take(char16_t c)
    {
        if (atEnd() || m_text.at(m_at) != c)
            return false;
        ++m_at;
        return true;
    }
    // Exactly `digits` decimal digits as a number within [low, high].
    std::optional<int> number(int digits, int low, int high)
    {
        if (m_text.size() - m_at < digits)
            return std::nullopt;
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            const char16_t c = m_text.at(m_at + i).unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c - u'0');
        }
        if (value < low || value > high)
            return std::nullopt;
        m_at += digits;
        return value;
    }
    // One digit or more; empty when there is none.
    QStringView digits()
    {
        const qsizetype start = m_at;
        while (!atEnd() && m_text.at(m_at) >= u'0' && m_text.at(m_at) <= u'9')
            ++m_at;
        return m_text.sliced(start, m_at - start);
    }

private:
    QStringView m_text;
    qsizetype m_at = 0;
};

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar.
qint64 daysFromEpoch(int year, int month, int day)
{
    const qint64 y = year - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

std::optional<W3cInstant> W3cInstant::parse(QStringView text)
{
    Fields fields(text);
    const std::optional<int> year = fields.number(4, 0, 9999);
    if (!year)
        return std::nullopt;
    int month = 1, day = 1;
    if (!fields.atEnd()) {
        const std::optional<int> m = fields.take(u'-') ? fields.number(2, 1, 12) : std::nullopt;
        if (!m)
            return std::nullopt;
        month = *m;
        if (!fields.atEnd()) {
            const std::optional<int> d =
                fields.take(u'-') ? fields.number(2, 1, daysInMonth(*year, month)) : std::nullopt;
            if (!d)
                return std::nullopt;
            day = *d;
        }
    }
    W3cInstant instant;
    instant.seconds = daysFromEpoch(*year, month, day) * 86400;
    if (fields.atEnd())
        return instant;

    if (!fields.take(u'T'))
        return std::nullopt;
    const std::optional<int> hour = fields.number(2, 0, 23);
    const std::optional<int> minute = hour && fields.take(u':') ? fields.number(2, 0, 59) : std::nullopt;
    if (!minute)
        return std::nullopt;
    int second = 0;
    if (fields.take(u':')) {
        const std::optional<int> s = fields.number(2, 0, 59);
        if (!s)
            return std::nullopt;
        second = *s;
        if (fields.take(u'.')) {
            QStringView fraction = fields.digits();
            if (fraction.isEmpty())
                return std::nullopt;
            while (fraction.endsWith(u'0'))
                fraction.chop(1);
            instant.fraction = fraction.toString();
        }
    }
    int offset = 0;
    if (!fields.take(u'Z')) {
        const int sign = fields.take(u'+') ? 1 : fields.take(u'-') ? -1 : 0;
        const std::optional<int> hours = sign != 0 ? fields.number(2, 0, 23) : std::nullopt;
        const std::optional<int> minutes = hours && fields.take(u':') ? fields.number(2, 0, 59) : std::nullopt;
        if (!minutes)
            return std::nullopt;
        offset = sign * (*hours * 3600 + *minutes * 60);
    }
    if (!fields.atEnd())
        return std::nullopt;
    instant.seconds += *hour * 3600 + *minute * 60 + second - offset;
    return instant;
}

bool sameLastmod(QStringView a, QStringView b)
{
    if (a == b)
        return true;
    const std::optional<W3cInstant> first = W3cInstant::parse(a);
    if (!first)
        return false;
    const std::optional<W3cInstant> second = W3cInstant::parse(b);
    return second && *first == *second;
}
