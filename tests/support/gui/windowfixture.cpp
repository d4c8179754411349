#include "support/gui/windowfixture.h"

namespace qctest {

TMainForm &WindowTest::start(const QStringList &arguments)
{
    m_window = std::make_unique<TMainForm>(
        platform, ParseCommandLine(QStringList{QStringLiteral("/usr/bin/quillcast")} + arguments));
    return *m_window;
}

QString WindowTest::newProject(const QString &name)
{
    const QString path = base.file(name);
    platform.fileAnswers.enqueue(path);
    m_window->newProject();
    return path;
}

} // namespace qctest
