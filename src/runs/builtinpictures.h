#pragma once

#include <QString>

// The program's pictures (quill.ico, quillcast.bmp, quillcast.jpg) are built
// into it, so that a fresh base directory still has them.

// Where the built-in copy of fileName is read from (a resource path); a name
// without a built-in copy gives a path that does not exist.
QString BuiltInPicturePath(const QString &fileName);

// Writes the built-in copy of fileName into dir unless a file of that name is
// already there (the report links the image beside the projects). Returns
// false when the file is missing and cannot be written.
bool EnsurePictureFile(const QString &dir, const QString &fileName);
