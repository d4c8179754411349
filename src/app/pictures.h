#pragma once

#include "runs/builtinpictures.h" // EnsurePictureFile(), for the window's callers

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures are files in the base directory (quill.ico,
// quillcast.bmp, quillcast.jpg). A picture that is missing there is taken from
// the copy built into the program, so a fresh directory still shows them.
QPixmap LoadPicture(const QString &baseDir, const QString &fileName);
QIcon LoadIcon(const QString &baseDir, const QString &fileName);
