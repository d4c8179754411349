// Any command line: NUL bytes split the input into arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runs/commandline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QStringList arguments{QStringLiteral("quillcast")};
    for (const QByteArray &piece : bytes.split('\0'))
        arguments << QString::fromUtf8(piece);
    const StartupFlags flags = ParseCommandLine(arguments);

    // A file argument is never a switch, and never empty.
    for (const auto &[set, value] : {std::pair{flags.LoadFlag, flags.LoadArgument},
                                     std::pair{flags.UrlListFlag, flags.UrlListArgument}}) {
        if (set && (value.isEmpty() || value == QLatin1String("/run") || value == QLatin1String("/exit")))
            std::abort();
        if (!set && !value.isEmpty())
            std::abort();
    }
    // A step that needs a project without one is always a usage error.
    if ((flags.RunFlag || flags.SearchFlag || flags.UrlListFlag) && !flags.LoadFlag && flags.UsageErrors.isEmpty())
        std::abort();
    return 0;
}
