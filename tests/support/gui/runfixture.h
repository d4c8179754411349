#pragma once

#include "support/enginefarm.h"
#include "support/gui/windowfixture.h"

#include <QByteArray>
#include <QStringList>
#include <ostream>

// Readable failure messages for byte strings.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace qctest {

// One engine of a run test's engine list.
struct RunEngine
{
    QByteArray name;
    FarmEngine engine;
    bool checked = true;
};

// A window test with a running engine farm, for the submission and search runs.
class RunTest : public WindowTest
{
protected:
    EngineFarm farm;

    void SetUp() override;

    // A new project "site.qlc" with the sender Ann Lee, the engines listed (and
    // checked as given), the URLs, no download and a 5-second timeout.
    TMainForm &open(const QList<RunEngine> &engines, const QStringList &urls, const QStringList &arguments = {});
    // The status log's lines, in order.
    QStringList status();
};

} // namespace qctest
