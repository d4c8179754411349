#include "runs/commandline.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace {

constexpr std::array<const char *, 11> Switches = {"/run",  "/check",   "/search",  "/debug",  "/test",   "/exit",
                                                   "/load", "/urllist", "/sitemap", "/newkey", "/keyfile"};

// The URL table's file, as UrlTable names it in the base directory.
constexpr const char *UrlTableFileName = "urls2.db";

bool isSwitch(const QString &argument)
{
    for (const char *name : Switches)
        if (argument == QLatin1String(name))
            return true;
    return false;
}

} // namespace

const char CommandLineUsage[] =
    "Usage: quillcast [/load PROJECT.qlc [/urllist URLS.txt | /sitemap SITEMAP...] [/newkey] [/keyfile DIR]\n"
    "                 [/run [/check]] [/search] [/exit]] [/debug] [/test]\n"
    "\n"
    "Keeps site owners' projects and submits their URLs to search engines.\n"
    "Everything is read from and written to the current directory.\n"
    "\n"
    "  /load FILE     open the project FILE (relative to the current directory, or absolute)\n"
    "  /urllist FILE  make the project's URLs the lines of FILE; URLs already submitted stay so\n"
    "  /sitemap FILE  the same from a sitemap (a file or an http(s) URL); changed pages go again;\n"
    "                 given several times, the pages of all the sitemaps together\n"
    "  /newkey        make an IndexNow key for a project that has none and save it in the project\n"
    "  /keyfile DIR   write the project's IndexNow key file <key>.txt into the directory DIR\n"
    "  /run           submit every URL still to submit to the chosen engines\n"
    "  /check         with /run: check every page first; send only what changed and may be indexed\n"
    "  /search        ask the chosen engines which URLs they do not list yet\n"
    "  /exit          end the program after the steps above\n"
    "  /debug         show diagnostic lines and the working page; without a window, the\n"
    "                 run's status lines go to standard error\n"
    "  /test          send requests to the test server instead of the engines\n"
    "  -h, --help     this text\n"
    "  --version      the program's version\n"
    "\n"
    "Run with /exit, or without a display, the program ends by itself with status\n"
    "  0  every step ran and every request was answered; URLs waiting for an engine's quota\n"
    "     or for the time its Retry-After named are no failure\n"
    "  1  a step could not run (project, URL list, sitemap, sender, engine list, IndexNow key,\n"
    "     a file that cannot be written, directory in use)\n"
    "  2  the command line is wrong\n"
    "  3  the run finished, but something needs looking at: requests failed or timed out\n"
    "     (a 429 among them, with the time to wait), pages could not be checked, the project\n"
    "     chooses an engine no engine list holds, a site does not publish the IndexNow key,\n"
    "     or URLs have waited for an engine's quota for more than 7 days\n"
    "Unless the status is 0, a summary per engine goes to standard error. With status 0\n"
    "nothing is printed, but for lines of a URL list or sitemap that were passed over\n"
    "and, with /debug, the run's status lines.\n";

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
        } else if (current == QLatin1String("/check")) {
            flags.CheckFlag = true;
        } else if (current == QLatin1String("/search")) {
            flags.SearchFlag = true;
        } else if (current == QLatin1String("/debug")) {
            flags.DebugMode = true;
        } else if (current == QLatin1String("/test")) {
            flags.TestMode = true;
        } else if (current == QLatin1String("/exit")) {
            flags.ExitFlag = true;
        } else if (current == QLatin1String("/newkey")) {
            flags.NewKeyFlag = true;
        } else if (current == QLatin1String("/load") || current == QLatin1String("/urllist") ||
                   current == QLatin1String("/sitemap") || current == QLatin1String("/keyfile")) {
            const bool directory = current == QLatin1String("/keyfile");
            if (i + 1 >= arguments.size() || isSwitch(arguments.at(i + 1)) || arguments.at(i + 1).isEmpty()) {
                flags.UsageErrors << QStringLiteral("\"%1\" needs a %2 after it")
                                         .arg(current,
                                              directory ? QStringLiteral("directory") : QStringLiteral("file name"));
                // An empty argument is the missing name itself, not a switch of its own.
                if (i + 1 < arguments.size() && arguments.at(i + 1).isEmpty())
                    ++i;
                continue;
            }
            const QString value = arguments.at(++i);
            if (current == QLatin1String("/load")) {
                flags.LoadFlag = true;
                flags.LoadArgument = value;
            } else if (current == QLatin1String("/urllist")) {
                flags.UrlListFlag = true;
                flags.UrlListArgument = value;
            } else if (directory) {
                flags.KeyFileFlag = true;
                flags.KeyFileArgument = value;
            } else {
                flags.SitemapFlag = true;
                if (!flags.SitemapArguments.contains(value))
                    flags.SitemapArguments << value;
            }
        } else if (current == QLatin1String("--help") || current == QLatin1String("-h") ||
                   current == QLatin1String("--version")) {
            continue;
        } else {
            flags.UsageErrors << QStringLiteral("unknown switch \"%1\"").arg(current);
        }
    }
    if (flags.UrlListFlag && flags.SitemapFlag)
        flags.UsageErrors << QStringLiteral("\"/urllist\" and \"/sitemap\" cannot both be given");
    // The checks belong to a submission run: alone they would do nothing and say nothing.
    if (flags.CheckFlag && !flags.RunFlag)
        flags.UsageErrors << QStringLiteral("\"/check\" needs \"/run\": the pages are checked before a submission run");
    if (!flags.LoadFlag) {
        for (const auto &[set, name] :
             {std::pair{flags.UrlListFlag, "/urllist"}, std::pair{flags.SitemapFlag, "/sitemap"},
              std::pair{flags.NewKeyFlag, "/newkey"}, std::pair{flags.KeyFileFlag, "/keyfile"},
              std::pair{flags.RunFlag, "/run"}, std::pair{flags.CheckFlag, "/check"},
              std::pair{flags.SearchFlag, "/search"}})
            if (set)
                flags.UsageErrors
                    << QStringLiteral("\"%1\" needs a project named by \"/load\"").arg(QLatin1String(name));
    }
    return flags;
}

QString MisplacedBaseDirectory(const QString &baseDir, const StartupFlags &flags)
{
    if (!flags.LoadFlag)
        return {};
    const QDir base(baseDir);
    const QString table = QString::fromLatin1(UrlTableFileName);
    const QFileInfo project(base.filePath(flags.LoadArgument));
    if (!project.isFile())
        return {};
    // Whether the base directory holds a table proves nothing: a start in the
    // wrong place may have left an empty one there. The project's own directory
    // with a table of its own is where its URLs are.
    const QDir projectDir = project.absoluteDir();
    if (projectDir.canonicalPath() == base.canonicalPath() || !QFileInfo::exists(projectDir.filePath(table)))
        return {};
    const QString where = QDir::cleanPath(projectDir.absolutePath());
    const QString here = QDir::cleanPath(base.absolutePath());
    const QString found = QFileInfo::exists(base.filePath(table))
                              ? QStringLiteral("the base directory %1 is not %3, where %4 and its %2 are")
                              : QStringLiteral("the base directory %1 holds no %2, but %3 (where %4 is) does");
    return found.arg(here, table, where, project.fileName()) +
           QStringLiteral(": start in %1 (cd %1) so that the project's URLs and what they were sent are found.")
               .arg(where);
}

QString ParametersWithValues(const StartupFlags &flags)
{
    QStringList lines = flags.ParameterText.split(QLatin1Char('\n'));
    // The switch that took a value last is the one whose value counts.
    const auto lastLine = [&lines](const char *name) { return lines.lastIndexOf(QLatin1String(name)); };
    const auto addValue = [&lines](qsizetype line, const QString &value) {
        if (line > 0)
            lines[line] += QLatin1Char(' ') + value;
    };
    if (flags.LoadFlag)
        addValue(lastLine("/load"), flags.LoadArgument);
    if (flags.UrlListFlag)
        addValue(lastLine("/urllist"), flags.UrlListArgument);
    if (flags.KeyFileFlag)
        addValue(lastLine("/keyfile"), flags.KeyFileArgument);
    qsizetype line = 0;
    for (const QString &sitemap : flags.SitemapArguments) {
        line = lines.indexOf(QLatin1String("/sitemap"), line + 1);
        addValue(line, sitemap);
        if (line < 0)
            break;
    }
    return lines.join(QLatin1Char('\n'));
}
