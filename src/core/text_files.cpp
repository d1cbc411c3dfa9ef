#include "core/text_files.h"

#include "core/feedback.h"
#include "core/pause.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace quel::core {

int WriteFileAtomic(const QString& text, const QString& path, int* osError)
{
    const auto failed = [osError](int error) {
        if (osError)
            *osError = error;
        return -1;
    };
    if (path.isEmpty())
        return failed(EINVAL);
    const QString tmp = path + QStringLiteral(".TMP");
    if (QFileInfo::exists(tmp) && !QFile::remove(tmp))
        return failed(errno);

    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failed(errno);
    const QByteArray bytes = text.toUtf8();
    bool written = file.write(bytes) == bytes.size();
    int error = written ? 0 : errno;
    if (written && ::fsync(file.handle()) != 0) {
        written = false;
        error = errno;
    }
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        QFile::remove(tmp);
        return failed(error != 0 ? error : EIO);
    }
    // rename() replaces the old file in one step; deleting it first would lose the old
    // content whenever the new one cannot be put in its place.
    if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        error = errno;
        QFile::remove(tmp);
        return failed(error);
    }
    return 1;
}

QString SaveTextFile(const QString& text, const QString& path, int pauseMs, int* osError)
{
    QString target = path;
    for (int attempt = 0; attempt <= 30; ++attempt) {
        int error = 0;
        if (WriteFileAtomic(text, target, &error) > 0)
            return target;
        if (osError)
            *osError = error;
        if (error == ENOSPC || error == EROFS || error == EDQUOT)
            return {};
        if (attempt == 10 || attempt == 20)
            target += QLatin1Char('1');
        if (attempt < 30)
            Pause(pauseMs);
    }
    return {};
}

QString DecodeTextFile(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030");
    return gb.isValid() ? QString(gb.decode(bytes)) : text;
}

QString ReadResultFile(const QString& path, bool deleteAfter, Feedback& feedback, int pauseMs)
{
    int tries = 0;
    for (;;) {
        Pause(pauseMs);
        if (++tries > 100) {
            feedback.message(QStringLiteral("无法打开下载文档：\r\n") + path);
            return {};
        }
        QFileInfo info(path);
        if (!info.exists())
            continue;
        if (info.size() == 0)
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue; // vanished or locked meanwhile: try again on the next pass
        const QByteArray bytes = file.readAll();
        const bool readOk = file.error() == QFileDevice::NoError;
        file.close();
        const QString text = readOk ? DecodeTextFile(bytes) : QString();
        if (!text.isEmpty()) {
            if (deleteAfter && QFileInfo::exists(path))
                QFile::remove(path);
            return text;
        }
        Pause(2 * pauseMs);
    }
}

} // namespace quel::core
