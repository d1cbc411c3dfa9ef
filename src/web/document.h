#pragma once

#include "web/dom.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>
#include <vector>

namespace quel::web {

class ParseArena;

class Browser;

// A parsed page: the node tree, the "all" element list in document order (from HTML down),
// its forms, its address and charset, and its ready state as the browser reports it.
class Document
{
public:
    // An empty document ("uninitialized", no elements, no body).
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Parses decoded markup; url is the page address, charset the name the page was
    // decoded with (forms are submitted in it). A caller that parses page after page may
    // lend its arena; it is reset when the parse is done.
    static std::unique_ptr<Document> parse(const QString& html, const QUrl& url = {},
        const QString& charset = QStringLiteral("UTF-8"), ParseArena* arena = nullptr);
    // Detects the charset of the bytes (header charset, then meta, then UTF-8 or GB18030),
    // decodes and parses them.
    static std::unique_ptr<Document> parseBytes(const QByteArray& bytes, const QUrl& url = {},
        const QString& contentType = {}, ParseArena* arena = nullptr);

    // The markup nested too deep to be parsed (see NestingWithin): the document is empty.
    bool refused() const { return m_refused; }

    const QUrl& url() const { return m_url; }
    // The address links and form actions resolve against (BASE href when given).
    QUrl baseUrl() const;
    const QString& charset() const { return m_charset; }

    // "uninitialized", "loading" or "complete" (set by the browser).
    const QString& readyState() const { return m_readyState; }
    void setReadyState(const QString& state) { m_readyState = state; }

    Node* documentElement() const { return m_documentElement; }
    Node* head() const;
    Node* body() const;
    const std::vector<Node*>& all() const { return m_all; }
    std::vector<Node*> forms() const;
    // A form by its name (or id); nullptr when the page has none of that name.
    Node* form(const QString& name) const;

    // The body's markup: the serialised children of BODY without BODY itself; empty when
    // there is no body.
    QString bodyHtml() const;

    // An address from the page resolved against the base address; empty for empty input.
    QString resolve(const QString& address) const;

    Browser* browser() const;
    void setBrowser(Browser* browser);

private:
    friend class DocumentBuilder;
    friend class Node;

    Node* newNode(Node::Kind kind);

    // Nodes live in blocks that never move, so Node* stays valid; one allocation per
    // block instead of one per few nodes keeps parsing cheap.
    static constexpr std::size_t kNodesPerBlock = 256;
    std::vector<std::unique_ptr<Node[]>> m_nodeBlocks;
    std::size_t m_nodeCount = 0;
    std::vector<Node*> m_all;
    Node* m_documentElement = nullptr;
    QUrl m_url;
    QString m_charset = QStringLiteral("UTF-8");
    QString m_readyState = QStringLiteral("uninitialized");
    QPointer<Browser> m_browser;
    bool m_refused = false;
};

} // namespace quel::web
