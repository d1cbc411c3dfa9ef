// SPDX-License-Identifier: GPL-3.0-or-later
#include "exports/report.h"

#include "exports/grid_export.h"
#include "exports/save_through.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace quel::exports {

namespace {

// The faces of the report text, CJK first so that Chinese never falls back to boxes.
QFont reportFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback") });
    font.setPointSizeF(10);
    return font;
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString pngDataAddress(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(bytes.toBase64());
}

QString tableHtml(const ReportTable& table)
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<tr>");
    for (const QString& heading : table.headings)
        html += QStringLiteral("<th>") + escaped(heading) + QStringLiteral("</th>");
    html += QStringLiteral("</tr>\n");
    for (const QStringList& row : table.rows) {
        html += QStringLiteral("<tr>");
        for (qsizetype c = 0; c < row.size(); ++c) {
            // Labels left, figures right, as a spreadsheet shows them.
            html += c == 0 ? QStringLiteral("<td>") : QStringLiteral("<td align=\"right\">");
            html += escaped(row[c]) + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>\n");
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error)
{
    return SaveThrough(
        path, [&bytes](QIODevice& out, QString* why) { return WriteAll(out, bytes, why); }, error);
}

} // namespace

ReportFormat reportFormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return ReportFormat::Pdf;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return ReportFormat::Html;
    if (suffix == QLatin1String("csv"))
        return ReportFormat::Csv;
    return ReportFormat::Unknown;
}

QString ReportHtml(
    const Report& report, const std::function<QString(int)>& imageSource, bool pageBreaks)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta "
                                  "charset=\"utf-8\">\n<title>")
        + escaped(report.title) + QStringLiteral("</title>\n</head>\n<body>\n<h1>")
        + escaped(report.title) + QStringLiteral("</h1>\n");
    for (const QString& line : report.subtitle)
        html += QStringLiteral("<p>") + escaped(line) + QStringLiteral("</p>\n");
    if (!report.figures.empty()) {
        html += QStringLiteral("<h2>概况</h2>\n");
        ReportTable figures;
        figures.headings = QStringList { QStringLiteral("项目"), QStringLiteral("数值") };
        for (const auto& [caption, value] : report.figures)
            figures.rows.push_back({ caption, value });
        html += tableHtml(figures);
    }
    for (size_t i = 0; i < report.sections.size(); ++i) {
        const ReportSection& section = report.sections[i];
        html += (pageBreaks ? QStringLiteral("<h2 style=\"page-break-before: always\">")
                            : QStringLiteral("<h2>"))
            + escaped(section.heading) + QStringLiteral("</h2>\n");
        if (!section.note.isEmpty())
            html += QStringLiteral("<p>") + escaped(section.note) + QStringLiteral("</p>\n");
        if (!section.chart.isNull()) {
            const QString source
                = imageSource ? imageSource(static_cast<int>(i)) : pngDataAddress(section.chart);
            html
                += QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\" alt=\"%4\"></p>\n")
                       .arg(source)
                       .arg(section.chart.width())
                       .arg(section.chart.height())
                       .arg(escaped(section.heading));
        }
        if (section.table.rows.empty())
            html += QStringLiteral("<p>（无数据）</p>\n");
        else
            html += tableHtml(section.table);
    }
    return html + QStringLiteral("</body>\n</html>\n");
}

bool WriteReportHtml(const Report& report, const QString& path, QString* error)
{
    return writeWhole(path, ReportHtml(report).toUtf8(), error);
}

bool WriteReportPdf(const Report& report, const QString& path, QString* error)
{
    return SaveThrough(
        path,
        [&report](QIODevice& out, QString*) {
            QPdfWriter writer(&out);
            writer.setTitle(report.title);
            writer.setCreator(QStringLiteral("quelmar"));
            writer.setResolution(120);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));

            // The same page as the HTML report, laid out by Qt's text engine; the pictures
            // are handed over as resources rather than decoded from their inline form.
            QTextDocument document;
            document.setDefaultFont(reportFont());
            const QSizeF page = writer.pageLayout().paintRectPixels(writer.resolution()).size();
            document.setPageSize(page);
            // Pictures at most the text width, in the page's own pixels.
            Report laidOut = report;
            for (size_t i = 0; i < laidOut.sections.size(); ++i) {
                QImage& chart = laidOut.sections[i].chart;
                if (chart.isNull())
                    continue;
                if (chart.width() > page.width())
                    chart = chart.scaledToWidth(
                        static_cast<int>(page.width()), Qt::SmoothTransformation);
                document.addResource(QTextDocument::ImageResource,
                    QUrl(QStringLiteral("chart%1.png").arg(i)), QVariant(chart));
            }
            document.setHtml(ReportHtml(
                laidOut, [](int i) { return QStringLiteral("chart%1.png").arg(i); }, true));
            document.print(&writer);
            // A write the device refused fails the staging file's commit.
            return true;
        },
        error);
}

bool WriteFigureCsv(
    const std::vector<std::pair<QString, QString>>& figures, const QString& path, QString* error)
{
    QString text = QStringLiteral("figure,value\r\n");
    for (const auto& [key, value] : figures)
        text += CsvField(key) + u',' + CsvField(value) + QStringLiteral("\r\n");
    return writeWhole(path, text.toUtf8(), error);
}

} // namespace quel::exports
