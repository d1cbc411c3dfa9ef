#include "web/document.h"

#include "web/browser.h"
#include "web/charset.h"
#include "web/nesting_scan.h"
#include "web/parse_arena.h"
#include "web/serializer.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <gumbo.h>
#include <vector>

namespace quel::web {

namespace {

// Deeper nesting is attached at this depth (as browsers do), so that walking and writing
// the tree never exhausts the stack on a hostile page.
constexpr int kMaxDepth = 512;

// Upper-case tag names, made once and shared by every element.
const QString& KnownTagName(GumboTag tag)
{
    static const std::array<QString, GUMBO_TAG_LAST> names = [] {
        std::array<QString, GUMBO_TAG_LAST> table;
        for (int t = 0; t < GUMBO_TAG_LAST; ++t)
            table[size_t(t)] = QString::fromLatin1(gumbo_normalized_tagname(GumboTag(t))).toUpper();
        return table;
    }();
    return names[size_t(tag)];
}

QString AttributeName(const char* name)
{
    static const std::array<QString, 16> common = { QStringLiteral("class"), QStringLiteral("id"),
        QStringLiteral("href"), QStringLiteral("src"), QStringLiteral("style"),
        QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("value"),
        QStringLiteral("title"), QStringLiteral("alt"), QStringLiteral("target"),
        QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("border"),
        QStringLiteral("align"), QStringLiteral("summary") };
    for (const QString& known : common) {
        if (known.size() == qsizetype(std::strlen(name)) && known == QLatin1StringView(name))
            return known;
    }
    return QString::fromUtf8(name).toLower();
}

// Browsers send the non-ASCII characters of a link's query in the page's charset (the path
// always in UTF-8); a GBK page's "?q=诺基亚" must reach the server as GBK bytes.
QString EncodeQueryInCharset(const QString& address, const QString& charset)
{
    const qsizetype query = address.indexOf(QLatin1Char('?'));
    if (query < 0 || charset == u"UTF-8")
        return address;
    qsizetype end = address.indexOf(QLatin1Char('#'), query);
    if (end < 0)
        end = address.size();
    bool ascii = true;
    for (qsizetype i = query; i < end && ascii; ++i)
        ascii = address[i].unicode() < 0x80;
    if (ascii)
        return address;
    QString encoded = address.left(query + 1);
    for (qsizetype i = query + 1; i < end; ++i) {
        const QChar c = address[i];
        if (c.unicode() < 0x80) {
            encoded += c;
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < end;
        const QByteArray bytes = EncodeText(address.mid(i, pair ? 2 : 1), charset);
        encoded += QString::fromLatin1(bytes.toPercentEncoding());
        if (pair)
            ++i;
    }
    encoded += QStringView(address).mid(end);
    return encoded;
}

} // namespace

// Turns gumbo's tree into our nodes. Gumbo already fills in what the parser implies
// (HTML, HEAD, BODY, TBODY, closing unclosed P and LI).
class DocumentBuilder
{
public:
    DocumentBuilder(Document& doc, const QByteArray& source)
        : m_doc(doc)
        , m_source(source)
    { }

    // Walks gumbo's tree with a stack of its own: the source may nest far deeper than the
    // call stack could follow.
    Node* build(const GumboNode* root)
    {
        Node* top = nullptr;
        visit(root, nullptr, 0, &top);
        while (!m_stack.empty()) {
            Frame& frame = m_stack.back();
            if (frame.next >= frame.element->children.length) {
                m_stack.pop_back();
                continue;
            }
            const auto* child
                = static_cast<const GumboNode*>(frame.element->children.data[frame.next++]);
            Node* holder = frame.holder;
            const int depth = frame.childDepth;
            visit(child, holder, depth, nullptr);
        }
        return top;
    }

private:
    struct Frame
    {
        const GumboElement* element;
        Node* holder;
        int childDepth;
        unsigned next;
    };

    void visit(const GumboNode* g, Node* parent, int depth, Node** top)
    {
        Node* n = nullptr;
        switch (g->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            n = buildElement(g->v.element, parent, depth);
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            n = leaf(Node::Kind::Text, g->v.text.text, parent);
            break;
        case GUMBO_NODE_COMMENT:
            n = leaf(Node::Kind::Comment, g->v.text.text, parent);
            break;
        case GUMBO_NODE_DOCUMENT:
            break;
        }
        if (top && !*top)
            *top = n;
    }

    Node* leaf(Node::Kind kind, const char* text, Node* parent)
    {
        Node* n = m_doc.newNode(kind);
        n->m_data = QString::fromUtf8(text);
        attach(n, parent);
        return n;
    }

    void attach(Node* n, Node* parent)
    {
        n->m_parent = parent;
        if (parent)
            parent->m_children.push_back(n);
    }

    Node* buildElement(const GumboElement& e, Node* parent, int depth)
    {
        Node* n = m_doc.newNode(Node::Kind::Element);
        if (e.tag != GUMBO_TAG_UNKNOWN && e.tag < GUMBO_TAG_LAST) {
            n->m_tagName = KnownTagName(e.tag);
        } else {
            GumboStringPiece piece = e.original_tag;
            gumbo_tag_from_original_text(&piece);
            n->m_tagName = QString::fromUtf8(piece.data, qsizetype(piece.length)).toUpper();
        }
        n->m_attributes.reserve(e.attributes.length);
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            n->m_attributes.push_back({ AttributeName(a->name), QString::fromUtf8(a->value) });
        }
        if (e.original_tag.length > 0)
            n->m_sourceOffset = int(e.start_pos.offset);
        if (e.original_end_tag.length > 0)
            n->m_sourceEnd = int(e.end_pos.offset);
        else if (e.tag == GUMBO_TAG_FORM && n->m_sourceOffset >= 0)
            n->m_sourceEnd = formEndTag(n->m_sourceOffset);
        attach(n, parent);
        m_doc.m_all.push_back(n);
        // Past the depth limit the children become the element's following siblings.
        Node* holder = depth < kMaxDepth ? n : parent;
        const int childDepth = depth < kMaxDepth ? depth + 1 : depth;
        if (holder == n)
            n->m_children.reserve(e.children.length);
        if (e.children.length > 0)
            m_stack.push_back({ &e, holder, childDepth, 0 });
        return n;
    }

    // A form end tag the parser set aside (a form inside a table) still ends the form's
    // reach over the controls that follow.
    int formEndTag(int from) const
    {
        static const QByteArray endTag("</form");
        for (qsizetype at = m_source.indexOf("</", from); at >= 0;
             at = m_source.indexOf("</", at + 2)) {
            if (m_source.mid(at, endTag.size()).toLower() == endTag)
                return int(at);
        }
        return -1;
    }

    Document& m_doc;
    const QByteArray& m_source;
    std::vector<Frame> m_stack;
};

Document::Document() = default;
Document::~Document() = default;

Node* Document::newNode(Node::Kind kind)
{
    if (m_nodeCount % kNodesPerBlock == 0)
        m_nodeBlocks.push_back(std::make_unique<Node[]>(kNodesPerBlock));
    Node& n = m_nodeBlocks.back()[m_nodeCount % kNodesPerBlock];
    ++m_nodeCount;
    n.m_kind = kind;
    n.m_document = this;
    return &n;
}

std::unique_ptr<Document> Document::parse(
    const QString& html, const QUrl& url, const QString& charset, ParseArena* arena)
{
    auto doc = std::make_unique<Document>();
    doc->m_url = url;
    doc->m_charset = charset;
    doc->m_readyState = QStringLiteral("complete");
    const QByteArray utf8 = html.toUtf8();
    if (!NestingWithin(utf8)) {
        doc->m_refused = true; // parsing it would hold the program for minutes
        return doc;
    }
    ParseArena ownArena;
    ParseArena& memory = arena ? *arena : ownArena;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // parse errors are of no use here and cost an allocation each
    options.allocator = &ParseArena::allocate;
    options.deallocator = &ParseArena::release;
    options.userdata = &memory;
    GumboOutput* output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    if (output && output->root) {
        DocumentBuilder builder(*doc, utf8);
        doc->m_documentElement = builder.build(output->root);
    }
    // The output lives in the arena and goes with it (gumbo's own destruction recurses
    // over the tree, which a deeply nested page would overflow).
    memory.reset();
    return doc;
}

std::unique_ptr<Document> Document::parseBytes(
    const QByteArray& bytes, const QUrl& url, const QString& contentType, ParseArena* arena)
{
    const QString charset = DetectCharset(bytes, contentType);
    return parse(DecodeBytes(bytes, charset), url, charset, arena);
}

QUrl Document::baseUrl() const
{
    const Node* h = head();
    if (h) {
        for (const Node* child : h->children()) {
            if (child->isElement() && child->tagName() == u"BASE" && child->hasAttribute(u"href")) {
                const QUrl base = m_url.resolved(QUrl(child->attribute(u"href").trimmed()));
                if (base.isValid() && !base.isRelative())
                    return base;
            }
        }
    }
    return m_url;
}

Browser* Document::browser() const
{
    return m_browser.data();
}

void Document::setBrowser(Browser* browser)
{
    m_browser = browser;
}

Node* Document::head() const
{
    if (!m_documentElement)
        return nullptr;
    for (Node* child : m_documentElement->children()) {
        if (child->isElement() && child->tagName() == u"HEAD")
            return child;
    }
    return nullptr;
}

Node* Document::body() const
{
    if (!m_documentElement)
        return nullptr;
    for (Node* child : m_documentElement->children()) {
        if (child->isElement() && (child->tagName() == u"BODY" || child->tagName() == u"FRAMESET"))
            return child;
    }
    return nullptr;
}

std::vector<Node*> Document::forms() const
{
    std::vector<Node*> result;
    for (Node* n : m_all) {
        if (n->tagName() == u"FORM")
            result.push_back(n);
    }
    return result;
}

Node* Document::form(const QString& name) const
{
    for (Node* n : m_all) {
        if (n->tagName() == u"FORM" && n->attribute(u"name") == name)
            return n;
    }
    for (Node* n : m_all) {
        if (n->tagName() == u"FORM" && n->attribute(u"id") == name)
            return n;
    }
    return nullptr;
}

QString Document::bodyHtml() const
{
    const Node* b = body();
    if (!b)
        return {};
    QString out;
    out.reserve(qsizetype(m_nodeCount) * 16);
    SerializeChildren(*b, out);
    return out;
}

QString Document::resolve(const QString& address) const
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl base = baseUrl();
    const QUrl target(EncodeQueryInCharset(trimmed, m_charset));
    if (base.isEmpty() || base.isRelative())
        return target.toString(QUrl::FullyEncoded);
    return base.resolved(target).toString(QUrl::FullyEncoded);
}

} // namespace quel::web
