#pragma once

#include <QString>
#include <QStringList>

// The start-up flags. Set once from the command line and never cleared.
struct StartupFlags
{
    bool DebugMode = false;   // "/debug"
    bool TestMode = false;    // "/test"
    bool LoadFlag = false;    // "/load" + project file, relative to the base directory or absolute
    bool UrlListFlag = false; // "/urllist" + URL list file
    bool SitemapFlag = false; // "/sitemap" + sitemap file or http(s) URL, instead of "/urllist"; may repeat
    bool NewKeyFlag = false;  // "/newkey": make an IndexNow key for a project without one
    bool KeyFileFlag = false; // "/keyfile" + directory: write the IndexNow key file there
    bool RunFlag = false;     // "/run": submit after the automatic open
    bool CheckFlag = false;   // "/check": the run checks every page first, as the project's [Checks] Pages=1
    bool SearchFlag = false;  // "/search": search the URLs after the automatic open (and run)
    bool ExitFlag = false;    // "/exit": end the program after the automatic open (and runs)
    QString LoadArgument;
    QString UrlListArgument;
    QStringList SitemapArguments; // in command-line order, each once
    QString KeyFileArgument;
    // Every argument that was looked at, lower-cased, each followed by a line feed
    // (shown in the "All Parameters" box in debug mode).
    QString ParameterText;
    // What is wrong with the command line, one text per mistake, each naming the
    // argument: an unknown switch, a switch without its argument, a step that
    // needs a project without "/load" (a run's "/check" included), "/urllist" and
    // "/sitemap" together.
    // Empty when the line is sound.
    QStringList UsageErrors;

    // A step that writes to the base directory or the project: an import, a
    // key, a run or a search.
    bool hasWork() const { return UrlListFlag || SitemapFlag || NewKeyFlag || KeyFileFlag || RunFlag || SearchFlag; }
};

// Parses arguments as the program received them (argument 0 is the program).
// Switches match exactly, letter case included. "/load", "/urllist", "/sitemap"
// and "/keyfile" take the next argument, which must be there and must not be
// one of the switches (an absolute path is an argument, not a switch); a
// consumed argument is not listed. "/sitemap" may be given several times.
// "--help", "-h" and "--version" are answered before the window is made and
// are passed over here.
StartupFlags ParseCommandLine(const QStringList &arguments);

// A project loaded from another directory whose own directory holds a
// urls2.db: its URLs are there, not in baseDir. Then the text that says where
// to start, e.g.
//   the base directory /root holds no urls2.db, but /home/ann/qc (where
//   mysite.qlc is) does: start in /home/ann/qc (cd /home/ann/qc) so that the
//   project's URLs and what they were sent are found.
// (or "the base directory /root is not /home/ann/qc, where mysite.qlc and its
// urls2.db are: ..." when baseDir holds a urls2.db as well).
// "" otherwise (no "/load", the project file missing, the project in baseDir,
// or no urls2.db beside it). Looks at the file system only; creates nothing.
QString MisplacedBaseDirectory(const QString &baseDir, const StartupFlags &flags);

// The usage text of --help.
extern const char CommandLineUsage[];

// The "All Parameters" text: every argument as the command line listed it,
// lower-cased, each switch that took a file or directory followed by it as given.
QString ParametersWithValues(const StartupFlags &flags);
