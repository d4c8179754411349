#pragma once

#include <QString>
#include <QStringList>

// The start-up flags. Set once from the command line and never cleared.
struct StartupFlags
{
    bool DebugMode = false;  // "/debug"
    bool TestMode = false;   // "/test"
    bool LoadFlag = false;   // "/load" + project file, relative to the base directory or absolute
    bool UrlListFlag = false; // "/urllist" + URL list file
    bool SitemapFlag = false; // "/sitemap" + sitemap file or http(s) URL, instead of "/urllist"
    bool RunFlag = false;    // "/run": submit after the automatic open
    bool SearchFlag = false; // "/search": search the URLs after the automatic open (and run)
    bool ExitFlag = false;   // "/exit": end the program after the automatic open (and runs)
    QString LoadArgument;
    QString UrlListArgument;
    QString SitemapArgument;
    // Every argument that was looked at, lower-cased, each followed by a line feed
    // (shown in the "All Parameters" box in debug mode).
    QString ParameterText;
    // What is wrong with the command line, one text per mistake, each naming the
    // argument: an unknown switch, a switch without its argument, a step that
    // needs a project without "/load", "/urllist" and "/sitemap" together.
    // Empty when the line is sound.
    QStringList UsageErrors;
};

// Parses arguments as the program received them (argument 0 is the program).
// Switches match exactly, letter case included. "/load", "/urllist" and
// "/sitemap" take the next argument, which must be there and must not be one
// of the switches (an absolute path is an argument, not a switch); a consumed
// argument is not listed. "--help", "-h" and "--version" are answered before the window is made
// and are passed over here.
StartupFlags ParseCommandLine(const QStringList &arguments);

// The usage text of --help.
extern const char CommandLineUsage[];
