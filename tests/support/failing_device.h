// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>

namespace quel::test {

// An output device that takes the first `capacity` bytes and then fails every write as a
// full disk does (the short write first, then -1, with the system's ENOSPC text), so that a
// writer's handling of a failed write can be tested without filling a disk. What it took
// is kept, and also written on to `passTo` when given (a real file filling up half way).
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 capacity, QIODevice* passTo = nullptr);

    const QByteArray& written() const { return m_written; }
    // Writes refused so far.
    int refusals() const { return m_refusals; }
    // The error text a full disk gives ("No space left on device").
    static QString diskFullText();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    qint64 m_capacity;
    QIODevice* m_passTo;
    QByteArray m_written;
    int m_refusals = 0;
};

} // namespace quel::test
