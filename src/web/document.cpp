#include "web/document.h"

#include "web/browser.h"
#include "web/charset.h"
#include "web/serializer.h"

#include <gumbo.h>

namespace quel::web {

// Turns gumbo's tree into our nodes. Gumbo already fills in what the parser implies
// (HTML, HEAD, BODY, TBODY, closing unclosed P and LI).
class DocumentBuilder
{
public:
    DocumentBuilder(Document& doc, const QByteArray& source)
        : m_doc(doc)
        , m_source(source)
    { }

    Node* build(const GumboNode* g, Node* parent)
    {
        switch (g->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            return buildElement(g->v.element, parent);
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            return leaf(Node::Kind::Text, g->v.text.text, parent);
        case GUMBO_NODE_COMMENT:
            return leaf(Node::Kind::Comment, g->v.text.text, parent);
        case GUMBO_NODE_DOCUMENT:
            break;
        }
        return nullptr;
    }

private:
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

    Node* buildElement(const GumboElement& e, Node* parent)
    {
        Node* n = m_doc.newNode(Node::Kind::Element);
        if (e.tag != GUMBO_TAG_UNKNOWN) {
            n->m_tagName = QString::fromLatin1(gumbo_normalized_tagname(e.tag)).toUpper();
        } else {
            GumboStringPiece piece = e.original_tag;
            gumbo_tag_from_original_text(&piece);
            n->m_tagName = QString::fromUtf8(piece.data, qsizetype(piece.length)).toUpper();
        }
        n->m_attributes.reserve(e.attributes.length);
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            n->m_attributes.push_back(
                { QString::fromUtf8(a->name).toLower(), QString::fromUtf8(a->value) });
        }
        if (e.original_tag.length > 0)
            n->m_sourceOffset = int(e.start_pos.offset);
        if (e.original_end_tag.length > 0)
            n->m_sourceEnd = int(e.end_pos.offset);
        else if (e.tag == GUMBO_TAG_FORM && n->m_sourceOffset >= 0)
            n->m_sourceEnd = formEndTag(n->m_sourceOffset);
        attach(n, parent);
        m_doc.m_all.push_back(n);
        n->m_children.reserve(e.children.length);
        for (unsigned i = 0; i < e.children.length; ++i)
            build(static_cast<const GumboNode*>(e.children.data[i]), n);
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
};

Document::Document() = default;
Document::~Document() = default;

Node* Document::newNode(Node::Kind kind)
{
    Node& n = m_nodes.emplace_back();
    n.m_kind = kind;
    n.m_document = this;
    return &n;
}

std::unique_ptr<Document> Document::parse(
    const QString& html, const QUrl& url, const QString& charset)
{
    auto doc = std::make_unique<Document>();
    doc->m_url = url;
    doc->m_charset = charset;
    const QByteArray utf8 = html.toUtf8();
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // parse errors are of no use here and cost an allocation each
    GumboOutput* output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    if (output) {
        const GumboNode* root = output->root;
        DocumentBuilder builder(*doc, utf8);
        doc->m_documentElement = builder.build(root, nullptr);
        gumbo_destroy_output(&options, output);
    }
    doc->m_readyState = QStringLiteral("complete");
    return doc;
}

std::unique_ptr<Document> Document::parseBytes(
    const QByteArray& bytes, const QUrl& url, const QString& contentType)
{
    const QString charset = DetectCharset(bytes, contentType);
    return parse(DecodeBytes(bytes, charset), url, charset);
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
    out.reserve(int(m_nodes.size()) * 16);
    SerializeChildren(*b, out);
    return out;
}

QString Document::resolve(const QString& address) const
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl base = baseUrl();
    const QUrl target(trimmed);
    if (base.isEmpty() || base.isRelative())
        return target.toString(QUrl::FullyEncoded);
    return base.resolved(target).toString(QUrl::FullyEncoded);
}

} // namespace quel::web
