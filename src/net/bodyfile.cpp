#include "net/bodyfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void BodyFile::begin(const QString &path, qint64 limit)
{
    close();
    m_path = path;
    m_writeFailed = false;
    m_limit = limit;
    m_taken = 0;
    m_cut = false;
}

bool BodyFile::open()
{
    const QByteArray name = QFile::encodeName(m_path);
    if (name.contains('\0'))
        return false;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    // An empty file (the usual new one) is not truncated: emptying a file makes
    // some file systems write its blocks out when it is closed, as if it were
    // being replaced, which costs more than the whole exchange.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 ||
        (S_ISREG(info.st_mode) && info.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    if (!m_held)
        m_held = std::make_unique<char[]>(holdLimit);
    m_heldBytes = 0;
    return true;
}

BodyFile::Outcome BodyFile::append(const char *data, int len)
{
    if (m_path.isEmpty())
        return Outcome::NoFile;
    if (m_writeFailed)
        return Outcome::Skipped;
    if (m_cut)
        return Outcome::Cut;
    if (m_fd < 0 && !open())
        return Outcome::OpenFailed;
    if (m_limit > 0 && len > m_limit - m_taken) {
        len = static_cast<int>(m_limit - m_taken);
        m_cut = true;
    }
    m_taken += len;
    if (m_heldBytes + len > holdLimit && !flush())
        return Outcome::WriteFailed;
    if (len > holdLimit)
        return writeOut(data, len) ? Outcome::Written : Outcome::WriteFailed;
    std::memcpy(m_held.get() + m_heldBytes, data, static_cast<size_t>(len));
    m_heldBytes += len;
    return Outcome::Written;
}

bool BodyFile::flush()
{
    const int len = m_heldBytes;
    m_heldBytes = 0;
    return writeOut(m_held.get(), len);
}

bool BodyFile::writeOut(const char *data, int len)
{
    while (len > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(len));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(m_fd);
            m_fd = -1;
            m_writeFailed = true;
            return false;
        }
        data += n;
        len -= static_cast<int>(n);
    }
    return true;
}

BodyFile::Outcome BodyFile::finish()
{
    if (m_fd < 0)
        return Outcome::NoFile;
    if (!flush())
        return Outcome::WriteFailed;
    ::close(m_fd);
    m_fd = -1;
    return Outcome::Written;
}
