// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace quel::exports {

// A written report, whatever it reports on: a title with lines under it, a list of headline
// figures, and sections of a chart picture with the table behind it and a note on reading
// it. The writers lay it out; they know nothing of the figures' meaning.
struct ReportTable
{
    QStringList headings;
    std::vector<QStringList> rows;
};

struct ReportSection
{
    QString heading;
    QString note;
    QImage chart; // may be null: the section has no picture
    ReportTable table;
};

struct Report
{
    QString title;
    QStringList subtitle; // category, date, database ...
    std::vector<std::pair<QString, QString>> figures; // caption, value as shown
    std::vector<ReportSection> sections;
};

enum class ReportFormat
{
    Unknown,
    Pdf,
    Html,
    Csv
};
// By the file name's extension, in any case.
ReportFormat reportFormatOf(const QString& path);

// The report as one HTML page in UTF-8 with its pictures inline (PNG in data: addresses),
// no external files, styles or scripts. imageSource, when given, names picture i instead
// (for a layout engine that is handed the pictures as resources); with pageBreaks every
// section starts a page, so that a heading never ends a page apart from its chart.
QString ReportHtml(const Report& report, const std::function<QString(int)>& imageSource = {},
    bool pageBreaks = false);

// Writers: the file is replaced only when complete; false with the reason otherwise.
bool WriteReportHtml(const Report& report, const QString& path, QString* error = nullptr);
// An A4 PDF with the CJK face embedded.
bool WriteReportPdf(const Report& report, const QString& path, QString* error = nullptr);
// "figure,value" lines (a heading line first), CR LF, UTF-8 without byte-order mark, for
// scripts; keys and values are written as given.
bool WriteFigureCsv(const std::vector<std::pair<QString, QString>>& figures, const QString& path,
    QString* error = nullptr);

} // namespace quel::exports
