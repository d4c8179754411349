#pragma once

#include "app/mainform.h"
#include "support/gui/controls.h"
#include "support/gui/scriptedplatform.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <memory>

namespace qctest {

// A main window started in a fresh base directory with the scripted platform.
class WindowTest : public ::testing::Test
{
protected:
    // Creates the window with these arguments after the program's path.
    TMainForm &start(const QStringList &arguments = {});
    TMainForm &window() { return *m_window; }
    // Ends the window as the program's end would: its URL table closes.
    void finish() { m_window.reset(); }
    ScriptedPlatform platform;
    ScopedBaseDir base;

    // New project saved as name in the base directory; returns its path.
    QString newProject(const QString &name = QStringLiteral("site.qlc"));

    template <typename T>
    T *find(const QString &name)
    {
        return control<T>(m_window.get(), name);
    }

private:
    std::unique_ptr<TMainForm> m_window;
};

} // namespace qctest
