#include "exports/chart_image.h"

#include "exports/save_through.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>

namespace quel::exports {

namespace {

// The pictures go through the writer of every export: the old file stays until the new one
// is complete, a full disk included.
bool replaceWhenComplete(const QString& path, QString* error,
    const std::function<bool(QIODevice& file, QString* why)>& write)
{
    return SaveThrough(path, write, error);
}

bool saveImage(
    const QImage& image, const QString& path, const char* format, int quality, QString* error)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("empty image");
        return false;
    }
    return replaceWhenComplete(path, error, [&](QIODevice& file, QString* why) {
        QImageWriter writer(&file, format);
        writer.setQuality(quality);
        const bool jpeg = qstrcmp(format, "jpeg") == 0;
        if (writer.write(jpeg ? image.convertToFormat(QImage::Format_RGB888) : image))
            return true;
        *why = writer.errorString();
        return false;
    });
}

} // namespace

QString JpegFileName(const QString& name)
{
    return name.endsWith(QLatin1String(".jpg")) ? name : name + QStringLiteral(".jpg");
}

bool SaveJpeg(const QImage& image, const QString& path, int quality, QString* error)
{
    return saveImage(image, path, "jpeg", quality, error);
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
    return saveImage(image, path, "png", -1, error);
}

bool SaveSvg(const std::function<void(QPainter&, const QSize&)>& draw, const QSize& size,
    const QString& path, const QString& title, QString* error)
{
    if (size.isEmpty()) {
        if (error)
            *error = QStringLiteral("empty image");
        return false;
    }
    return replaceWhenComplete(path, error, [&](QIODevice& file, QString* why) {
        QSvgGenerator generator;
        generator.setOutputDevice(&file);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(title);
        QPainter painter;
        if (!painter.begin(&generator)) {
            *why = QStringLiteral("cannot draw the picture");
            return false;
        }
        draw(painter, size);
        return painter.end();
    });
}

} // namespace quel::exports
