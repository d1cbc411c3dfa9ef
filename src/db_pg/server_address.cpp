#include "db_pg/server_address.h"

#include <QRegularExpression>

namespace quel::db_pg {

namespace {

// The length of the address's scheme with its "://"; 0 when it names no server.
int schemeLength(const QString& address)
{
    for (const char* scheme : { "postgresql://", "postgres://" }) {
        if (address.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return int(qstrlen(scheme));
    }
    return 0;
}

void addSecret(QStringList* secrets, const QString& raw)
{
    if (raw.isEmpty())
        return;
    secrets->append(raw);
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(raw.toUtf8()));
    if (decoded != raw && !decoded.isEmpty())
        secrets->append(decoded);
}

ServerAddressParts splitUri(const QString& address, int authorityStart)
{
    ServerAddressParts parts;
    int queryStart = address.indexOf(u'?', authorityStart);
    if (queryStart < 0)
        queryStart = int(address.size());
    QString head = address.left(queryStart);
    // The user part ends at the last '@': a password typed without percent-encoding may hold
    // '@' or '/' itself.
    const int at = head.lastIndexOf(u'@');
    if (at >= authorityStart) {
        const int colon = head.indexOf(u':', authorityStart);
        if (colon >= 0 && colon < at) {
            // Even an empty password after the colon counts: the colon shows that a
            // password was meant to be written there.
            parts.passwordWritten = true;
            addSecret(&parts.secrets, head.mid(colon + 1, at - colon - 1));
            head = head.left(colon) + head.mid(at);
        }
    }
    QString query;
    if (queryStart < address.size()) {
        QStringList kept;
        const QStringList items = address.mid(queryStart + 1).split(u'&');
        for (const QString& item : items) {
            const int eq = item.indexOf(u'=');
            const QString key
                = QString::fromUtf8(QByteArray::fromPercentEncoding(item.left(eq).toUtf8()));
            if (key.trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
                parts.passwordWritten = true;
                addSecret(&parts.secrets, eq >= 0 ? item.mid(eq + 1) : QString());
            } else
                kept.append(item);
        }
        if (!kept.isEmpty())
            query = u'?' + kept.join(u'&');
    }
    parts.shown = head + query;
    return parts;
}

ServerAddressParts splitKeywords(const QString& address)
{
    // libpq's "key=value key='quoted value'" form.
    static const QRegularExpression password(
        QStringLiteral(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'|\S*)\s*)"));
    ServerAddressParts parts;
    parts.shown = address;
    QRegularExpressionMatch match;
    while ((match = password.match(parts.shown)).hasMatch()) {
        QString value = match.captured(2);
        if (value.startsWith(u'\'') && value.size() >= 2) {
            value = value.mid(1, value.size() - 2);
            value.replace(QLatin1String("\\'"), QLatin1String("'"));
            value.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        }
        parts.passwordWritten = true;
        addSecret(&parts.secrets, value);
        parts.shown.remove(match.capturedStart(0), match.capturedLength(0));
        parts.shown.insert(match.capturedStart(0), match.captured(1));
    }
    parts.shown = parts.shown.trimmed();
    return parts;
}

} // namespace

bool IsServerAddress(const QString& pathOrAddress)
{
    return schemeLength(pathOrAddress) > 0;
}

ServerAddressParts SplitServerAddress(const QString& address)
{
    const int scheme = schemeLength(address);
    return scheme > 0 ? splitUri(address, scheme) : splitKeywords(address);
}

QString RedactedAddress(const QString& address)
{
    return SplitServerAddress(address).shown;
}

bool ServerAddressHoldsPassword(const QString& address)
{
    return SplitServerAddress(address).passwordWritten
        || address.contains(QLatin1String("password="), Qt::CaseInsensitive);
}

QString serverPasswordRefusedMessage()
{
    return QStringLiteral("数据库地址中不能写密码，目录文件 DB.txt 不保存密码。"
                          "请把密码写在 ~/.pgpass 文件中或放在环境变量 PGPASSWORD 里，"
                          "地址只写成 postgresql://用户@主机:端口/数据库名。");
}

QString ServerAddressProblem(const QString& address)
{
    const QString afterScheme = address.section(QLatin1String("://"), 1);
    if (!IsServerAddress(address) || afterScheme.isEmpty())
        return QStringLiteral("服务器数据库的地址应写成 postgresql://用户@主机:端口/数据库名。");
    if (ServerAddressHoldsPassword(address))
        return serverPasswordRefusedMessage();
    for (const QChar c : address) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("服务器数据库的地址中不能有空格或换行。");
    }
    return {};
}

} // namespace quel::db_pg
