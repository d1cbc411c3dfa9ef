// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace quel::core {

// An advisory lock that one process at a time holds on a file (flock). The kernel lets go
// of it when its process ends, however it ends, so a killed holder never leaves a lock
// behind; the file itself may stay and is simply taken by the next process.
class RunLock
{
public:
    enum class Outcome
    {
        Held,
        Busy,
        Failed
    };

    explicit RunLock(QString path);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock without waiting. Busy: another process holds it (holderPid() names
    // it when it has written itself in, else 0); Failed: the file cannot be made or
    // locked (errorText() says why).
    Outcome tryLock();
    bool isHeld() const { return m_fd >= 0; }
    qint64 holderPid() const { return m_holder; }
    QString errorText() const { return m_error; }
    const QString& path() const { return m_path; }

private:
    void release();

    QString m_path;
    int m_fd = -1;
    qint64 m_holder = 0;
    QString m_error;
};

} // namespace quel::core
