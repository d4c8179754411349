#include "support/lighttpdfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/tempdir.h"

namespace qctest {

namespace {

bool acceptsConnections(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Whether the process itself listens on the loopback port, rather than some
// other program that took the port between our probe and the server's bind: the
// listening socket's inode in /proc/net/tcp is one of the process's descriptors.
bool listensOn(qint64 pid, quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> inodes;
    const QByteArray wanted = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    table.readLine(); // the heading
    for (QByteArray line = table.readLine(); !line.isEmpty(); line = table.readLine()) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
        if (fields.size() > 9 && fields.at(1).endsWith(wanted) && fields.at(3) == "0A")
            inodes << "socket:[" + fields.at(9) + "]";
    }
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &name : descriptors.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t length =
            ::readlink(QFile::encodeName(descriptors.filePath(name)).constData(), target, sizeof target - 1);
        if (length > 0 && inodes.contains(QByteArray(target, length)))
            return true;
    }
    return false;
}

} // namespace

quint16 freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

LighttpdFixture::LighttpdFixture()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("htdocs/cgi-bin"));
}

LighttpdFixture::~LighttpdFixture()
{
    stop();
}

void LighttpdFixture::addFile(const QString &relativePath, const QByteArray &bytes)
{
    const QString path = documentRoot() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, bytes);
}

void LighttpdFixture::addCgiScript(const QString &name, const QByteArray &perlSource)
{
    const QString path = documentRoot() + QStringLiteral("/cgi-bin/") + name;
    writeFile(path, perlSource);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

QByteArray LighttpdFixture::url(const QByteArray &path) const
{
    return (m_pemFile.isEmpty() ? "http" : "https") + QByteArray("://127.0.0.1:") + QByteArray::number(m_port) + path;
}

QByteArray LighttpdFixture::errorLog() const
{
    return readFile(m_dir.filePath(QStringLiteral("error.log")));
}

bool LighttpdFixture::start()
{
    // The free port may be taken between the probe and the server's bind: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (startOnce())
            return true;
        stop();
    }
    return false;
}

bool LighttpdFixture::startOnce()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("lighttpd"),
                                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (program.isEmpty()) {
        m_error = QStringLiteral("lighttpd is not installed (scripts/setup-deps installs it)");
        return false;
    }
    m_port = freeLoopbackPort();
    if (m_port == 0) {
        m_error = QStringLiteral("no free loopback port");
        return false;
    }
    writeConfig();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program,
                    {QStringLiteral("-D"), QStringLiteral("-f"), m_dir.filePath(QStringLiteral("lighttpd.conf"))});
    if (!m_process.waitForStarted(startDeadlineMs)) {
        m_error = QStringLiteral("lighttpd did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitUntilAccepting()) {
        m_error = QStringLiteral("lighttpd did not accept connections on port %1: %2")
                      .arg(m_port)
                      .arg(QString::fromLocal8Bit(errorLog()));
        return false;
    }
    return true;
}

bool LighttpdFixture::waitUntilAccepting()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < startDeadlineMs) {
        if (m_process.state() != QProcess::Running)
            return false;
        if (acceptsConnections(m_port))
            return listensOn(m_process.processId(), m_port);
        // Polling a condition with a bound, not waiting out a guess.
        m_process.waitForFinished(20);
    }
    return false;
}

void LighttpdFixture::writeConfig()
{
    const QByteArray root = QFile::encodeName(m_dir.path());
    QByteArray config;
    config += "server.document-root = \"" + root + "/htdocs\"\n";
    config += "server.bind = \"127.0.0.1\"\n";
    config += "server.port = " + QByteArray::number(m_port) + "\n";
    config += "server.errorlog = \"" + root + "/error.log\"\n";
    if (m_pemFile.isEmpty()) {
        config += "server.modules = ( \"mod_cgi\" )\n";
    } else {
        config += "server.modules = ( \"mod_cgi\", \"mod_openssl\" )\n";
        config += "ssl.engine = \"enable\"\n";
        config += "ssl.pemfile = \"" + QFile::encodeName(m_pemFile) + "\"\n";
    }
    config += "server.max-connections = 256\n";
    config += "index-file.names = ( \"index.html\" )\n";
    config += "mimetype.assign = ( \".html\" => \"text/html\", \".htm\" => \"text/html\", "
              "\".txt\" => \"text/plain\", \"\" => \"application/octet-stream\" )\n";
    config += "$HTTP[\"url\"] =~ \"^/cgi-bin/\" {\n  cgi.assign = ( \"\" => \"/usr/bin/perl\" )\n}\n";
    writeFile(m_dir.filePath(QStringLiteral("lighttpd.conf")), config);
}

void LighttpdFixture::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace qctest
