#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures are files in the base directory (quill.ico,
// quillcast.bmp, quillcast.jpg). A picture that is missing there is taken from
// the copy built into the program, so a fresh directory still shows them.
QPixmap LoadPicture(const QString &baseDir, const QString &fileName);
QIcon LoadIcon(const QString &baseDir, const QString &fileName);

// Writes the built-in copy of fileName into dir unless a file of that name is
// already there (the report links the image beside the projects). Returns
// false when the file is missing and cannot be written.
bool EnsurePictureFile(const QString &dir, const QString &fileName);
