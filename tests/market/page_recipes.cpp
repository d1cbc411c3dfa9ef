#include "page_recipes.h"

#include "core/text_cut.h"

namespace quel::market::test {

using core::CutAtMarker;
using core::RemoveBetween;

double leadingNumber(const QString& text)
{
    QString digits;
    int i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        digits += text[i++];
    bool dot = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u' ')
            continue;
        if (c.isDigit() && c.unicode() < 128)
            digits += c;
        else if (c == u'.' && !dot)
            dot = true, digits += c;
        else
            break;
    }
    return digits.toDouble();
}

int readPageCount(const QString& markup)
{
    QString t = markup;
    CutAtMarker(t, QStringLiteral("<SPAN class=page-info>"), true);
    CutAtMarker(t, QStringLiteral("/"), true);
    return std::max(1, static_cast<int>(leadingNumber(t)));
}

QStringList listItemParts(const QString& markup)
{
    QString m = markup;
    m = CutAtMarker(m, QStringLiteral("class=page-bottom>"), true);
    m.remove(u' ');
    RemoveBetween(m, QStringLiteral("<SCRIPT"), QStringLiteral("</SCRIPT>"), QString());
    CutAtMarker(m, QStringLiteral(">所在地</"), true);
    CutAtMarker(m, QStringLiteral(">对比</"), true);
    RemoveBetween(m, QStringLiteral("</SPAN"), QStringLiteral(">"), QString());
    QStringList parts = m.split(QStringLiteral("<LIclass=list-item>"));
    parts.removeFirst();
    return parts;
}

ListItem parseListItem(const QString& part, const QString& mallPrefix)
{
    ListItem it;
    it.mall = part.contains(mallPrefix);
    QString t = part;
    CutAtMarker(t, QStringLiteral("item.htm?id="), true);
    it.code = CutAtMarker(t, QStringLiteral("\""), true);

    t = part;
    CutAtMarker(t, QStringLiteral("title="), true);
    CutAtMarker(t, QStringLiteral(">"), true);
    QString name = CutAtMarker(t, QStringLiteral("</A>"), true);
    RemoveBetween(name, QStringLiteral("<SPAN"), QStringLiteral(">"), QString());
    if (name.contains(u'>'))
        name = name.mid(name.indexOf(u'>') + 1);
    it.name = name;

    t = part;
    CutAtMarker(t, QStringLiteral("最近售出"), true);
    it.recentlySold = static_cast<int>(leadingNumber(t));
    t = part;
    CutAtMarker(t, QStringLiteral("class=place>"), true);
    it.place = CutAtMarker(t, QStringLiteral("<"), true);
    t = part;
    CutAtMarker(t, QStringLiteral("class=price>"), true);
    CutAtMarker(t, QStringLiteral("<EM>"), true);
    it.price = leadingNumber(CutAtMarker(t, QStringLiteral("</EM>"), true));
    t = part;
    t.replace(u':', u'：');
    CutAtMarker(t, QStringLiteral("shipping>运费："), true);
    it.postage = leadingNumber(CutAtMarker(t, QStringLiteral("</"), true));
    if (part.indexOf(QStringLiteral("class=extend>")) > 0) {
        t = part;
        CutAtMarker(t, QStringLiteral("class=extend>"), true);
        QString dis = CutAtMarker(t, QStringLiteral("</DIV>"), true);
        RemoveBetween(dis, QStringLiteral("<"), QStringLiteral(">"), QString());
        dis.remove(QStringLiteral("折价"));
        it.discount = leadingNumber(dis.trimmed());
    }
    t = part;
    CutAtMarker(t, QStringLiteral(">卖家：<A"), true);
    if (t.contains(QStringLiteral("view_shop-"))) {
        CutAtMarker(t, QStringLiteral("view_shop-"), true);
        it.shopCode = CutAtMarker(t, QStringLiteral("."), true);
    }
    CutAtMarker(t, QStringLiteral(">"), true);
    it.shopName = CutAtMarker(t, QStringLiteral("</"), true);
    return it;
}

ItemFields parseItemFields(const QString& markup)
{
    ItemFields f;
    QString w = markup;
    CutAtMarker(w, QStringLiteral("detail-other end"), false);
    w.remove(QStringLiteral("\r\n"));
    w.remove(QStringLiteral("<EM>"));
    QString c = w;
    CutAtMarker(c, QStringLiteral("id=J_StrPrice>"), true);
    f.price = leadingNumber(c);
    c = w;
    if (!CutAtMarker(c, QStringLiteral("<SPAN>本期售出：</SPAN>"), true).isEmpty())
        f.soldThisPeriod = static_cast<int>(leadingNumber(c));
    c = w;
    if (!CutAtMarker(c, QStringLiteral("<SPAN>30天售出：</SPAN>"), true).isEmpty())
        f.sold30Days = static_cast<int>(leadingNumber(c));
    const QString before = CutAtMarker(w, QStringLiteral("</A>人评价)"), true);
    if (!before.isEmpty())
        f.reviews = static_cast<int>(leadingNumber(before.mid(before.lastIndexOf(u'>') + 1)));
    c = w;
    if (!CutAtMarker(c, QStringLiteral("<SPAN>宝贝类型：</SPAN>"), true).isEmpty())
        f.itemType = CutAtMarker(c, QStringLiteral("</"), true);
    c = w;
    if (!CutAtMarker(c, QStringLiteral("浏览次数："), true).isEmpty()) {
        QString v = CutAtMarker(c, QStringLiteral("</EM>"), true);
        RemoveBetween(v, QStringLiteral("<"), QStringLiteral(">"), QString());
        f.views = static_cast<int>(leadingNumber(v));
    }
    c = w;
    if (!CutAtMarker(c, QStringLiteral("收藏人气："), true).isEmpty()) {
        RemoveBetween(c, QStringLiteral("<"), QStringLiteral(">"), QString());
        f.favourites = static_cast<int>(leadingNumber(c));
    }
    return f;
}

QList<SalesRow> parseSalesTable(const QString& markup)
{
    QList<SalesRow> rows;
    const QString marker = QStringLiteral("summary=买家出价记录");
    if (!markup.contains(marker))
        return rows;
    QString t = markup;
    QString rest = CutAtMarker(t, marker, false);
    CutAtMarker(rest, QStringLiteral(">留言簿</"), false);
    CutAtMarker(rest, QStringLiteral("</TABLE>"), false);
    rest.remove(QStringLiteral("\r\n"));
    const QStringList trs = rest.split(QStringLiteral("</TR>"));
    for (int r = 1; r < trs.size(); ++r) {
        const QStringList cells = trs[r].split(QStringLiteral("</TD>"));
        if (cells.size() < 6)
            continue;
        SalesRow row;
        row.price = leadingNumber(cells[2].mid(cells[2].indexOf(QStringLiteral("M>")) + 2));
        row.quantity = leadingNumber(cells[3].mid(cells[3].indexOf(u'>') + 1));
        row.time = cells[4].mid(cells[4].indexOf(u'>') + 1).trimmed();
        QString c0 = cells[0];
        const int at = c0.indexOf(QStringLiteral("user-rate-"));
        if (at > 0) {
            QString after = c0.mid(at + 10);
            row.rateId = after.left(after.indexOf(QStringLiteral(".htm")));
            c0 = c0.left(at);
            c0 = c0.left(c0.lastIndexOf(u'<'));
        }
        QString name = c0.mid(c0.indexOf(u'>') + 1);
        RemoveBetween(name, QStringLiteral("<"), QStringLiteral(">"), QString());
        row.buyer = name.trimmed();
        rows.append(row);
    }
    return rows;
}

bool readPageInfo(const QString& markup, int& current, int& count)
{
    if (!markup.contains(QStringLiteral(">下一页</")))
        return false;
    QString t = markup;
    CutAtMarker(t, QStringLiteral("class=page-info>共"), true);
    CutAtMarker(t, QStringLiteral("条"), true);
    t = t.trimmed();
    current = static_cast<int>(leadingNumber(t));
    CutAtMarker(t, QStringLiteral("/"), true);
    count = static_cast<int>(leadingNumber(t));
    return true;
}

Profile parseProfile(const QString& markup)
{
    Profile p;
    QString t = markup;
    CutAtMarker(t, QStringLiteral("id=NameCard>"), true);
    t.remove(u' ');
    t.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    t.remove(QStringLiteral("\r\n"));
    CutAtMarker(t, QStringLiteral("id=infocard>"), true);
    QString name = CutAtMarker(t, QStringLiteral(">基本信息<"), true);
    RemoveBetween(name, QStringLiteral("<"), QStringLiteral(">"), QString());
    p.name = name.trimmed();
    const auto linkText = [&t](const QString& marker) {
        CutAtMarker(t, marker, true);
        const QString s = CutAtMarker(t, QStringLiteral("</A>"), true);
        return s.mid(s.lastIndexOf(u'>') + 1);
    };
    p.sellerCredit = linkText(QStringLiteral(">卖家信用"));
    p.buyerCredit = linkText(QStringLiteral(">买家信用："));
    CutAtMarker(t, QStringLiteral(">所在地"), true);
    CutAtMarker(t, QStringLiteral("："), true);
    p.location = CutAtMarker(t, QStringLiteral("<"), true).trimmed();
    CutAtMarker(t, QStringLiteral(">注册时间："), true);
    p.registered = CutAtMarker(t, QStringLiteral("<"), true).trimmed();
    CutAtMarker(t, QStringLiteral(">上次登录："), true);
    p.lastLogin = CutAtMarker(t, QStringLiteral("<"), true).trimmed();
    return p;
}

} // namespace quel::market::test
