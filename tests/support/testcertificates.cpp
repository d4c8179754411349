#include "support/testcertificates.h"

#include <QProcess>

#include "support/tempdir.h"

namespace qctest {

namespace {
// A generous bound for one openssl command; elliptic-curve keys take milliseconds.
constexpr int commandDeadlineMs = 30000;

QStringList newKey(const QString &keyFile)
{
    return {QStringLiteral("-newkey"),
            QStringLiteral("ec"),
            QStringLiteral("-pkeyopt"),
            QStringLiteral("ec_paramgen_curve:P-256"),
            QStringLiteral("-nodes"),
            QStringLiteral("-keyout"),
            keyFile,
            QStringLiteral("-days"),
            QStringLiteral("2")};
}
} // namespace

bool TestCertificates::make()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    const QStringList ca =
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey(path(QStringLiteral("ca.key"))) +
        QStringList{QStringLiteral("-out"),    caFile(),
                    QStringLiteral("-subj"),   QStringLiteral("/CN=Quillcast Test CA"),
                    QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                    QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")};
    const QStringList selfSigned =
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey(path(QStringLiteral("selfsigned.key"))) +
        QStringList{QStringLiteral("-out"),    path(QStringLiteral("selfsigned.crt")),
                    QStringLiteral("-subj"),   QStringLiteral("/CN=127.0.0.1"),
                    QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")};
    if (!run(ca) || !run(selfSigned))
        return false;
    joinPem(QStringLiteral("selfsigned"));
    return makeSigned(QStringLiteral("server"), QStringLiteral("/CN=localhost"),
                      QStringLiteral("IP:127.0.0.1,DNS:localhost")) &&
           makeSigned(QStringLiteral("other"), QStringLiteral("/CN=other.example"),
                      QStringLiteral("DNS:other.example"));
}

bool TestCertificates::makeSigned(const QString &name, const QString &subject, const QString &altNames)
{
    const QStringList arguments =
        QStringList{QStringLiteral("req"),    QStringLiteral("-x509"),       QStringLiteral("-CA"), caFile(),
                    QStringLiteral("-CAkey"), path(QStringLiteral("ca.key"))} +
        newKey(path(name + QStringLiteral(".key"))) +
        QStringList{QStringLiteral("-out"),    path(name + QStringLiteral(".crt")),
                    QStringLiteral("-subj"),   subject,
                    QStringLiteral("-addext"), QStringLiteral("subjectAltName=") + altNames,
                    QStringLiteral("-addext"), QStringLiteral("basicConstraints=CA:FALSE"),
                    QStringLiteral("-addext"), QStringLiteral("extendedKeyUsage=serverAuth")};
    if (!run(arguments))
        return false;
    joinPem(name);
    return true;
}

void TestCertificates::joinPem(const QString &name)
{
    writeFile(path(name + QStringLiteral(".pem")),
              readFile(path(name + QStringLiteral(".crt"))) + readFile(path(name + QStringLiteral(".key"))));
}

bool runOpenssl(const QStringList &arguments, QString *error)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(commandDeadlineMs)) {
        openssl.kill();
        openssl.waitForFinished(commandDeadlineMs);
        *error = QStringLiteral("openssl did not finish: ") + openssl.errorString();
        return false;
    }
    if (openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl %1 failed: %2")
                     .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

bool TestCertificates::run(const QStringList &arguments)
{
    return runOpenssl(arguments, &m_error);
}

} // namespace qctest
