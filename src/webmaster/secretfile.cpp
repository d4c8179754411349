#include "webmaster/secretfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace webmaster {

namespace {

constexpr qint64 MaxSecretBytes = 64 * 1024;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SecretFile readSecretFile(const QString &path, const QString &what)
{
    SecretFile result;
    if (path.isEmpty()) {
        result.problem = what + QStringLiteral(" is not named");
        return result;
    }
    // Opened first and checked through the descriptor: the file checked is the file read.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.problem = QStringLiteral("%1 %2 cannot be read: %3").arg(what, path, systemReason(errno));
        return result;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.problem = QStringLiteral("%1 %2 is not a regular file").arg(what, path);
        ::close(fd);
        return result;
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        result.problem = QStringLiteral("%1 %2 may be read by others (permissions %3): it is refused; make it private "
                                        "with \"chmod 600 %2\"")
                             .arg(what, path)
                             .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
        ::close(fd);
        return result;
    }
    if (status.st_size > MaxSecretBytes) {
        result.problem =
            QStringLiteral("%1 %2 is larger than %3 bytes: it holds no key").arg(what, path).arg(MaxSecretBytes);
        ::close(fd);
        return result;
    }
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.problem = QStringLiteral("%1 %2 cannot be read: %3").arg(what, path, systemReason(errno));
            ::close(fd);
            return result;
        }
        if (got == 0)
            break;
        content.append(buffer, got);
        if (content.size() > MaxSecretBytes) {
            result.problem =
                QStringLiteral("%1 %2 is larger than %3 bytes: it holds no key").arg(what, path).arg(MaxSecretBytes);
            ::close(fd);
            return result;
        }
    }
    ::close(fd);
    result.content = content;
    return result;
}

} // namespace webmaster
