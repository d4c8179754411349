#pragma once

#include "net/httpclient.h"
#include "project/store/urltable.h"
#include "runs/run.h"
#include "runs/runcontrol.h"
#include "support/enginefarm.h"
#include "support/runs/recordingobserver.h"
#include "support/tempdir.h"

#include <QStringList>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages for byte strings.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace qctest {

// A submission or search run without a window, against a running engine farm:
// a fresh base directory, the URL table, and project 1 of the sender Ann Lee
// (ann@lee.example) with a 5-second timeout, no download and the status log on.
// The observer records what the run reported.
class FarmRunTest : public ::testing::Test
{
protected:
    static constexpr int ProjectId = 1;

    void SetUp() override;

    // Writes the engine list, chooses the engines as given and adds the URLs.
    void prepare(const QList<RunEngine> &engines, const QStringList &urls);
    // An engine whose submissions go to one of the farm's scripts.
    FarmEngine engine(const QByteArray &script, const QByteArray &column) const;

    // The whole run; returns its tally.
    QList<EngineTally> submit();
    QList<EngineTally> search();

    // Calls action from inside the run's waits once the farm has received count requests.
    void whenReceived(int count, const std::function<void()> &action);

    // The engine column of every URL row, in row order.
    QList<bool> flags(const QString &column);
    // A file of the project's directory.
    QString projectFile(const QString &name) const { return setup.projectDir + QLatin1Char('/') + name; }
    // The report between its header and footer; the header must name the project.
    QByteArray reportRows() const;

    EngineFarm farm;
    ScopedBaseDir base;
    std::unique_ptr<UrlTable> table;
    THTTPClient http;
    RunControl control{http};
    RecordingObserver observer;
    RunSetup setup;

private:
    std::vector<std::unique_ptr<QTimer>> m_polls;
};

// The report's pieces, with the CR LF line ends of the file.
QByteArray reportHeading(const QByteArray &engine);
// An accepted URL linking its saved answer PR_<answer>.htm.
QByteArray reportUrlRow(const QByteArray &url, int answer);
QByteArray reportWideRow(const QByteArray &text);

} // namespace qctest
