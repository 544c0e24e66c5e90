// The main window's view of the key: connecting, the two visible states and the list.

#include <algorithm>
#include "app/fingerprint_list.h"
#include "app/main_wnd.h"
#include "ctap/bio_templates.h"
#include "ctap/get_info.h"
#include "ctap/legacy_bio.h"
#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "platform/text.h"
#include "toolkit/container.h"
#include "transport/connect.h"

namespace kelvora {
namespace {

constexpr int kNoKeyPage = 0;
constexpr int kKeyPage = 1;
constexpr int kNoFingerprintPage = 0;
constexpr int kFingerprintPage = 1;
// Slot 255 is never shown.
constexpr std::uint16_t kShownSlots = 255;
constexpr int kRowState = 1;

}  // namespace

void CMainWnd::ConnectDevice() {
    connecting_ = true;
    // The flag must speak of this attempt only: a key that could not be opened earlier
    // may be long gone.
    keyState_.deviceAccessDenied = false;
    // GetInfo writes this for a CTAP2 key; a legacy key leaves it, so a CTAP2 key used
    // before must not make the legacy key's fingerprints be read the CTAP2 way.
    keyState_.bioEnrollmentSupported = false;
    const ConnectResult result = kelvora::ConnectDevice(device_, *options_.clock);
    if (!result.connected) {
        keyState_.deviceAbsent = true;
        keyState_.pinToken.Clear();
        keyState_.pinSet = false;
        keyState_.uvConfigured = false;
        if (keyState_.deviceAccessDenied) {
            ShowAccessDeniedAdvice();
        }
        UpdateDeviceState(false);
        RefreshFingerprintList(false);
        keyState_.deviceAccessDenied = false;
    } else {
        keyState_.deviceAbsent = false;
        RefreshFingerprintList(true);
        UpdateDeviceState(true);
    }
    connecting_ = false;
}

void CMainWnd::ShowAccessDeniedAdvice() {
    if (!options_.accessAdvice) {
        return;
    }
    const AccessDeniedAdvice advice = options_.accessAdvice();
    if (advice.show) {
        // The answer changes nothing.
        ShowMessageBox(GetHWND(), QString::fromStdString(advice.title),
                       QString::fromStdString(advice.text), advice.messageBoxStyle);
    }
}

bool CMainWnd::UpdatePinButton(AuthenticatorCaps& caps) {
    caps = AuthenticatorCaps{};
    GetAuthenticatorInfo(device_, caps);
    const bool pin = caps.pinSet == 1;
    changePinButton_->SetEnabled(pin);
    if (!pin) {
        keyState_.pinSet = false;
    }
    return pin;
}

void CMainWnd::UpdateDeviceState(bool present) {
    // An operation that ends after its key was pulled out must not show the key again.
    if (keyState_.deviceAbsent) {
        present = false;
    }
    if (!present) {
        CloseCurrentMessageBox();
        // The list's own refresh keeps its rows when GetInfo fails, which it does once the
        // key is gone; rows of a key that is no longer there must not outlive it (a key
        // plugged in next whose listing fails would show them as its own).
        list_->RemoveAll();
        rowMap_.clear();
        templateNames_.clear();
        for (CControlUI* control : {static_cast<CControlUI*>(list_), enrollButton_, verifyButton_,
                                    formatButton_, deleteButton_, editButton_}) {
            control->SetEnabled(false);
        }
        keyPages_->SelectItem(kNoKeyPage);
        statusLabel_->SetText(QStringLiteral("デバイスが見つかりません"));
        keyIcon_->SetToolTip(QStringLiteral("Device NOT Insert"));
        keyIcon_->SetBkImage(QStringLiteral("Kelvora-FIDO-UI-Elements-15.png"));
        changePinButton_->SetEnabled(false);
        keyState_.uvConfigured = false;
        keyState_.pinSet = false;
        return;
    }

    keyPages_->SelectItem(kKeyPage);
    list_->SetEnabled(true);
    keyIcon_->SetToolTip(QStringLiteral("Device Inserted"));
    keyIcon_->SetBkImage(QStringLiteral("Kelvora-FIDO-UI-Elements-14.png"));
    statusLabel_->SetText(QStringLiteral("デバイスが見つかりました"));
    formatButton_->SetEnabled(true);

    SlotMap enrolled{};
    const bool any =
        EnumerateFingerprints(enrolled) == 0 &&
        std::any_of(enrolled.begin(), enrolled.end(), [](std::uint8_t e) { return e != 0; });
    if (keyState_.deviceAbsent) {
        // The key went while the listing's error box was open, and the removal has shown
        // the no-key state underneath it: enabling the buttons now would contradict it.
        return;
    }
    verifyButton_->SetEnabled(any);
    deleteButton_->SetEnabled(any);
    editButton_->SetEnabled(any);
    if (!any) {
        keyState_.uvConfigured = false;
    }
    fingerprintPages_->SelectItem(any ? kFingerprintPage : kNoFingerprintPage);

    const bool selected = list_->GetCurSel() >= 0;
    deleteButton_->SetEnabled(selected);
    editButton_->SetEnabled(selected);
    enrollButton_->SetEnabled(true);

    AuthenticatorCaps caps;
    const bool pin = UpdatePinButton(caps);
    if (caps.uvConfigured == 0) {
        deleteButton_->SetEnabled(false);
        editButton_->SetEnabled(false);
        keyState_.uvConfigured = false;
        if (!pin) {
            UpdatePinButton(caps);
        }
    }
}

void CMainWnd::RefreshFingerprintList(bool rebuild) {
    AuthenticatorCaps caps;
    const std::uint16_t status = GetAuthenticatorInfo(device_, caps);
    if (status != SuccessStatus(keyState_.selectedProductId)) {
        DebugPrintf(SystemDebugOutput(), "GetInfo ERR: 0x%04X", static_cast<unsigned>(status));
        return;
    }
    if (!rebuild) {
        list_->RemoveAll();
        return;
    }
    list_->SetTextCallback(this);
    SlotMap enrolled{};
    if (EnumerateFingerprints(enrolled) != 0) {
        return;
    }
    rowMap_.clear();
    int row = 0;
    for (std::uint16_t slot = 0; slot < kShownSlots; ++slot) {
        if (enrolled[slot] != 0) {
            rowMap_[row++] = slot;
        }
    }
    list_->RemoveAll();
    for (const auto& [number, slot] : rowMap_) {
        CListContainerElementUI* rowControl = BuildFingerprintRow(this, &GetPaintManager());
        if (rowControl == nullptr) {
            continue;
        }
        const auto found = templateNames_.find(slot);
        const std::string stored = found == templateNames_.end() ? std::string() : found->second;
        const std::u16string name = text::ToUtf16(text::CodePage::Ansi, stored);
        AddFingerprintRow(*list_, slot, kRowState, rowControl,
                          QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())),
                          options_.timeZone);
    }
    if (list_->GetCount() > 0) {
        list_->SelectItem(0, false);
    }
}

int CMainWnd::EnumerateFingerprints(SlotMap& slotMap) {
    if (keyState_.bioEnrollmentSupported) {
        // A key that refuses the listing looks empty; that is not a failure here.
        return EnumerateBio(device_, slotMap, templateNames_);
    }
    return LegacyReadSlots(device_, slotMap, [this] {
        ShowMessageBox(GetHWND(), QStringLiteral("エラー"),
                       QStringLiteral("エラーが発生しました。認証デバイスを再接続してください。"),
                       kMbIconError);
    });
}

}  // namespace kelvora
