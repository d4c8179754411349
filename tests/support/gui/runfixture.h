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

// A window test with a running engine farm, for what the window does with a run.
class RunTest : public WindowTest
{
protected:
    EngineFarm farm;

    void SetUp() override;

    // A new project "site.qlc" with the sender Ann Lee, the engines listed (and
    // checked as chosen), the URLs, no download and a 5-second timeout.
    TMainForm &open(const QList<RunEngine> &engines, const QStringList &urls, const QStringList &arguments = {});
    // An engine whose submissions go to one of the farm's scripts.
    FarmEngine engine(const QByteArray &script, const QByteArray &column) const;
    // The status log's lines, in order.
    QStringList status();
};

} // namespace qctest
