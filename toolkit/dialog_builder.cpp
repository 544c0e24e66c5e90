#include "toolkit/dialog_builder.h"

#include "toolkit/attribute_values.h"
#include "toolkit/container.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/list.h"

namespace kelvora {

namespace {
constexpr int kDefaultFontSize = 12;

bool IsWindowElement(const LayoutNode& node) {
    return node.tag == QLatin1String("Window");
}

bool IsNonControlElement(const LayoutNode& node) {
    return node.tag == QLatin1String("Font") || node.tag == QLatin1String("Default") ||
           node.tag == QLatin1String("Image");
}
}  // namespace

CControlUI* CreateBuiltinControl(const QString& className) {
    if (className == QLatin1String("Control")) {
        return new CControlUI;
    }
    if (className == QLatin1String("Label")) {
        return new CLabelUI;
    }
    if (className == QLatin1String("Text")) {
        return new CTextUI;
    }
    if (className == QLatin1String("Button")) {
        return new CButtonUI;
    }
    if (className == QLatin1String("Edit")) {
        return new CEditUI;
    }
    if (className == QLatin1String("Container")) {
        return new CContainerUI;
    }
    if (className == QLatin1String("VerticalLayout")) {
        return new CVerticalLayoutUI;
    }
    if (className == QLatin1String("HorizontalLayout")) {
        return new CHorizontalLayoutUI;
    }
    if (className == QLatin1String("TabLayout")) {
        return new CTabLayoutUI;
    }
    if (className == QLatin1String("List")) {
        return new CListUI;
    }
    if (className == QLatin1String("ListHeader")) {
        return new CListHeaderUI;
    }
    if (className == QLatin1String("ListHeaderItem")) {
        return new CListHeaderItemUI;
    }
    if (className == QLatin1String("ListContainerElement")) {
        return new CListContainerElementUI;
    }
    return nullptr;
}

CControlUI* CDialogBuilder::Create(const QString& xmlFile, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    const auto bytes = CPaintManagerUI::LoadResourceFile(xmlFile);
    if (!bytes) {
        error_ = QStringLiteral("%1: not in the skin package").arg(xmlFile);
        return nullptr;
    }
    CControlUI* root = CreateFromXml(*bytes, callback, manager, parent);
    if (root == nullptr) {
        error_ = xmlFile + QStringLiteral(": ") + error_;
    }
    return root;
}

CControlUI* CDialogBuilder::CreateFromXml(const QByteArray& xml, IDialogBuilderCallback* callback,
                                          CPaintManagerUI* manager, CControlUI* parent) {
    window_ = WindowAttributes{};
    fonts_ = std::make_shared<FontTable>();
    error_.clear();
    const auto doc = ParseLayoutXml(xml, &error_);
    if (!doc) {
        return nullptr;
    }
    const LayoutNode* rootNode = &*doc;
    if (IsWindowElement(*doc)) {
        ReadWindowElement(*doc);
        rootNode = nullptr;
        for (const LayoutNode& child : doc->children) {
            if (!IsNonControlElement(child)) {
                rootNode = &child;
                break;
            }
        }
    }
    window_.fonts = fonts_;
    if (rootNode == nullptr) {
        error_ = QStringLiteral("no control in the layout");
        return nullptr;
    }
    CControlUI* root = Build(*rootNode, callback);
    if (root == nullptr) {
        error_ = QStringLiteral("unknown root element <%1>").arg(rootNode->tag);
        return nullptr;
    }
    if (parent != nullptr) {
        auto* container = dynamic_cast<CContainerUI*>(parent);
        if (container == nullptr || !container->Add(root)) {
            delete root;
            error_ = QStringLiteral("the parent cannot hold the built control");
            return nullptr;
        }
    }
    if (manager != nullptr) {
        manager->AttachControl(root);
    }
    return root;
}

void CDialogBuilder::ReadWindowElement(const LayoutNode& node) {
    window_.size = ParseSize(node.Attribute(QStringLiteral("size")));
    window_.minInfo = ParseSize(node.Attribute(QStringLiteral("mininfo")));
    window_.maxInfo = ParseSize(node.Attribute(QStringLiteral("maxinfo")));
    window_.caption = ParseFour(node.Attribute(QStringLiteral("caption"))).value_or(QMargins());
    window_.sizeBox = ParseFour(node.Attribute(QStringLiteral("sizebox"))).value_or(QMargins());
    int nextId = 0;
    for (const LayoutNode& child : node.children) {
        if (child.tag != QLatin1String("Font")) {
            continue;
        }
        const int id = ParseInt(child.Attribute(QStringLiteral("id")), nextId);
        nextId = id + 1;
        fonts_->fonts[id] =
            MakeLayoutFont(child.Attribute(QStringLiteral("name")),
                           ParseInt(child.Attribute(QStringLiteral("size")), kDefaultFontSize),
                           ParseBool(child.Attribute(QStringLiteral("bold"))),
                           ParseBool(child.Attribute(QStringLiteral("italic"))),
                           ParseBool(child.Attribute(QStringLiteral("underline"))));
        if (ParseBool(child.Attribute(QStringLiteral("default")))) {
            fonts_->defaultId = id;
        }
    }
}

CControlUI* CDialogBuilder::Build(const LayoutNode& node, IDialogBuilderCallback* callback) {
    CControlUI* control = CreateBuiltinControl(node.tag);
    if (control == nullptr && callback != nullptr) {
        control = callback->CreateControl(node.tag);
    }
    if (control == nullptr) {
        return nullptr;  // an element we do not know is left out, with its subtree
    }
    if (!fonts_->fonts.empty()) {
        control->SetLocalFonts(fonts_);
    }
    for (const auto& [name, value] : node.attributes) {
        control->SetAttribute(name, value);
    }
    auto* container = dynamic_cast<CContainerUI*>(control);
    for (const LayoutNode& childNode : node.children) {
        if (container == nullptr) {
            break;
        }
        CControlUI* child = Build(childNode, callback);
        if (child == nullptr) {
            continue;
        }
        auto* list = dynamic_cast<CListUI*>(container);
        auto* header = dynamic_cast<CListHeaderUI*>(child);
        if (list != nullptr && header != nullptr) {
            list->SetHeader(header);
        } else if (!container->Add(child)) {
            delete child;
        }
    }
    return control;
}

}  // namespace kelvora
