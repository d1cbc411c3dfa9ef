#pragma once

#include <QString>

// Every text the worker looks for in a marketplace page, in the form the browser engine
// serialises markup (upper-case tags, simple attribute values unquoted). A change of the
// marketplace's page layout is an edit here and nowhere else.
namespace quel::worker::markers {

// The item page and its sales record.
inline const QString kNotViewable
    = QStringLiteral("class=ErrorMsg>对不起，暂时不提供查看该宝贝的信息<");
inline const QString kSalesTable = QStringLiteral("summary=买家出价记录");
inline const QString kNoSales = QStringLiteral(">暂时还没有买家购买此宝贝。</");
inline const QString kSalesRecordLink = QStringLiteral("成交记录");
inline const QString kActiveNextPage = QStringLiteral("<SPAN>下一页</SPAN></A>");
inline const QString kNextPageLabel = QStringLiteral(">下一页</");
inline const QString kPageInfo = QStringLiteral("class=page-info>共");
inline const QString kPageInfoCount = QStringLiteral("条");
inline const QString kPageInfoSlash = QStringLiteral("/");
inline const QString kNextPageText = QStringLiteral("下一页");

// Item figures.
inline const QString kDetailOtherEnd = QStringLiteral("detail-other end");
inline const QString kEmphasisOpen = QStringLiteral("<EM>");
inline const QString kEmphasisClose = QStringLiteral("</EM>");
inline const QString kPrice = QStringLiteral("id=J_StrPrice>");
inline const QString kSoldThisPeriod = QStringLiteral("<SPAN>本期售出：</SPAN>");
inline const QString kSold30Days = QStringLiteral("<SPAN>30天售出：</SPAN>");
inline const QString kReviews = QStringLiteral("</A>人评价)");
inline const QString kItemType = QStringLiteral("<SPAN>宝贝类型：</SPAN>");
inline const QString kViews = QStringLiteral("浏览次数：");
inline const QString kFavourites = QStringLiteral("收藏人气：");

// The sales table.
inline const QString kGuestBook = QStringLiteral(">留言簿</");
inline const QString kTableEnd = QStringLiteral("</TABLE>");
inline const QString kRowEnd = QStringLiteral("</TR>");
inline const QString kCellEnd = QStringLiteral("</TD>");
inline const QString kPriceCellStart = QStringLiteral("M>");
inline const QString kRateLink = QStringLiteral("user-rate-");
inline const QString kRateLinkEnd = QStringLiteral(".htm");

// How a sale's date is written with Chinese units, and what each unit becomes, replaced in
// this order: 2010年4月2日 9点05分07秒 -> 2010-4-2 9:05:07.
struct DateUnit
{
    QString text;
    QString replacement;
};
inline const DateUnit kDateUnits[] = {
    { QStringLiteral("年"), QStringLiteral("-") },
    { QStringLiteral("月"), QStringLiteral("-") },
    { QStringLiteral("日"), QString() },
    { QStringLiteral("点"), QStringLiteral(":") },
    { QStringLiteral("分"), QStringLiteral(":") },
    { QStringLiteral("秒"), QString() },
    { QStringLiteral("  "), QStringLiteral(" ") },
};

// The buyer profile.
inline const QString kBanned = QStringLiteral("ErrorMsg>通告：該用戶已經被查封！</");
inline const QString kNameCard = QStringLiteral("id=NameCard>");
// The name card however its tag goes on (a class after the id, say): a profile page holds it.
inline const QString kNameCardId = QStringLiteral("id=NameCard");
inline const QString kInfoCard = QStringLiteral("id=infocard>");
inline const QString kBasicInfo = QStringLiteral(">基本信息<");
inline const QString kSellerCredit = QStringLiteral(">卖家信用");
inline const QString kBuyerCredit = QStringLiteral(">买家信用：");
inline const QString kLinkEnd = QStringLiteral("</A>");
inline const QString kLocation = QStringLiteral(">所在地");
inline const QString kFullWidthColon = QStringLiteral("：");
inline const QString kRegistered = QStringLiteral(">注册时间：");
inline const QString kLastLogin = QStringLiteral(">上次登录：");

// Generic markup pieces.
inline const QString kTagOpen = QStringLiteral("<");
inline const QString kTagClose = QStringLiteral(">");
inline const QString kEndTagOpen = QStringLiteral("</");
inline const QString kNbsp = QStringLiteral("&nbsp;");

} // namespace quel::worker::markers
