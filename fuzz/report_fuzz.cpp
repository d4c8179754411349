// Any URL, engine name, reason and link target written into report rows: no
// markup, no script link and no control character may come through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QBuffer>
#include <QByteArray>
#include <QList>

#include "runs/report.h"

namespace {

QStringList rows(const QString &url, const QString &engine, const QString &other)
{
    return {acceptedReportRow(url, other, true),       failureReportRow(engine, url, other, other, false),
            redirectionReportRow(url, other, QString()), redirectionReportRow(url, other, other),
            skippedEngineReportRow(engine),             timeoutReportRow(url),
            disabledReportRow(url)};
}

// The row's markup is the same whatever the values are: they bring no tag and no quote.
void sameShape(const QStringList &rows, const QStringList &plain)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString &row = rows.at(i);
        if (row.count(u'<') != plain.at(i).count(u'<') || row.count(u'"') != plain.at(i).count(u'"'))
            std::abort();
        for (const QChar c : row)
            if ((c.unicode() < 0x20 && c != u'\t' && c != u'\n') || c.unicode() == 0x7F)
                std::abort();
        const QString lower = row.toLower();
        for (const char *scheme : {"href=\"javascript:", "href=\"vbscript:", "href=\"data:"})
            if (lower.contains(QLatin1String(scheme)))
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    const QString url = QString::fromUtf8(parts.value(0));
    const QString engine = QString::fromUtf8(parts.value(1));
    const QString other = QString::fromUtf8(parts.value(2));
    const QString plainOther = other.isEmpty() ? QString() : QStringLiteral("o");
    sameShape(rows(url, engine, other), rows(QStringLiteral("u"), QStringLiteral("e"), plainOther));

    ReportContext context;
    context.ProjectFile = engine;
    context.HomePageURL = url;
    context.ResponseFileName = other;
    ReportContext plain;
    plain.ProjectFile = QStringLiteral("e");
    plain.HomePageURL = QStringLiteral("u");
    plain.ResponseFileName = plainOther;
    const auto written = [](const QString &engine, const QString &url, const ReportContext &context) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WriteReport(buffer, ReportHeader, QString(), context);
        WriteReport(buffer, ReportEngineHeading, engine, context);
        WriteReport(buffer, ReportURLRow, url, context);
        return QString::fromUtf8(buffer.data()).remove(u'\r');
    };
    sameShape({written(engine, url, context)}, {written(QStringLiteral("e"), QStringLiteral("u"), plain)});
    return 0;
}
