#pragma once

#include <QByteArray>
#include <QString>

// The engine lists the program carries: an automatic list of the IndexNow
// endpoints that exist (the shared one and the engines that publish their
// own), in the ten-key layout, and a manual list of the webmaster pages where
// a site owner registers a site by hand. They are written to the base
// directory when it has no engine list and none could be downloaded.
namespace BuiltInLists {

QByteArray automaticList();
QByteArray manualList();

// Writes each list whose file is missing or holds no list of its kind; returns
// true when the automatic list was written. A file that cannot be written is
// left as it is.
bool writeWhereMissing(const QString &automaticPath, const QString &manualPath);

} // namespace BuiltInLists
