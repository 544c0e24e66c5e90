#include "toolkit/paint_manager.h"

#include <QObject>
#include <QStringList>
#include <algorithm>

#include "toolkit/control.h"
#include "toolkit/image_prefetch.h"
#include "toolkit/resource_package.h"
#include "toolkit/skin_image.h"

namespace kelvora {

namespace {
struct PackageState {
    std::unique_ptr<ResourcePackage> package;
    QString name;
    std::map<QString, std::optional<QImage>> images;
    std::unique_ptr<ImagePrefetch> prefetch;  // pictures a window is about to show
};

PackageState& Package() {
    static PackageState state;
    return state;
}
}  // namespace

const QFont* FontTable::Find(int id) const {
    const auto it = fonts.find(id);
    return it == fonts.end() ? nullptr : &it->second;
}

bool CPaintManagerUI::SetResourceZip(std::span<const std::byte> bytes) {
    auto package = ResourcePackage::Open(bytes);
    PackageState& state = Package();
    state.prefetch.reset();
    state.images.clear();
    state.package = std::move(package);
    return state.package != nullptr;
}

void CPaintManagerUI::SetResourceZipName(const QString& name) {
    Package().name = name;
}
QString CPaintManagerUI::GetResourceZipName() {
    return Package().name;
}
bool CPaintManagerUI::HasResourcePackage() {
    return Package().package != nullptr;
}

void CPaintManagerUI::ClearResourcePackage() {
    Package().prefetch.reset();
    Package().images.clear();
    Package().package.reset();
}

void CPaintManagerUI::PrefetchImages(const std::vector<QString>& names) {
    PackageState& state = Package();
    if (state.prefetch) {
        // An earlier window's pictures: kept, as that window shows them.
        for (auto& [name, image] : state.prefetch->TakeRest()) {
            state.images.emplace(name, std::move(image));
        }
        state.prefetch.reset();
    }
    std::vector<std::pair<QString, QByteArray>> pictures;
    for (const QString& name : names) {
        const bool listed =
            std::any_of(pictures.begin(), pictures.end(),
                        [&name](const auto& picture) { return picture.first == name; });
        if (listed || state.images.contains(name)) {
            continue;
        }
        if (auto bytes = LoadResourceFile(name)) {
            pictures.emplace_back(name, std::move(*bytes));
        }
    }
    if (!pictures.empty()) {
        state.prefetch = std::make_unique<ImagePrefetch>(std::move(pictures));
    }
}

std::optional<QByteArray> CPaintManagerUI::LoadResourceFile(const QString& name) {
    const PackageState& state = Package();
    if (!state.package || name.isEmpty()) {
        return std::nullopt;
    }
    return state.package->Read(name);
}

const QImage* CPaintManagerUI::GetImage(const QString& name) {
    PackageState& state = Package();
    auto it = state.images.find(name);
    if (it == state.images.end()) {
        std::optional<QImage> image;
        if (auto prefetched = state.prefetch ? state.prefetch->Take(name) : std::nullopt) {
            image = std::move(*prefetched);
        } else if (const auto bytes = LoadResourceFile(name)) {
            image = DecodeSkinImage(*bytes);
        }
        it = state.images.emplace(name, std::move(image)).first;
    }
    return it->second ? &*it->second : nullptr;
}

CPaintManagerUI::CPaintManagerUI(INotifyUI* sink, QObject* keyFilter)
    : sink_(sink), keyFilter_(keyFilter) {}

QFont CPaintManagerUI::GetFont(int id) const {
    if (fonts_) {
        if (const QFont* f = fonts_->Find(id)) {
            return *f;
        }
        if (const QFont* f = fonts_->Find(fonts_->defaultId)) {
            return *f;
        }
    }
    return MakeLayoutFont(QStringLiteral("Noto Sans CJK JP"), 14, false, false, false);
}

void CPaintManagerUI::SetRoot(CControlUI* root) {
    root_ = root;
    if (root_ != nullptr) {
        AttachControl(root_);
    }
}

CControlUI* CPaintManagerUI::FindControl(const QString& name) const {
    return root_ == nullptr ? nullptr : root_->FindByName(name);
}

std::vector<CControlUI*> CPaintManagerUI::FindControls(const QString& name) const {
    std::vector<CControlUI*> found;
    if (root_ != nullptr) {
        root_->CollectByName(name, found);
    }
    return found;
}

void CPaintManagerUI::AttachControl(CControlUI* control) {
    control->SetManager(this);
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const QString& type, WPARAM wParam,
                                 LPARAM lParam) {
    if (sink_ == nullptr) {
        return;
    }
    TNotifyUI msg{type, sender, wParam, lParam};
    sink_->Notify(msg);
}

}  // namespace kelvora
