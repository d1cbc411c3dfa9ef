// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/failing_device.h"

#include <cerrno>
#include <cstring>

namespace quel::test {

FailingDevice::FailingDevice(qint64 capacity, QIODevice* passTo)
    : m_capacity(capacity)
    , m_passTo(passTo)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QString FailingDevice::diskFullText()
{
    return QString::fromLocal8Bit(std::strerror(ENOSPC));
}

qint64 FailingDevice::writeData(const char* data, qint64 length)
{
    const qint64 room = m_capacity - m_written.size();
    if (room <= 0) {
        ++m_refusals;
        setErrorString(diskFullText());
        return -1;
    }
    const qint64 taken = std::min(room, length);
    if (m_passTo && m_passTo->write(data, taken) != taken) {
        setErrorString(m_passTo->errorString());
        return -1;
    }
    m_written.append(data, taken);
    return taken;
}

} // namespace quel::test
