#pragma once

#include <QString>

namespace quel::web {

class Node;

// Markup in the form the old browser control wrote it, on which every marker relies:
// upper-case tag names; lower-case attribute names in source order, one blank before each;
// a value unquoted when it is non-empty and holds no ASCII character but letters, digits,
// "-", "_" and ".", otherwise in double quotes with & and " escaped; text with &, <, > and
// U+00A0 escaped; script and style content as it stands; every line break as CR LF; void
// elements without an end tag; comments as <!--...-->.
void SerializeNode(const Node& node, QString& out);
void SerializeChildren(const Node& node, QString& out);

// The attribute value as written: bare, or quoted and escaped.
QString SerializeAttributeValue(const QString& value);

bool IsVoidElement(QStringView upperTag);

} // namespace quel::web
