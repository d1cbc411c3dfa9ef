#include "export/chart_image.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

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

ChartImageFormat ChartImageFormatOf(const QString& path)
{
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return ChartImageFormat::Png;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return ChartImageFormat::Svg;
    return ChartImageFormat::Jpeg;
}

bool SavePng(const QImage& image, const QString& path, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (image.isNull())
        return fail(QStringLiteral("empty image"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        file.cancelWriting();
        return fail(writer.errorString());
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool SaveSvg(const std::function<void(QPainter&, const QSize&)>& draw, const QSize& size,
    const QString& path, const QString& title, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (size.isEmpty())
        return fail(QStringLiteral("empty image"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    {
        QPainter painter;
        if (!painter.begin(&generator)) {
            file.cancelWriting();
            return fail(QStringLiteral("cannot draw the picture"));
        }
        draw(painter, size);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace quel::exports
