#include "dialogs/fingerprint/edit_finger_name_wnd.h"

#include "ctap/bio_templates.h"
#include "ctap/fingerprint_name.h"
#include "ctap/input_rules.h"
#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/device_removal.h"
#include "platform/text.h"
#include "toolkit/control.h"
#include "toolkit/edit.h"

namespace kelvora {

namespace {
constexpr std::uint32_t kCancelled = 2;
constexpr int kAppliedCloseCode = 1;
constexpr int kCancelCloseCode = 2;
constexpr std::uint32_t kInformationBox = 0;

std::u16string ToU16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}
}  // namespace

QString FingerNameLengthMessage(const QString& name) {
    switch (CheckNameLength(static_cast<std::size_t>(name.size()))) {
        case NameLengthVerdict::kAccepted:
            return {};
        case NameLengthVerdict::kEmpty:
            return QString::fromUtf8(name_text::kEmpty);
        case NameLengthVerdict::kTooShort:
            return QString::fromUtf8(name_text::kTooShort);
        case NameLengthVerdict::kTooLong:
            return QString::fromUtf8(name_text::kTooLong);
    }
    return {};
}

CEditFingerNameWnd::CEditFingerNameWnd(FidoDevice& device, std::string currentName,
                                       std::uint16_t slot, WatchdogPacer& pacer)
    : CFingerprintDialogBase(QStringLiteral("EditFingerName.xml")),
      device_(device),
      currentName_(std::move(currentName)),
      slot_(slot),
      pacer_(pacer) {}

CEditFingerNameWnd::~CEditFingerNameWnd() {
    // Closed first, so that a watchdog in the middle of its close finds no window to wait on.
    if (GetHWND() && !IsClosed()) {
        DispatchMessage(kWmClose, 0, 0);
    }
    watchdog_.Stop();
}

void CEditFingerNameWnd::InitWindow() {
    okButton_ = FindControl(QStringLiteral("btn_ok"));
    edit_ = FindControl(QStringLiteral("edit_fingername"));
    message_ = FindControl(QStringLiteral("label_message"));
    if (edit_ != nullptr) {
        edit_->SetFocus();
    }
    const StoredNameParts parts = SplitStoredName(currentName_);
    const std::u16string visible = text::ToUtf16Or(text::CodePage::Ansi, parts.visible, u"");
    SetTextOf(edit_, QString::fromUtf16(visible.data(), static_cast<qsizetype>(visible.size())));
    watchdog_.Start(device_.State().deviceAbsent, GetHWND(), kWatchdogPeriodMs,
                    CloseDelivery::kPost, pacer_);
    RegisterDeviceNotification();
}

std::uint32_t CEditFingerNameWnd::Apply() {
    const QString visible = edit_ == nullptr ? QString() : edit_->GetText();
    if (const QString complaint = FingerNameLengthMessage(visible); !complaint.isEmpty()) {
        SetTextOf(message_, complaint);
        return kStatusEntryError;
    }
    const std::optional<std::string> ansi = text::FromUtf16(text::CodePage::Ansi, ToU16(visible));
    if (!ansi) {
        // The system cannot write the name in the key's code page; an empty one would replace it.
        SetTextOf(message_, QString::fromUtf8("この名前は保存できません。"));
        return kStatusEntryError;
    }
    const std::string name = RenamedFingerprintName(currentName_, *ansi);
    if (SetFriendlyName(device_, TemplateIdFromSlot(slot_), name, /*withPinAuth=*/false) !=
        kCtapSuccess) {
        ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                       QString::fromUtf8(name_text::kRenameFailed), kInformationBox);
    }
    // The main window refreshes its list either way, which shows the name the key kept.
    return 0;
}

void CEditFingerNameWnd::ApplyAndClose() {
    result_ = Apply();
    if (result_ == SuccessStatus(device_.State().selectedProductId.load())) {
        Close(kAppliedCloseCode);
    }
}

void CEditFingerNameWnd::Notify(TNotifyUI& msg) {
    const QString name = msg.pSender == nullptr ? QString() : msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("btn_ok")) {
            ApplyAndClose();
        } else if (name == QLatin1String("closebtn") || name == QLatin1String("btn_cancel")) {
            result_ = kCancelled;
            Close(kCancelCloseCode);
            return;  // the default handling would close with 1
        }
    } else if (msg.pSender != nullptr && msg.pSender == edit_) {
        if (msg.sType == QLatin1String("textchanged") &&
            edit_->GetText().size() >= kMinNameLength) {
            SetTextOf(message_, QString());
        } else if (msg.sType == QLatin1String("setfocus")) {
            if (auto* edit = dynamic_cast<CEditUI*>(edit_)) {
                edit->SetSel(0, static_cast<int>(edit->GetText().size()));
            }
        }
    }
    CFingerprintDialogBase::Notify(msg);
}

LRESULT CEditFingerNameWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmDeviceChange) {
        // kWmDeviceChange carries its record as a pointer in lParam (window_messages.h).
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        if (IsWatchedKeyRemoval(wParam, reinterpret_cast<const DeviceBroadcast*>(lParam))) {
            SendWindowMessage(GetHWND(), kWmClose, 0, 0);
        }
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

void CEditFingerNameWnd::OnFinalMessage() {
    watchdog_.Stop();
    CFingerprintDialogBase::OnFinalMessage();
}

}  // namespace kelvora
