#pragma once

#include <QString>

class QImage;

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

} // namespace quel::exports
