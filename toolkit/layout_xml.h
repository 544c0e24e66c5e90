#pragma once

// The layout dialect: an XML element per control, attributes as name="value" pairs. This file
// only turns bytes into a tree; what the elements mean is the dialog builder's business.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace kelvora {

struct LayoutNode {
    QString tag;
    std::vector<std::pair<QString, QString>> attributes;  // in document order
    std::vector<LayoutNode> children;

    // The value of attribute `name`, or an empty string.
    QString Attribute(const QString& name) const;
};

// Parses a layout document. Malformed XML, an empty document or nesting deeper than a
// layout can sensibly need gives nothing, with a short reason in `error` when given.
std::optional<LayoutNode> ParseLayoutXml(const QByteArray& xml, QString* error = nullptr);

}  // namespace kelvora
