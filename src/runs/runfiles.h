#pragma once

#include <QString>

// The files a run keeps in the project's directory.

// "PR_" + n + ".htm": the saved answer to submission request n of a run.
QString ResponseFileNameFor(int counter);
// "SRCH_" + n + ".htm": the saved answer to search request n of a run.
QString SearchResponseFileNameFor(int counter);

// "None_" + engine + ".txt", the engine's search log. An engine name comes from
// a downloaded list, so it is made safe first: every "/", "\" and control
// character (NUL included) becomes "_", and a name longer than 200 bytes in
// UTF-8 is cut there (never inside a character). So the log is always a plain
// file directly in the project's directory; ordinary names stay as they are.
// Two names that differ only in such characters share a log.
QString SearchLogFileName(const QString &engine);

// Deletes the plain files of dir matching prefix + "*.*" ("PR_", "SRCH_"),
// letter case ignored as on the program's first platform. Directories stay.
// Returns how many files went; an empty dir deletes nothing.
int DeleteRunFiles(const QString &dir, const QString &prefix);
