#include "search/batch_search.h"

#include "core/exit_codes.h"
#include "core/feedback.h"
#include "search/product_search.h"
#include "search/web_search_browser.h"
#include "store/db_operate.h"
#include "web/browser.h"
#include "web/market.h"

#include <QTextStream>

namespace quel::search {

QString SearchBatchUsage()
{
    return QStringLiteral("KEYWORD [--nick NICK]");
}

int RunSearchBatch(store::DB_Operate& db, const QString& dataFolder, const QStringList& arguments,
    QTextStream& err)
{
    QString keyword;
    QString nick;
    bool haveKeyword = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QStringLiteral("--nick")) {
            if (i + 1 >= arguments.size()) {
                err << QStringLiteral("--nick 后缺少会员名") << Qt::endl;
                return core::kBatchUsage;
            }
            nick = arguments.at(++i);
        } else if (argument.startsWith(QStringLiteral("--nick="))) {
            nick = argument.mid(7);
        } else if (!haveKeyword) {
            keyword = argument;
            haveKeyword = true;
        } else {
            err << QStringLiteral("多余的参数：") << argument << Qt::endl;
            return core::kBatchUsage;
        }
    }
    if (keyword.trimmed().isEmpty() && nick.trimmed().isEmpty()) {
        err << QStringLiteral("请给出搜索关键词或会员名：search ") << SearchBatchUsage()
            << Qt::endl;
        return core::kBatchUsage;
    }
    const web::MarketAddresses& market = web::Market();
    if (market.searchPage().isEmpty()) {
        err << QStringLiteral("没有可用的市场地址") << Qt::endl;
        return core::kBatchFatal;
    }

    web::Browser browser;
    browser.setSilent(true);
    WebSearchBrowser searchBrowser(browser, db.feedback());
    SearchOptions options;
    options.searchPageUrl = market.searchPage();
    options.mallPrefix = market.mallPrefix;
    options.errorFile = dataFolder + QStringLiteral("/Error.ASP");
    ProductSearch search(db, searchBrowser, options);
    search.setProgressObserver([&err](const SearchProgress& p) {
        err << QStringLiteral("第 %1/%2 页：%3 个产品，累计新增 %4 个，保存 %5 个")
                   .arg(p.page)
                   .arg(p.pageCount)
                   .arg(p.pageItems)
                   .arg(p.inserted)
                   .arg(p.stored)
            << Qt::endl;
    });
    err << QStringLiteral("搜索：") << options.searchPageUrl << QStringLiteral(" 关键词“")
        << keyword << QStringLiteral("” 会员“") << nick << QStringLiteral("”") << Qt::endl;
    const SearchReport report = search.run(keyword, nick);
    err << QStringLiteral("共读 %1 页，新增 %2 个产品，更新 %3 个产品")
               .arg(report.pagesStored)
               .arg(report.inserted)
               .arg(report.updated)
        << Qt::endl;
    switch (report.end) {
    case SearchEnd::Finished:
    case SearchEnd::NoItems:
        return core::kBatchOk;
    case SearchEnd::Cancelled:
        err << QStringLiteral("搜索已中止") << Qt::endl;
        return core::kBatchFatal;
    case SearchEnd::FormFailed:
        err << QStringLiteral("无法打开搜索页：") << options.searchPageUrl << Qt::endl;
        return core::kBatchFatal;
    case SearchEnd::StoreFailed:
        err << QStringLiteral("无法保存搜索结果") << Qt::endl;
        return core::kBatchFatal;
    case SearchEnd::Looped:
        err << QStringLiteral("警告：“下一页”回到了已读过的结果页，搜索已停止，结果可能不全")
            << Qt::endl;
        return core::kBatchSomeFailed;
    case SearchEnd::PageFailed:
        err << (report.failedUrl == options.searchPageUrl ? QStringLiteral("无法打开搜索页：")
                                                          : QStringLiteral("下载网页失败："))
            << report.failedUrl << QStringLiteral("（") << report.failure << QStringLiteral("）")
            << Qt::endl;
        return core::kBatchFatal;
    }
    return core::kBatchFatal;
}

} // namespace quel::search
