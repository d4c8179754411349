#include "support/enginefarm.h"

#include "support/tempdir.h"

#include <QDir>

namespace qctest {

QByteArray engineSection(const QByteArray &name, const FarmEngine &engine)
{
    QByteArray text = "[" + name + "]\r\n";
    text += "QC_Action=" + engine.action + "\r\n";
    text += "QC_Method=" + engine.method + "\r\n";
    text += "QC_PostData=" + engine.postData + "\r\n";
    text += "QC_Encode=" + engine.encode + "\r\n";
    text += "QC_Sleep=" + QByteArray::number(engine.sleep) + "\r\n";
    text += "QC_Search_Action=" + engine.searchAction + "\r\n";
    text += "QC_Search_PostData=" + engine.searchPostData + "\r\n";
    text += "QC_Search_None=" + engine.searchNone + "\r\n";
    text += "QC_MaxSubmit=" + QByteArray::number(engine.maxSubmit) + "\r\n";
    text += "QC_InternalIndex=" + engine.column + "\r\n";
    return text;
}

EngineFarm::EngineFarm()
{
    m_web.addFile(QStringLiteral("farmlib/farm.pl"), readFile(sourcePath(QStringLiteral("tests/data/farm/farm.pl"))));
    for (const char *name :
         {"accept.cgi", "redirect.cgi", "fail.cgi", "slow.cgi", "search.cgi", "post-query.cgi", "query", "indexnow.cgi"})
        m_web.addCgiScript(QLatin1String(name),
                           readFile(sourcePath(QStringLiteral("tests/data/farm/") + QLatin1String(name))));
}

EngineFarm::~EngineFarm()
{
    // Scripts still waiting end at once, so no process of the farm outlives it.
    writeFile(farmDir() + QStringLiteral("/release"), "");
    m_web.stop();
}

QString EngineFarm::farmDir() const
{
    return QDir(m_web.documentRoot() + QStringLiteral("/..")).absolutePath();
}

bool EngineFarm::start()
{
    return m_web.start();
}

QList<FarmRequest> EngineFarm::received() const
{
    QList<FarmRequest> requests;
    const QDir records(farmDir() + QStringLiteral("/records"));
    for (const QString &name : records.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        const QByteArray text = readFile(records.filePath(name));
        const qsizetype split = text.indexOf("\n\n");
        const QList<QByteArray> lines = text.left(split < 0 ? text.size() : split).split('\n');
        FarmRequest request;
        request.script = lines.value(0);
        request.requestLine = lines.value(1);
        request.headers = lines.mid(2);
        request.body = split < 0 ? QByteArray() : text.mid(split + 2);
        requests.append(request);
    }
    return requests;
}

} // namespace qctest
