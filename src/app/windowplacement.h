#pragma once

#include <QString>

class QWidget;

// The window's size lives in the application ini between starts. The size is
// restored at least at the window's minimum and the window centred on the
// screen (the place is stored but not used); a maximised window's size is the
// one it had before.
void RestoreWindowPlacement(QWidget &window, const QString &iniPath);
// Throws ProfileWriteError when the ini cannot be written.
void SaveWindowPlacement(const QWidget &window, const QString &iniPath);
