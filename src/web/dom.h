#pragma once

#include <QString>
#include <vector>

namespace quel::web {

class Document;

struct Attribute
{
    QString name; // lower case
    QString value;
};

// One node of a parsed page: an element, a text run or a comment. Nodes belong to their
// Document and live as long as it does; pointers stay valid until the document is dropped
// (a browser keeps the previous document until its next navigation).
class Node
{
public:
    enum class Kind
    {
        Element,
        Text,
        Comment
    };

    Kind kind() const { return m_kind; }
    bool isElement() const { return m_kind == Kind::Element; }
    Document* document() const { return m_document; }
    Node* parent() const { return m_parent; }
    const std::vector<Node*>& children() const { return m_children; }

    // Text of a text or comment node (entities decoded, line breaks as LF).
    const QString& data() const { return m_data; }

    // Element: upper-case tag name ("DIV", "A", "TBODY").
    const QString& tagName() const { return m_tagName; }
    const std::vector<Attribute>& attributes() const { return m_attributes; }
    bool hasAttribute(QStringView name) const;
    QString attribute(QStringView name) const; // empty when absent
    void setAttribute(const QString& name, const QString& value);

    // Serialised markup of the children / of the element itself (the old control's form).
    QString innerHTML() const;
    QString outerHTML() const;
    // The text of all descendant text nodes, as they stand.
    QString textContent() const;

    // Link target resolved against the page address: A, AREA and LINK with an href;
    // empty for every other element.
    QString href() const;
    QString name() const { return attribute(u"name"); }
    QString id() const { return attribute(u"id"); }

    // Form fields. type(): INPUT's type in lower case ("text" by default), BUTTON's
    // ("submit" by default), "select-one"/"select-multiple", "textarea"; else empty.
    QString type() const;
    // value(): INPUT and BUTTON their value, TEXTAREA its text, SELECT the chosen
    // option's value, OPTION its value (or text); else empty. setValue() changes what a
    // submission sends (and what the markup shows for INPUT and TEXTAREA).
    QString value() const;
    void setValue(const QString& value);
    // OPTION: chosen, by setValue on its SELECT or else by its "selected" attribute.
    bool isSelected() const;

    // FORM: the form's fields by name or id, its controls (INPUT, BUTTON, SELECT,
    // TEXTAREA) in document order, and every element inside it.
    Node* field(const QString& nameOrId) const;
    std::vector<Node*> formElements() const;
    // A control's form: the enclosing FORM, else the form that was open where the
    // control stood in the source (forms inside tables lose their children that way).
    Node* form() const;

    // What a click does: an element with a link target navigates there; a submit button
    // or input submits its form; anything else does nothing. Returns true when it started
    // a navigation. Needs the document to belong to a browser.
    bool click();

    // Element children only (convenience for walking).
    std::vector<Node*> childElements() const;
    // First descendant element (or this one) with the tag name, document order.
    Node* firstDescendant(QStringView upperTag) const;

    // Position of the start tag in the source bytes (for form ownership); -1 when implied.
    int sourceOffset() const { return m_sourceOffset; }

private:
    friend class Document;
    friend class DocumentBuilder;

    Kind m_kind = Kind::Element;
    Document* m_document = nullptr;
    Node* m_parent = nullptr;
    std::vector<Node*> m_children;
    QString m_tagName;
    std::vector<Attribute> m_attributes;
    QString m_data;
    int m_sourceOffset = -1;
    int m_sourceEnd = -1; // end of an explicit end tag; -1 when implied or missing
    // SELECT/OPTION selection as chosen by setValue (the markup keeps "selected").
    bool m_selected = false;
    bool m_selectedSet = false;
};

} // namespace quel::web
