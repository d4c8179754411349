#pragma once

#include "platform/platform.h"

// The file dialogs of the project commands, all starting in the base directory.
// New proposes proposedName and asks before overwriting; Open and Delete show
// title ("Open a Quillcast Project", "Delete a project").
Platform::FileDialog NewProjectDialog(const QString &baseDir, const QString &proposedName);
Platform::FileDialog ProjectFileDialog(const QString &baseDir, const QString &title);
