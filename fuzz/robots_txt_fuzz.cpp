// Any robots.txt, asked about paths taken from the input itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "checks/robotstxt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const checks::RobotsTxt rules = checks::RobotsTxt::parse(text);
    // The file's own lines as paths: patterns meet the text they came from.
    for (const QByteArray &line : text.first(qMin<qsizetype>(text.size(), 4096)).toByteArray().split('\n'))
        rules.allows(line);
    if (!rules.allows("/robots.txt"))
        std::abort(); // robots.txt itself is always allowed
    for (const QByteArray &sitemap : rules.sitemaps())
        if (sitemap.isEmpty())
            std::abort();
    return 0;
}
