// Any template and any values: the first bytes say where the input splits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runs/placeholders.h"

#include <QByteArray>
#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    const auto part = [&parts](qsizetype i) { return QString::fromUtf8(parts.value(i)); };
    PlaceholderValues values;
    values.engine = part(1).isEmpty() ? QStringLiteral("Excite") : part(1);
    values.exciteLocation = part(2);
    values.exciteCategory = part(3);
    values.exciteLanguage = part(4);
    values.url = part(5);
    values.email = part(6);
    values.firstName = part(7);
    values.middleInitial = part(8);
    values.lastName = part(9);
    values.localHost = part(10);

    QString filled = part(0);
    const PlaceholderPositions found = PlaceholderSubstitution(filled, values, QString());
    if (found.url < 0 || found.email < 0 || found.contact < 0)
        std::abort();
    // Encoded values hold only letters, digits, "+" and "%XX": nothing of them can form a placeholder.
    const QString encoded = EncodeValue(values.url);
    for (const QChar c : encoded)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'+' && c != u'%')
            std::abort();
    QString twice = part(0);
    PlaceholderSubstitution(twice, values, QStringLiteral("yes"));
    return 0;
}
