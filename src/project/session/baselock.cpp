#include "project/session/baselock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString failure(const QString &path, int error)
{
    return QStringLiteral("Cannot lock \"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

qint64 readPid(int fd)
{
    char text[32];
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return 0;
    bool ok = false;
    const qint64 pid = QByteArray(text, got).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace

BaseLock::BaseLock(const QString &directory) : m_filePath(QDir(directory).filePath(QString::fromLatin1(FileName)))
{}

BaseLock::~BaseLock()
{
    release();
}

BaseLock::Outcome BaseLock::tryAcquire()
{
    if (m_fd >= 0)
        return Outcome::Acquired;
    m_holderPid = 0;
    m_error.clear();

    // Close-on-exec: a program started from here must not keep the lock alive
    // after this process has ended.
    const int fd = ::open(QFile::encodeName(m_filePath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_error = failure(m_filePath, errno);
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            m_holderPid = readPid(fd);
        else
            m_error = failure(m_filePath, error);
        ::close(fd);
        return error == EWOULDBLOCK ? Outcome::Held : Outcome::Failed;
    }

    // The id only serves the message of whoever finds the lock held, so a
    // write that fails (a full disk) does not give the lock up.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    [[maybe_unused]] const bool written =
        ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) == ssize_t(pid.size());
    m_fd = fd;
    return Outcome::Acquired;
}

void BaseLock::release()
{
    if (m_fd < 0)
        return;
    // Emptied before unlocking, so the next holder is never announced as this one.
    [[maybe_unused]] const int truncated = ::ftruncate(m_fd, 0);
    ::close(m_fd);
    m_fd = -1;
}
