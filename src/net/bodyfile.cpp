#include "net/bodyfile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void BodyFile::begin(const QString &path)
{
    close();
    m_path = path;
    m_writeFailed = false;
}

BodyFile::Outcome BodyFile::append(const char *data, int len)
{
    if (m_path.isEmpty())
        return Outcome::NoFile;
    if (m_writeFailed)
        return Outcome::Skipped;
    if (m_fd < 0) {
        const QByteArray name = QFile::encodeName(m_path);
        if (name.contains('\0'))
            return Outcome::OpenFailed;
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return Outcome::OpenFailed;
        struct stat info{};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 ||
            (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0)) {
            ::close(fd);
            return Outcome::OpenFailed;
        }
        m_fd = fd;
    }
    while (len > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(len));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close();
            m_writeFailed = true;
            return Outcome::WriteFailed;
        }
        data += n;
        len -= static_cast<int>(n);
    }
    return Outcome::Written;
}

void BodyFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
