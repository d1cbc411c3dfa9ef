// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <gtest/gtest.h>

namespace quel::test {

// The text of a PDF as pdftotext (poppler-utils, installed by scripts/setup) reads it, in
// NFKC: the CJK face shares one glyph between some ideographs and their Kangxi radicals, and
// the file's text map names the radical (手 reads back as U+2F3F), which NFKC folds back.
// Compare with fold() of the expected text, since NFKC also turns full-width punctuation
// into its ASCII form. Fails the test when the tool is missing or refuses the file.
inline QString fold(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC);
}

inline QString pdfText(const QString& path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    EXPECT_FALSE(tool.isEmpty()) << "pdftotext (poppler-utils, scripts/setup) is missing";
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(
        tool, { QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-") });
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return fold(QString::fromUtf8(process.readAllStandardOutput()));
}

} // namespace quel::test
