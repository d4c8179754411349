#include "runs/commandline.h"

#include <array>

namespace {

constexpr std::array<const char *, 8> Switches = {"/run",  "/search", "/debug",   "/test",
                                                  "/exit", "/load",   "/urllist", "/sitemap"};

bool isSwitch(const QString &argument)
{
    for (const char *name : Switches)
        if (argument == QLatin1String(name))
            return true;
    return false;
}

} // namespace

const char CommandLineUsage[] =
    "Usage: quillcast [/load PROJECT.qlc [/urllist URLS.txt | /sitemap SITEMAP] [/run] [/search] [/exit]]\n"
    "                 [/debug] [/test]\n"
    "\n"
    "Keeps site owners' projects and submits their URLs to search engines.\n"
    "Everything is read from and written to the current directory.\n"
    "\n"
    "  /load FILE     open the project FILE (relative to the current directory, or absolute)\n"
    "  /urllist FILE  make the project's URLs the lines of FILE; URLs already submitted stay so\n"
    "  /sitemap FILE  the same from a sitemap (a file or an http(s) URL); changed pages go again\n"
    "  /run           submit every URL still to submit to the chosen engines\n"
    "  /search        ask the chosen engines which URLs they do not list yet\n"
    "  /exit          end the program after the steps above\n"
    "  /debug         show diagnostic lines and the working page\n"
    "  /test          send requests to the test server instead of the engines\n"
    "  -h, --help     this text\n"
    "  --version      the program's version\n"
    "\n"
    "Run with /exit, or without a display, the program ends by itself with status\n"
    "  0  every step ran and every request was answered (nothing is printed)\n"
    "  1  a step could not run (project, URL list, sender, engine list, directory in use)\n"
    "  2  the command line is wrong\n"
    "  3  the run finished, but some requests failed or timed out\n"
    "and, unless the status is 0, a summary per engine on standard error.\n";

StartupFlags ParseCommandLine(const QStringList &arguments)
{
    StartupFlags flags;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString current = arguments.at(i);
        flags.ParameterText += current.toLower() + QLatin1Char('\n');
        if (i == 0)
            continue; // the program
        if (current == QLatin1String("/run")) {
            flags.RunFlag = true;
        } else if (current == QLatin1String("/search")) {
            flags.SearchFlag = true;
        } else if (current == QLatin1String("/debug")) {
            flags.DebugMode = true;
        } else if (current == QLatin1String("/test")) {
            flags.TestMode = true;
        } else if (current == QLatin1String("/exit")) {
            flags.ExitFlag = true;
        } else if (current == QLatin1String("/load") || current == QLatin1String("/urllist") ||
                   current == QLatin1String("/sitemap")) {
            if (i + 1 >= arguments.size() || isSwitch(arguments.at(i + 1)) || arguments.at(i + 1).isEmpty()) {
                flags.UsageErrors << QStringLiteral("\"%1\" needs a file name after it").arg(current);
                // An empty argument is the missing name itself, not a switch of its own.
                if (i + 1 < arguments.size() && arguments.at(i + 1).isEmpty())
                    ++i;
                continue;
            }
            const bool load = current == QLatin1String("/load"), list = current == QLatin1String("/urllist");
            (load ? flags.LoadFlag : list ? flags.UrlListFlag : flags.SitemapFlag) = true;
            (load ? flags.LoadArgument : list ? flags.UrlListArgument : flags.SitemapArgument) = arguments.at(++i);
        } else if (current == QLatin1String("--help") || current == QLatin1String("-h") ||
                   current == QLatin1String("--version")) {
            continue;
        } else {
            flags.UsageErrors << QStringLiteral("unknown switch \"%1\"").arg(current);
        }
    }
    if (flags.UrlListFlag && flags.SitemapFlag)
        flags.UsageErrors << QStringLiteral("\"/urllist\" and \"/sitemap\" cannot both be given");
    if (!flags.LoadFlag) {
        for (const auto &[set, name] :
             {std::pair{flags.UrlListFlag, "/urllist"}, std::pair{flags.SitemapFlag, "/sitemap"},
              std::pair{flags.RunFlag, "/run"}, std::pair{flags.SearchFlag, "/search"}})
            if (set)
                flags.UsageErrors
                    << QStringLiteral("\"%1\" needs a project named by \"/load\"").arg(QLatin1String(name));
    }
    return flags;
}
