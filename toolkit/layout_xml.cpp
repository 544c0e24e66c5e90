#include "toolkit/layout_xml.h"

#include <QXmlStreamReader>

namespace kelvora {

namespace {
// Bounds the recursion of the consumers of the tree; real layouts nest about ten deep.
constexpr int kMaxDepth = 64;
}  // namespace

QString LayoutNode::Attribute(const QString& name) const {
    for (const auto& [key, value] : attributes) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

std::optional<LayoutNode> ParseLayoutXml(const QByteArray& xml, QString* error) {
    QXmlStreamReader reader(xml);
    std::vector<LayoutNode> stack;
    std::optional<LayoutNode> root;
    auto fail = [&](const QString& why) -> std::optional<LayoutNode> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
                // Entity definitions are the usual way to make an XML reader misbehave.
                return fail(QStringLiteral("document type declarations are not allowed"));
            case QXmlStreamReader::StartElement: {
                if (root.has_value()) {
                    return fail(QStringLiteral("content after the root element"));
                }
                if (static_cast<int>(stack.size()) >= kMaxDepth) {
                    return fail(QStringLiteral("elements nested too deep"));
                }
                LayoutNode node;
                node.tag = reader.name().toString();
                for (const QXmlStreamAttribute& a : reader.attributes()) {
                    node.attributes.emplace_back(a.name().toString(), a.value().toString());
                }
                stack.push_back(std::move(node));
                break;
            }
            case QXmlStreamReader::EndElement: {
                LayoutNode done = std::move(stack.back());
                stack.pop_back();
                if (stack.empty()) {
                    root = std::move(done);
                } else {
                    stack.back().children.push_back(std::move(done));
                }
                break;
            }
            default:
                break;
        }
    }
    if (reader.hasError()) {
        return fail(
            QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString()));
    }
    if (!root.has_value()) {
        return fail(QStringLiteral("no root element"));
    }
    return root;
}

}  // namespace kelvora
