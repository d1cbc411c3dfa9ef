// SPDX-License-Identifier: GPL-3.0-or-later
#include "exports/digest_files.h"

#include "core/number_form.h"
#include "exports/grid_export.h"

#include <QSaveFile>
#include <cmath>

namespace quel::exports {

namespace {

QString optionalNumber(const std::optional<double>& value)
{
    return value ? core::NumberText(*value) : QString();
}

QString html(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

QString ChangeKindCaption(const QString& kind)
{
    if (kind == QLatin1String("price"))
        return QStringLiteral("调价");
    if (kind == QLatin1String("new"))
        return QStringLiteral("新品");
    if (kind == QLatin1String("gone"))
        return QStringLiteral("下架");
    if (kind == QLatin1String("sales"))
        return QStringLiteral("销量");
    if (kind == QLatin1String("new_shop"))
        return QStringLiteral("新店铺");
    return kind;
}

QByteArray DigestCsv(const QList<store::Change>& changes)
{
    QString text = QStringLiteral("kind,product_id,shop,name,old,new,change_pct\r\n");
    for (const store::Change& c : changes) {
        text += CsvField(c.kind) + u',' + QString::number(c.productId) + u',' + CsvField(c.shop)
            + u',' + CsvField(c.name) + u',' + optionalNumber(c.oldValue) + u','
            + optionalNumber(c.newValue) + u',' + optionalNumber(c.percent)
            + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray DigestHtml(const QList<store::Change>& changes, const QDateTime& run, double threshold)
{
    const QString when = run.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QString page
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                         "<title>变化记录 %1</title><style>"
                         "body{font-family:sans-serif;margin:1.5em}table{border-collapse:collapse}"
                         "th,td{border:1px solid #bbb;padding:.25em .6em}th{background:#eee}"
                         "td.n{text-align:right}tr.price td.p{color:#b00}tr.gone{color:#777}"
                         "</style></head><body>\n<h1>变化记录</"
                         "h1>\n<p>运行时间：%1　调价阈值：%2%　共 %3 项变化</p>\n")
              .arg(html(when), core::NumberText(threshold))
              .arg(changes.size());
    if (changes.isEmpty()) {
        page += QStringLiteral("<p>没有变化。</p>\n");
    } else {
        page += QStringLiteral("<table>\n<tr><th>类型</th><th>产品ID</th><th>店铺</th>"
                               "<th>产品名称</th><th>原值</th><th>新值</th><th>变化%</th></tr>\n");
        for (const store::Change& c : changes) {
            page += QStringLiteral("<tr class=\"%1\"><td>%2</td><td class=\"n\">%3</td><td>%4</td>"
                                   "<td>%5</td><td class=\"n\">%6</td><td class=\"n\">%7</td>"
                                   "<td class=\"n p\">%8</td></tr>\n")
                        .arg(html(c.kind), html(ChangeKindCaption(c.kind)))
                        .arg(c.productId)
                        .arg(html(c.shop), html(c.name), optionalNumber(c.oldValue),
                            optionalNumber(c.newValue), optionalNumber(c.percent));
        }
        page += QStringLiteral("</table>\n");
    }
    page += QStringLiteral("</body></html>\n");
    return page.toUtf8();
}

bool WriteDigestFile(const QString& path, const QList<store::Change>& changes, const QDateTime& run,
    double threshold, QString* error)
{
    const QString lower = path.toLower();
    QByteArray bytes;
    if (lower.endsWith(QLatin1String(".csv"))) {
        bytes = DigestCsv(changes);
    } else if (lower.endsWith(QLatin1String(".html")) || lower.endsWith(QLatin1String(".htm"))) {
        bytes = DigestHtml(changes, run, threshold);
    } else {
        if (error)
            *error = QStringLiteral("变化记录只能写成 .csv 或 .html 文件：") + path;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace quel::exports
