#include "app/projectdialogs.h"

#include "app/constants.h"

using namespace Quillcast;

Platform::FileDialog NewProjectDialog(const QString &baseDir, const QString &proposedName)
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("ProjSaveDialog");
    dialog.title = QStringLiteral("Give a name to this new project");
    dialog.directory = baseDir;
    dialog.fileName = proposedName;
    dialog.filter = ProjectFilter;
    dialog.defaultSuffix = ProjectExtension;
    dialog.promptOverwrite = true;
    return dialog;
}

Platform::FileDialog ProjectFileDialog(const QString &baseDir, const QString &title)
{
    Platform::FileDialog dialog;
    dialog.objectName = QStringLiteral("ProjOpenDialog");
    dialog.title = title;
    dialog.directory = baseDir;
    dialog.filter = ProjectFilter;
    return dialog;
}
