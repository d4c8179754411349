#pragma once

#include <QString>
#include <QStringList>

// The start-up flags. Set once from the command line and never cleared.
struct StartupFlags
{
    bool DebugMode = false;  // "/debug"
    bool TestMode = false;   // "/test"
    bool LoadFlag = false;   // "/load" + project file, relative to the base directory
    bool UrlListFlag = false; // "/urllist" + URL list file
    bool RunFlag = false;    // "/run": submit after the automatic open
    bool SearchFlag = false; // "/search": search the URLs after the automatic open (and run)
    bool ExitFlag = false;   // "/exit": end the program after the automatic open (and runs)
    QString LoadArgument;
    QString UrlListArgument;
    // Every argument that was looked at, lower-cased, each followed by a line feed
    // (shown in the "All Parameters" box in debug mode).
    QString ParameterText;
};

// Parses arguments as the program received them (argument 0 is the program).
// Switches match exactly, letter case included; "/load" and "/urllist" consume
// the next argument (an empty one at the end of the line), and a consumed
// argument is neither listed nor tested against the other switches except that
// "/urllist" is still looked for in the argument "/load" consumed.
StartupFlags ParseCommandLine(const QStringList &arguments);
