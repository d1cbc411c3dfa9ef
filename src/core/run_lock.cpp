// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run_lock.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel::core {

namespace {

qint64 readHolder(int fd)
{
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    return QByteArray(text, static_cast<int>(n)).trimmed().toLongLong();
}

} // namespace

RunLock::RunLock(QString path)
    : m_path(std::move(path))
{ }

RunLock::~RunLock()
{
    release();
}

RunLock::Outcome RunLock::tryLock()
{
    if (m_fd >= 0)
        return Outcome::Held;
    const QByteArray name = QFile::encodeName(m_path);
    // A holder that lets go unlinks the file; one opened just before that is stale, so
    // the lock counts only when the name still leads to the locked file.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return Outcome::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            m_holder = readHolder(fd);
            ::close(fd);
            if (why == EWOULDBLOCK)
                return Outcome::Busy;
            m_error = QString::fromLocal8Bit(std::strerror(why));
            return Outcome::Failed;
        }
        struct stat opened = {}, named = {};
        if (::fstat(fd, &opened) != 0 || ::stat(name.constData(), &named) != 0
            || opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), pid.size(), 0) != pid.size()) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            ::unlink(name.constData());
            ::close(fd);
            return Outcome::Failed;
        }
        m_fd = fd;
        m_holder = ::getpid();
        return Outcome::Held;
    }
    m_error = QStringLiteral("lock file keeps being replaced");
    return Outcome::Failed;
}

void RunLock::release()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

} // namespace quel::core
