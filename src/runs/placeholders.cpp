#include "runs/placeholders.h"

#include "engines/countrycodes.h"
#include "net/urlcodec.h"

#include <array>

namespace {

enum Placeholder { Location, Category, Language, Url, Email, Contact, FirstName, MiddleName, LastName, Ip, Key, Count };

constexpr std::array<const char *, Count> Names = {"$LOCATION", "$CATEGORY", "$LANGUAGE", "$URL", "$EMAIL", "$CONTACT",
                                                   "$FNAME",    "$MNAME",    "$LNAME",    "$IP",  "$KEY"};

QString valueOf(Placeholder placeholder, const PlaceholderValues &values)
{
    const bool excite = values.engine == QLatin1String("Excite");
    switch (placeholder) {
    case Location:
        return excite ? LookupCountryCode(values.exciteLocation) : QString();
    case Category:
        return excite ? values.exciteCategory : QString();
    case Language:
        return excite ? values.exciteLanguage : QString();
    case Url:
        return values.url;
    case Email:
        return values.email;
    case Contact:
        if (values.middleInitial.isEmpty())
            return values.firstName + QLatin1Char(' ') + values.lastName;
        return values.firstName + QLatin1Char(' ') + values.middleInitial + QLatin1Char(' ') + values.lastName;
    case FirstName:
        return values.firstName;
    case MiddleName:
        return values.middleInitial;
    case LastName:
        return values.lastName;
    case Ip:
        return values.localHost;
    case Key:
        return values.indexNowKey;
    case Count:
        break;
    }
    return QString();
}

} // namespace

QString EncodeValue(const QString &text)
{
    TURLCodec codec;
    codec.setInputString(text.toUtf8());
    return QString::fromLatin1(codec.Encode());
}

PlaceholderPositions PlaceholderSubstitution(QString &templ, const PlaceholderValues &values, const QString &encodeText,
                                             const ValueEncoder &encoder)
{
    PlaceholderPositions found;
    // Every pass after the one that filled the template usually finds nothing.
    if (!templ.contains(QLatin1Char('$')))
        return found;
    const bool encode = encodeText != QLatin1String("yes");
    for (int i = 0; i < Count; ++i) {
        const auto placeholder = static_cast<Placeholder>(i);
        const QLatin1String name(Names[size_t(i)]);
        const qsizetype at = templ.indexOf(name);
        if (placeholder == Url)
            found.url = int(at + 1);
        else if (placeholder == Email)
            found.email = int(at + 1);
        else if (placeholder == Contact)
            found.contact = int(at + 1);
        if (at < 0)
            continue;
        QString value = valueOf(placeholder, values);
        if (encode)
            value = encoder ? encoder(value) : EncodeValue(value);
        templ.replace(at, name.size(), value);
    }
    return found;
}
