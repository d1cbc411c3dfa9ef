// SPDX-License-Identifier: GPL-3.0-or-later
#include "exports/save_through.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace quel::exports {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error && error->isEmpty())
        *error = text;
    return false;
}

} // namespace

QString WriteErrorText(const QIODevice& device)
{
    const QString text = device.errorString();
    if (text == QString::fromLocal8Bit(std::strerror(ENOSPC)))
        return QStringLiteral("磁盘已满");
    return text;
}

bool WriteAll(QIODevice& out, const QByteArray& bytes, QString* error)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return fail(error, WriteErrorText(out));
        done += n;
    }
    return true;
}

bool SaveThrough(
    const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* error)
{
    // The new file takes the place of the old one with the old one's permissions.
    const bool existed = QFile::exists(path);
    const QFileDevice::Permissions permissions
        = existed ? QFile::permissions(path) : QFileDevice::Permissions();
    QSaveFile file(path);
    // Unbuffered: a write the disk refuses fails at once, where a buffered one would fail
    // only in the flush of the close, whose error the staging file does not keep.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(error, WriteErrorText(file));
    QString why;
    if (!write(file, &why) || !file.flush()) {
        file.cancelWriting();
        return fail(error, why.isEmpty() ? WriteErrorText(file) : why);
    }
    if (!file.commit())
        return fail(error, WriteErrorText(file));
    if (existed)
        QFile::setPermissions(path, permissions);
    return true;
}

} // namespace quel::exports
