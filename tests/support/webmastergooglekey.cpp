#include "support/webmastergooglekey.h"

#include <QFile>
#include <QJsonDocument>

#include "support/tempdir.h"
#include "support/testcertificates.h"

namespace qctest {

bool GoogleServiceAccountKey::make()
{
    const QString privateFile = path(QStringLiteral("private.pem"));
    const QString publicFile = path(QStringLiteral("public.pem"));
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    // genpkey writes PKCS#8 ("BEGIN PRIVATE KEY"), the form of Google's key files.
    if (!run({QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("RSA"),
              QStringLiteral("-pkeyopt"), QStringLiteral("rsa_keygen_bits:2048"), QStringLiteral("-out"),
              privateFile}) ||
        !run({QStringLiteral("pkey"), QStringLiteral("-in"), privateFile, QStringLiteral("-pubout"),
              QStringLiteral("-out"), publicFile}))
        return false;
    m_privatePem = readFile(privateFile);
    m_publicPem = readFile(publicFile);
    return true;
}

QJsonObject GoogleServiceAccountKey::fields(const QByteArray &tokenUri) const
{
    return {{QStringLiteral("type"), QStringLiteral("service_account")},
            {QStringLiteral("project_id"), QStringLiteral("quillcast-tests")},
            {QStringLiteral("private_key_id"), QLatin1String(KeyId)},
            {QStringLiteral("private_key"), QString::fromLatin1(m_privatePem)},
            {QStringLiteral("client_email"), QLatin1String(ClientEmail)},
            {QStringLiteral("client_id"), QStringLiteral("104729104729104729104")},
            {QStringLiteral("auth_uri"), QStringLiteral("https://accounts.google.com/o/oauth2/auth")},
            {QStringLiteral("token_uri"), QString::fromLatin1(tokenUri)}};
}

QString GoogleServiceAccountKey::writeKeyFile(const QString &name, const QJsonObject &fields,
                                              QFileDevice::Permissions permissions) const
{
    const QString file = path(name);
    writeFile(file, QJsonDocument(fields).toJson());
    QFile::setPermissions(file, permissions);
    return file;
}

bool GoogleServiceAccountKey::run(const QStringList &arguments)
{
    return runOpenssl(arguments, &m_error);
}

} // namespace qctest
