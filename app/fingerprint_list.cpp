#include "app/fingerprint_list.h"

#include "app/enroll_time.h"
#include "ctap/fingerprint_name.h"
#include "platform/text.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/list.h"

namespace kelvora {
namespace {

constexpr int kTimeColumnWidth = 150;
// The name column is formatted into a buffer of 260 UTF-16 units.
constexpr int kMaxNameUnits = 259;

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

QString FromView(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FingerprintRowTexts FingerprintRowTextsFor(const QString& storedName, const QTimeZone& zone) {
    const DisplayNameParts parts = SplitDisplayName(View(storedName));
    FingerprintRowTexts texts{FromView(parts.visible).left(kMaxNameUnits), {}};
    if (!parts.stamp.empty()) {
        texts.time =
            FormatEnrollTime(text::FromUtf16Or(text::CodePage::Ansi, parts.stamp, ""), zone);
    }
    if (texts.time.isEmpty()) {
        texts.time = QString::fromLatin1(kNoTimeText);
    }
    return texts;
}

std::int64_t AddFingerprintRow(CListUI& list, std::uint16_t templateId, int state,
                               CListContainerElementUI* row, const QString& name,
                               const QTimeZone& zone) {
    if (row == nullptr) {
        return -1;
    }
    row->SetHeader(list.GetHeader());
    if (!list.Add(row)) {
        delete row;  // refused rows stay the caller's
        return -1;
    }
    row->SetTag(templateId);
    const FingerprintRowTexts texts = FingerprintRowTextsFor(name, zone);
    if (CControlUI* title = row->FindSubControl(QStringLiteral("label_title"))) {
        title->SetText(texts.name);
    }
    if (CControlUI* time = row->FindSubControl(QStringLiteral("label_state_%1").arg(state))) {
        time->SetFixedWidth(kTimeColumnWidth);
        time->SetText(texts.time);
    }
    return templateId;
}

CListContainerElementUI* BuildFingerprintRow(IDialogBuilderCallback* callback,
                                             CPaintManagerUI* manager) {
    CDialogBuilder builder;
    CControlUI* root =
        builder.Create(QString::fromLatin1(kFingerprintRowLayout), callback, manager);
    auto* row = dynamic_cast<CListContainerElementUI*>(root);
    if (row == nullptr) {
        delete root;
    }
    return row;
}

}  // namespace kelvora
