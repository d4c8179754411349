#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

namespace qctest {

// A Google service account of the tests' own: an RSA key made by the openssl
// command, and key files in the JSON layout Google Cloud hands out, written
// into a temporary directory readable by their owner only.
class GoogleServiceAccountKey
{
public:
    static constexpr char ClientEmail[] = "quillcast-test@quillcast-tests.iam.gserviceaccount.com";
    static constexpr char KeyId[] = "5f1c0e2a9b7d4c6e8f0a1b2c3d4e5f6071829304";

    // False, with lastError() saying why, when openssl failed.
    bool make();
    QString lastError() const { return m_error; }

    QByteArray privateKeyPem() const { return m_privatePem; }
    QByteArray publicKeyPem() const { return m_publicPem; }

    // Every field of a key file for this account, exchanging at tokenUri.
    QJsonObject fields(const QByteArray &tokenUri) const;
    // Writes fields as the key file name (in the directory) with the given
    // permissions; returns its path.
    QString writeKeyFile(const QString &name, const QJsonObject &fields,
                         QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner) const;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    bool run(const QStringList &arguments);

    QTemporaryDir m_dir;
    QByteArray m_privatePem;
    QByteArray m_publicPem;
    QString m_error;
};

} // namespace qctest
