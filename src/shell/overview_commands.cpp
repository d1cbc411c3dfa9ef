// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/overview_commands.h"

#include "analysis/ui/overview_page.h"
#include "core/feedback.h"
#include "exports/report.h"
#include "shell/analysis_page.h"
#include "shell/main_window.h"
#include "shell/overview_report.h"
#include "store/db_operate.h"
#include "widgets/dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>

namespace quel::shell {

namespace {

void refreshCategories(MainWindow* mf, analysis::OverviewPage* page)
{
    QStringList categories;
    // A database that cannot be read leaves only "全部"; computing then says why.
    analysis::OverviewCategories(mf->db(), categories, nullptr);
    page->setCategories(categories);
}

void runOverview(MainWindow* mf, analysis::OverviewPage* page, const QString& category)
{
    analysis::MarketOverview overview;
    QString error;
    if (!analysis::BuildMarketOverview(mf->db(), category, overview, &error)) {
        mf->feedback().message(QStringLiteral("统计市场概览出错（%1）！").arg(error));
        return;
    }
    page->showOverview(overview);
}

void writeReport(MainWindow* mf, analysis::OverviewPage* page)
{
    core::Feedback& feedback = mf->feedback();
    const analysis::MarketOverview* overview = page->overview();
    if (!overview) {
        feedback.message(QStringLiteral("请先统计市场概览！"));
        return;
    }
    QString path = widgets::Dialogs::saveFileName(mf, QStringLiteral("导出报告"),
        QStringLiteral("PDF文件(*.pdf);;网页文件(*.html);;CSV (逗号分隔)(*.csv)"),
        QStringLiteral("市场概览_") + overview->category + QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;
    // A name typed without a known ending becomes a PDF.
    if (exports::reportFormatOf(path) == exports::ReportFormat::Unknown)
        path += QStringLiteral(".pdf");
    if (QFile::exists(path)) {
        if (!feedback.ask(QStringLiteral("文件“%1”已存在，是否覆盖？").arg(path)))
            return;
        if (!QFileInfo(path).isWritable()) {
            feedback.message(QStringLiteral("该文件无法覆盖，请确认该文件没被其他软件打开！"));
            return;
        }
    }
    feedback.indicatorStart(QStringLiteral("正在导出报告……"), 1, 0);
    QString error;
    const bool written = WriteOverviewReport(
        *overview, path, reportDatabaseName(mf->db().currentDatabasePath()), &error);
    feedback.indicatorClose();
    if (!written)
        feedback.message(QStringLiteral("导出报告出错（%1）！").arg(error));
}

} // namespace

void installOverviewCommands(MainWindow* mf)
{
    analysis::OverviewPage* page = mf->analysisPage()->overviewPage();
    QObject::connect(
        page, &analysis::OverviewPage::shown, mf, [mf, page] { refreshCategories(mf, page); });
    QObject::connect(page, &analysis::OverviewPage::runRequested, mf,
        [mf, page](const QString& category) { runOverview(mf, page, category); });
    QObject::connect(
        page, &analysis::OverviewPage::reportRequested, mf, [mf, page] { writeReport(mf, page); });
}

} // namespace quel::shell
