#pragma once

#include <QString>

// What a run that refuses to start (or cannot write its report) tells the
// user, as a message box's caption and text: the window shows the box, the
// unattended job writes it to standard error. One wording for both.
struct RunRefusal
{
    QString caption;
    QString text;

    // A sender field a chosen engine's form needs is empty; "" for the old
    // all-fields message.
    static RunRefusal senderMissing(const QString &field);
    static RunRefusal nothingChosen();
    // The engine list at path has no engines, and none could be downloaded.
    static RunRefusal engineListMissing(const QString &path);
    // The report at reportPath cannot be made; the system's reason is found
    // without leaving anything behind.
    static RunRefusal reportNotCreated(const QString &reportPath);
};
