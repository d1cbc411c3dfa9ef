#pragma once

#include <QSize>
#include <QString>
#include <functional>

class QImage;
class QPainter;

namespace quel::exports {

// JPEG quality of every saved chart.
inline constexpr int kJpegQuality = 80;

// The name a chart is saved under: ".jpg" appended unless the name ends in exactly ".jpg"
// (so "chart" and "chart.JPG" both get it).
QString JpegFileName(const QString& name);

// Writes the image as JPEG through Qt's writer. The file is replaced only when complete; an
// existing file keeps its permissions. False with the reason on failure.
bool SaveJpeg(
    const QImage& image, const QString& path, int quality = kJpegQuality, QString* error = nullptr);

// The picture formats a chart is saved in, by the file name's extension (any case); JPEG
// for any other name.
enum class ChartImageFormat
{
    Jpeg,
    Png,
    Svg
};
ChartImageFormat ChartImageFormatOf(const QString& path);

// Writes the image as PNG; the file is replaced only when complete. False with the reason.
bool SavePng(const QImage& image, const QString& path, QString* error = nullptr);

// Draws a picture of `size` through `draw` into an SVG file (lines, shapes and text kept as
// such); the file is replaced only when complete. False with the reason.
bool SaveSvg(const std::function<void(QPainter&, const QSize&)>& draw, const QSize& size,
    const QString& path, const QString& title, QString* error = nullptr);

} // namespace quel::exports
