#include "app/windowplacement.h"

#include "project/session/profilefile.h"
#include "project/session/settingskeys.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using namespace SettingsKeys;

void RestoreWindowPlacement(QWidget &window, const QString &iniPath)
{
    const ProfileFile ini(iniPath);
    const int height = ini.readInteger(WindowHeight.section, WindowHeight.key, 413);
    const int width = ini.readInteger(WindowWidth.section, WindowWidth.key, 537);
    const QSize size = QSize(qMin(width, 8192), qMin(height, 8192)).expandedTo(window.minimumSizeHint());
    window.resize(size);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window.move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void SaveWindowPlacement(const QWidget &window, const QString &iniPath)
{
    ProfileFile ini(iniPath);
    const QRect normal = window.isMaximized() || window.isFullScreen() ? window.normalGeometry() : window.geometry();
    ini.writeInteger(WindowTop.section, WindowTop.key, normal.y());
    ini.writeInteger(WindowLeft.section, WindowLeft.key, normal.x());
    ini.writeInteger(WindowHeight.section, WindowHeight.key, normal.height());
    ini.writeInteger(WindowWidth.section, WindowWidth.key, normal.width());
}
