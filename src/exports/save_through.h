// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace quel::exports {

// Writes all the bytes or fails with the device's reason; a short write is a failure.
bool WriteAll(QIODevice& out, const QByteArray& bytes, QString* error);

// Why a write on the device failed, as the user reads it: "磁盘已满" for a full disk, the
// system's text otherwise.
QString WriteErrorText(const QIODevice& device);

// Writes a file through a staging copy beside it. `write` fills the device and says whether
// it succeeded; the file at path is replaced only when it did, every byte reached the disk
// and the copy was renamed into place (with the old file's permissions). Otherwise the old
// file stays untouched and error says why.
bool SaveThrough(
    const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* error);

} // namespace quel::exports
