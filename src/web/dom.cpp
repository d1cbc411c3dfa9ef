#include "web/dom.h"

#include "web/browser.h"
#include "web/charset.h"
#include "web/document.h"
#include "web/serializer.h"

#include <QUrl>

namespace quel::web {

namespace {

bool IsFormControl(const Node* n)
{
    const QString& t = n->tagName();
    return t == u"INPUT" || t == u"BUTTON" || t == u"SELECT" || t == u"TEXTAREA";
}

// Elements of the subtree below n, document order.
template <typename Visit> void ForEachDescendant(const Node* n, Visit visit)
{
    for (Node* child : n->children()) {
        if (!child->isElement())
            continue;
        visit(child);
        ForEachDescendant(child, visit);
    }
}

std::vector<Node*> Options(const Node* select)
{
    std::vector<Node*> options;
    ForEachDescendant(select, [&](Node* n) {
        if (n->tagName() == u"OPTION")
            options.push_back(n);
    });
    return options;
}

} // namespace

bool Node::hasAttribute(QStringView name) const
{
    for (const Attribute& a : m_attributes) {
        if (a.name == name)
            return true;
    }
    return false;
}

QString Node::attribute(QStringView name) const
{
    for (const Attribute& a : m_attributes) {
        if (a.name == name)
            return a.value;
    }
    return {};
}

void Node::setAttribute(const QString& name, const QString& value)
{
    const QString lower = name.toLower();
    for (Attribute& a : m_attributes) {
        if (a.name == lower) {
            a.value = value;
            return;
        }
    }
    m_attributes.push_back({ lower, value });
}

QString Node::innerHTML() const
{
    QString out;
    SerializeChildren(*this, out);
    return out;
}

QString Node::outerHTML() const
{
    QString out;
    SerializeNode(*this, out);
    return out;
}

QString Node::textContent() const
{
    if (m_kind == Kind::Text)
        return m_data;
    QString out;
    for (const Node* child : m_children) {
        if (child->m_kind != Kind::Comment)
            out += child->textContent();
    }
    return out;
}

QString Node::href() const
{
    if (!isElement() || !(m_tagName == u"A" || m_tagName == u"AREA" || m_tagName == u"LINK"))
        return {};
    if (!hasAttribute(u"href"))
        return {};
    const QString raw = attribute(u"href");
    return m_document ? m_document->resolve(raw) : raw;
}

QString Node::type() const
{
    if (m_tagName == u"INPUT") {
        const QString t = attribute(u"type").trimmed().toLower();
        return t.isEmpty() ? QStringLiteral("text") : t;
    }
    if (m_tagName == u"BUTTON") {
        const QString t = attribute(u"type").trimmed().toLower();
        return (t == u"button" || t == u"reset") ? t : QStringLiteral("submit");
    }
    if (m_tagName == u"SELECT")
        return hasAttribute(u"multiple") ? QStringLiteral("select-multiple")
                                         : QStringLiteral("select-one");
    if (m_tagName == u"TEXTAREA")
        return QStringLiteral("textarea");
    return {};
}

QString Node::value() const
{
    if (m_tagName == u"INPUT" || m_tagName == u"BUTTON")
        return attribute(u"value");
    if (m_tagName == u"TEXTAREA")
        return textContent();
    if (m_tagName == u"OPTION")
        return hasAttribute(u"value") ? attribute(u"value") : textContent().simplified();
    if (m_tagName == u"SELECT") {
        const std::vector<Node*> options = Options(this);
        for (const Node* o : options) {
            if (o->isSelected())
                return o->value();
        }
        return options.empty() ? QString() : options.front()->value();
    }
    return {};
}

void Node::setValue(const QString& value)
{
    if (m_tagName == u"INPUT" || m_tagName == u"BUTTON") {
        setAttribute(QStringLiteral("value"), value);
    } else if (m_tagName == u"TEXTAREA") {
        m_children.clear();
        if (!value.isEmpty() && m_document) {
            Node* text = m_document->newNode(Kind::Text);
            text->m_data = value;
            text->m_parent = this;
            m_children.push_back(text);
        }
    } else if (m_tagName == u"SELECT") {
        bool chosen = false;
        for (Node* o : Options(this)) {
            o->m_selectedSet = true;
            o->m_selected = !chosen && o->value() == value;
            chosen = chosen || o->m_selected;
        }
    }
}

bool Node::isSelected() const
{
    return m_selectedSet ? m_selected : hasAttribute(u"selected");
}

Node* Node::form() const
{
    for (Node* p = m_parent; p; p = p->m_parent) {
        if (p->m_tagName == u"FORM")
            return p;
    }
    if (!m_document || m_sourceOffset < 0)
        return nullptr;
    // A form start tag inside a table keeps the form empty: the controls after it are
    // placed elsewhere but still belong to it until its end tag.
    Node* owner = nullptr;
    for (Node* f : m_document->all()) {
        if (f->m_tagName != u"FORM" || f->m_sourceOffset < 0 || f->m_sourceOffset > m_sourceOffset)
            continue;
        if (f->m_sourceEnd < 0 || f->m_sourceEnd > m_sourceOffset) {
            if (!owner || f->m_sourceOffset > owner->m_sourceOffset)
                owner = f;
        }
    }
    return owner;
}

std::vector<Node*> Node::formElements() const
{
    std::vector<Node*> result;
    if (!m_document)
        return result;
    for (Node* n : m_document->all()) {
        if (IsFormControl(n) && n->form() == this)
            result.push_back(n);
    }
    return result;
}

Node* Node::field(const QString& nameOrId) const
{
    if (nameOrId.isEmpty())
        return nullptr;
    Node* byName = nullptr;
    ForEachDescendant(this, [&](Node* n) {
        if (!byName && (n->attribute(u"name") == nameOrId || n->attribute(u"id") == nameOrId))
            byName = n;
    });
    if (byName)
        return byName;
    for (Node* n : formElements()) {
        if (n->attribute(u"name") == nameOrId || n->attribute(u"id") == nameOrId)
            return n;
    }
    return nullptr;
}

std::vector<Node*> Node::childElements() const
{
    std::vector<Node*> result;
    for (Node* child : m_children) {
        if (child->isElement())
            result.push_back(child);
    }
    return result;
}

Node* Node::firstDescendant(QStringView upperTag) const
{
    if (isElement() && m_tagName == upperTag)
        return const_cast<Node*>(this);
    for (Node* child : m_children) {
        if (Node* found = child->firstDescendant(upperTag))
            return found;
    }
    return nullptr;
}

namespace {

bool IsSubmitter(const Node* n)
{
    if (n->tagName() == u"INPUT") {
        const QString t = n->type();
        return t == u"submit" || t == u"image";
    }
    return n->tagName() == u"BUTTON" && n->type() == u"submit";
}

// The form data set: every named, enabled control, checkboxes and radios only when
// checked, buttons only when they are the one clicked.
QByteArray FormData(const Node* form, const Node* submitter, const QString& charset)
{
    QByteArray data;
    auto add = [&](const QString& name, const QString& value) {
        if (!data.isEmpty())
            data += '&';
        data += FormUrlEncode(name, charset);
        data += '=';
        data += FormUrlEncode(value, charset);
    };
    for (const Node* n : form->formElements()) {
        const QString name = n->name();
        if (n->hasAttribute(u"disabled"))
            continue;
        const QString type = n->type();
        if (n == submitter) {
            if (type == u"image") {
                const QString prefix = name.isEmpty() ? QString() : name + QLatin1Char('.');
                add(prefix + QLatin1Char('x'), QStringLiteral("0"));
                add(prefix + QLatin1Char('y'), QStringLiteral("0"));
            } else if (!name.isEmpty()) {
                add(name, n->value());
            }
            continue;
        }
        if (name.isEmpty())
            continue;
        if (n->tagName() == u"BUTTON" || type == u"submit" || type == u"image" || type == u"button"
            || type == u"reset")
            continue;
        if ((type == u"checkbox" || type == u"radio")) {
            if (!n->hasAttribute(u"checked"))
                continue;
            add(name, n->hasAttribute(u"value") ? n->value() : QStringLiteral("on"));
            continue;
        }
        if (type == u"file") {
            add(name, QString());
            continue;
        }
        if (type == u"select-multiple") {
            for (const Node* o : Options(n)) {
                if (o->isSelected())
                    add(name, o->value());
            }
            continue;
        }
        add(name, n->value());
    }
    return data;
}

} // namespace

bool Node::click()
{
    if (!isElement() || !m_document)
        return false;
    Browser* browser = m_document->browser();
    if (!browser)
        return false;
    const QString target = href();
    if (!target.isEmpty()) {
        const QUrl url(target);
        const QString scheme = url.scheme().toLower();
        // No scripts run here, and a page's link must not reach local files.
        if (scheme != u"http" && scheme != u"https")
            return false;
        browser->navigate(target);
        return true;
    }
    if (!IsSubmitter(this))
        return false;
    const Node* owner = form();
    if (!owner)
        return false;
    const Document* doc = m_document;
    const QString actionText = owner->attribute(u"action").trimmed();
    const QUrl action = actionText.isEmpty() ? doc->url() : QUrl(doc->resolve(actionText));
    const QString method
        = (hasAttribute(u"formmethod") ? attribute(u"formmethod") : owner->attribute(u"method"))
              .trimmed()
              .toLower();
    const QString scheme = action.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return false;
    const QByteArray data = FormData(owner, this, doc->charset());
    // The document may be replaced by the navigation: nothing of it is used after this.
    browser->submit(action, method == u"post", data);
    return true;
}

} // namespace quel::web
