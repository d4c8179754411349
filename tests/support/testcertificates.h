#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qctest {

// Certificates made for one test run by the openssl command, in a temporary
// directory: a CA of the tests' own and, signed by it, a server certificate
// for 127.0.0.1 and localhost and one for other.example only; beside them a
// self-signed certificate for 127.0.0.1. Each *Pem file holds the certificate
// and then its key, as lighttpd's ssl.pemfile wants it. Point SSL_CERT_FILE
// at caFile() to make the client trust the CA.
// Runs the openssl command line tool with arguments; false, with what went
// wrong in *error, when it did not finish within half a minute or failed.
bool runOpenssl(const QStringList &arguments, QString *error);

class TestCertificates
{
public:
    // False, with lastError() saying why, when openssl failed.
    bool make();

    QString caFile() const { return path(QStringLiteral("ca.pem")); }
    QString serverPem() const { return path(QStringLiteral("server.pem")); }
    QString otherNamePem() const { return path(QStringLiteral("other.pem")); }
    QString selfSignedPem() const { return path(QStringLiteral("selfsigned.pem")); }
    QString lastError() const { return m_error; }

private:
    bool run(const QStringList &arguments);
    bool makeSigned(const QString &name, const QString &subject, const QString &altNames);
    void joinPem(const QString &name);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace qctest
