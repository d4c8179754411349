#pragma once

// The program's fixed names and addresses.

#include "runs/runsetup.h"

#include <QString>

namespace Quillcast {

inline const QString AppTitle = QStringLiteral("Quillcast");
// The project's version, from the build.
inline const QString Version = QStringLiteral(QC_VERSION);
inline const QString VersionText = QStringLiteral("Version ") + Version;
inline const QString LogoFile = QStringLiteral("quillcast.bmp");
inline const QString IconFile = QStringLiteral("quill.ico");
inline const QString ReportImageFile = QStringLiteral("quillcast.jpg");

inline const QString PublisherHost = QStringLiteral("http://www.quillcast.example");
inline const QString HomePageURL = PublisherHost + QStringLiteral("/quillcast");
inline const QString HelpURL = PublisherHost + QStringLiteral("/quillcast/help.htm");
inline const QString IncludeEngineURL = PublisherHost + QStringLiteral("/quillcast/includeyourengine.htm");
inline const QString DefaultAutoListURL = PublisherHost + QStringLiteral("/quillcast/data/engines205.txt");
inline const QString DefaultManualListURL = PublisherHost + QStringLiteral("/quillcast/data/manual_engines205.txt");
inline const QString SalesEmail = QStringLiteral("sales@quillcast.example");
inline const QString TechEmail = QStringLiteral("support@quillcast.example");

inline const QString ProjectFilter = QStringLiteral("Quillcast Project (*.qlc)|*.qlc");
inline const QString ProjectExtension = QStringLiteral("qlc");

// The engine whose add-a-URL form takes the three advanced settings.
inline const QString ExciteEngine = QStringLiteral("Excite");
inline const QString NothingSelected = QStringLiteral("Nothing Selected");

// What every run of the program carries of its names and addresses.
inline JobIdentity ProgramIdentity()
{
    return {AppTitle, HomePageURL, ReportImageFile, DefaultAutoListURL, DefaultManualListURL};
}

} // namespace Quillcast
