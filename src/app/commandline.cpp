#include "app/commandline.h"

StartupFlags ParseCommandLine(const QStringList &arguments)
{
    StartupFlags flags;
    // Like the platform's argument accessor, an index past the end reads as "".
    const auto argument = [&arguments](qsizetype i) { return i < arguments.size() ? arguments.at(i) : QString(); };
    const qsizetype last = arguments.size() - 1; // the number of arguments after the program

    for (qsizetype i = 0; i <= last; ++i) {
        flags.ParameterText += argument(i).toLower() + QLatin1Char('\n');
        const QString current = argument(i);
        if (current == QLatin1String("/run"))
            flags.RunFlag = true;
        if (current == QLatin1String("/search"))
            flags.SearchFlag = true;
        if (current == QLatin1String("/debug"))
            flags.DebugMode = true;
        if (current == QLatin1String("/test"))
            flags.TestMode = true;
        if (current == QLatin1String("/exit"))
            flags.ExitFlag = true;
        if (current == QLatin1String("/load")) {
            flags.LoadFlag = true;
            flags.LoadArgument = argument(++i);
        }
        // After "/load" this looks at the argument it consumed.
        if (argument(i) == QLatin1String("/urllist")) {
            flags.UrlListFlag = true;
            flags.UrlListArgument = argument(++i);
        }
    }
    return flags;
}
