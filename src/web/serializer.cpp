#include "web/serializer.h"

#include "web/dom.h"

#include <initializer_list>

namespace quel::web {

namespace {

bool IsOneOf(QStringView tag, const std::initializer_list<QLatin1StringView>& names)
{
    for (QLatin1StringView name : names) {
        if (tag.size() == name.size() && tag == name)
            return true;
    }
    return false;
}

bool IsRawTextElement(QStringView tag)
{
    using namespace Qt::StringLiterals;
    return IsOneOf(tag,
        { "SCRIPT"_L1, "STYLE"_L1, "XMP"_L1, "IFRAME"_L1, "NOEMBED"_L1, "NOFRAMES"_L1,
            "PLAINTEXT"_L1 });
}

bool IsBareValueChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x80)
        return true;
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-'
        || u == '_' || u == '.';
}

// Appends s with every line break (LF, CR LF or a lone CR) written as CR LF; escape chooses
// what else is replaced.
template <typename Escape> void AppendText(QString& out, const QString& s, Escape escape)
{
    const QChar* p = s.constData();
    const qsizetype n = s.size();
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i].unicode();
        const char* replacement = nullptr;
        if (u == '\n') {
            replacement = "\r\n";
        } else if (u == '\r') {
            replacement = "\r\n";
            if (i + 1 < n && p[i + 1].unicode() == '\n') {
                out.append(p + plainFrom, i - plainFrom);
                out.append(QLatin1StringView("\r\n"));
                ++i;
                plainFrom = i + 1;
                continue;
            }
        } else {
            replacement = escape(u);
        }
        if (replacement) {
            out.append(p + plainFrom, i - plainFrom);
            out.append(QLatin1StringView(replacement));
            plainFrom = i + 1;
        }
    }
    out.append(p + plainFrom, n - plainFrom);
}

const char* EscapeText(char16_t u)
{
    switch (u) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case 0x00A0:
        return "&nbsp;";
    default:
        return nullptr;
    }
}

const char* EscapeNothing(char16_t)
{
    return nullptr;
}

const char* EscapeAttribute(char16_t u)
{
    switch (u) {
    case '&':
        return "&amp;";
    case '"':
        return "&quot;";
    default:
        return nullptr;
    }
}

void AppendAttributeValue(QString& out, const QString& value)
{
    bool bare = !value.isEmpty();
    for (QChar c : value) {
        if (!IsBareValueChar(c)) {
            bare = false;
            break;
        }
    }
    if (bare) {
        out += value;
        return;
    }
    out += QLatin1Char('"');
    AppendText(out, value, EscapeAttribute);
    out += QLatin1Char('"');
}

void SerializeInto(const Node& node, QString& out, bool rawParent)
{
    switch (node.kind()) {
    case Node::Kind::Text:
        if (rawParent)
            AppendText(out, node.data(), EscapeNothing);
        else
            AppendText(out, node.data(), EscapeText);
        return;
    case Node::Kind::Comment:
        out += QLatin1StringView("<!--");
        AppendText(out, node.data(), EscapeNothing);
        out += QLatin1StringView("-->");
        return;
    case Node::Kind::Element:
        break;
    }
    out += QLatin1Char('<');
    out += node.tagName();
    for (const Attribute& a : node.attributes()) {
        out += QLatin1Char(' ');
        out += a.name;
        out += QLatin1Char('=');
        AppendAttributeValue(out, a.value);
    }
    out += QLatin1Char('>');
    if (IsVoidElement(node.tagName()))
        return;
    SerializeChildren(node, out);
    out += QLatin1StringView("</");
    out += node.tagName();
    out += QLatin1Char('>');
}

} // namespace

bool IsVoidElement(QStringView tag)
{
    static const char16_t* const kVoid[] = { u"BR", u"IMG", u"INPUT", u"META", u"LINK", u"HR",
        u"AREA", u"BASE", u"COL", u"EMBED", u"PARAM", u"SOURCE", u"TRACK", u"WBR" };
    for (const char16_t* v : kVoid) {
        if (tag == QStringView(v))
            return true;
    }
    return false;
}

void SerializeNode(const Node& node, QString& out)
{
    const Node* parent = node.parent();
    SerializeInto(node, out, parent && parent->isElement() && IsRawTextElement(parent->tagName()));
}

void SerializeChildren(const Node& node, QString& out)
{
    const bool raw = node.isElement() && IsRawTextElement(node.tagName());
    for (const Node* child : node.children())
        SerializeInto(*child, out, raw);
}

QString SerializeAttributeValue(const QString& value)
{
    QString out;
    AppendAttributeValue(out, value);
    return out;
}

} // namespace quel::web
