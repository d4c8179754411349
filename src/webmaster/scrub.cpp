#include "webmaster/scrub.h"

#include "net/urlcodec.h"

namespace webmaster {

QString scrubbed(const QString &text, const QList<QByteArray> &secrets, qsizetype maxChars)
{
    QString result = text;
    for (const QByteArray &secret : secrets) {
        if (secret.isEmpty())
            continue;
        TURLCodec codec;
        codec.setInputString(secret);
        // An echo of the request carries the secret as it was encoded, where %2b and %2B are the same
        // byte; a server that changes its letter case gives away no less of it.
        for (const QByteArray &spelling : {secret, codec.Encode(), secret.toPercentEncoding()})
            result.replace(QString::fromLatin1(spelling), QStringLiteral("[hidden]"), Qt::CaseInsensitive);
    }
    for (QChar &c : result) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    if (result.size() > maxChars) {
        result.truncate(maxChars);
        if (!result.isEmpty() && result.back().isHighSurrogate())
            result.chop(1);
        result += QStringLiteral("...");
    }
    return result;
}

} // namespace webmaster
