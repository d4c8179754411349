#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qctest {

// A real web server for tests and benchmarks: lighttpd on a free loopback
// port, configured from a file generated in a temporary directory, with a
// document root for static files and a cgi-bin/ folder whose scripts run under
// perl. Add files and scripts, start(), talk to url(...), and the destructor
// stops the server (also when the test failed).
//
//   qctest::LighttpdFixture web;
//   web.addFile("list.txt", bytes);
//   web.addCgiScript("echo.cgi", "print \"Content-Type: text/plain\\r\\n\\r\\nok\";");
//   ASSERT_TRUE(web.start()) << web.lastError();
class LighttpdFixture
{
public:
    LighttpdFixture();
    ~LighttpdFixture();
    LighttpdFixture(const LighttpdFixture &) = delete;
    LighttpdFixture &operator=(const LighttpdFixture &) = delete;

    // A file under the document root; folders are made as needed.
    void addFile(const QString &relativePath, const QByteArray &bytes);
    // A perl script served as /cgi-bin/<name>. The source needs no "#!" line.
    void addCgiScript(const QString &name, const QByteArray &perlSource);
    // Serves https instead of http (mod_openssl), with the certificate and its
    // key from one PEM file (TestCertificates makes them). Before start().
    void useTls(const QString &pemFile) { m_pemFile = pemFile; }

    // Starts the server and waits (bounded) until it accepts connections.
    // False, with lastError() saying why, when it did not come up.
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path (path starts with "/"), "https://..." with TLS.
    QByteArray url(const QByteArray &path) const;
    QString documentRoot() const { return m_dir.filePath(QStringLiteral("htdocs")); }
    QString lastError() const { return m_error; }
    // The server's own error log, for failure messages.
    QByteArray errorLog() const;

    // Milliseconds the server is given to come up.
    static constexpr int startDeadlineMs = 10000;

private:
    bool startOnce();
    void writeConfig();
    bool waitUntilAccepting();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QString m_pemFile;
};

// A port on 127.0.0.1 that was free a moment ago (0 when none could be had).
quint16 freeLoopbackPort();

} // namespace qctest
