#include "export/chart_image.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

namespace quel::exports {

QString JpegFileName(const QString& name)
{
    return name.endsWith(QLatin1String(".jpg")) ? name : name + QStringLiteral(".jpg");
}

bool SaveJpeg(const QImage& image, const QString& path, int quality, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (image.isNull())
        return fail(QStringLiteral("empty image"));
    const bool existed = QFile::exists(path);
    const QFileDevice::Permissions permissions
        = existed ? QFile::permissions(path) : QFileDevice::Permissions();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        file.cancelWriting();
        return fail(writer.errorString());
    }
    if (!file.commit())
        return fail(file.errorString());
    if (existed)
        QFile::setPermissions(path, permissions);
    return true;
}

} // namespace quel::exports
