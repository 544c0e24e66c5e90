// The main window's view of the key: connecting, the two visible states and the list.

#include "app/fingerprint_list.h"
#include "app/main_wnd.h"
#include "ctap/get_info.h"
#include "ctap/identity_policy.h"
#include "ctap/input_rules.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "dialogs/message_box/message_box.h"
#include "platform/access_denied_advice.h"
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
    const AccessDeniedAdvice advice = AdviceForUnopenableKey(*options_.elevation);
    const int answer = ShowMessageBox(GetHWND(), QString::fromStdString(advice.title),
                                      QString::fromStdString(advice.text), advice.messageBoxStyle);
    if (!advice.offersElevatedStart || answer != kIdOk) {
        return;
    }
    InstanceClaim unclaimed;
    InstanceClaim& claim = options_.instance != nullptr ? *options_.instance : unclaimed;
    if (RestartElevated(*options_.elevation, claim, options_.arguments)) {
        handedOver_ = true;
        Close(kIdOk);
    }
    // Otherwise this copy goes on without the key, as if the box had been cancelled.
}

void CMainWnd::UpdateDeviceState(bool present) {
    // An operation that ends after its key was pulled out must not show the key again.
    if (keyState_.deviceAbsent) {
        present = false;
    }
    if (!present) {
        DrawNoKey();
        return;
    }
    if (const std::optional<KeyView> view = ReadKeyView()) {
        DrawKey(*view);
    }
}

AuthenticatorCaps CMainWnd::ReadCaps() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    if (caps.pinSet != 1) {
        keyState_.pinSet = false;
    }
    return caps;
}

std::optional<CMainWnd::KeyView> CMainWnd::ReadKeyView() {
    KeyView view;
    SlotMap enrolled{};
    view.fingerprints = EnumerateFingerprints(enrolled) && CountEnrolled(enrolled) > 0;
    if (keyState_.deviceAbsent) {
        // The key went while the listing's error box was open, and the removal has shown
        // the no-key state underneath it: showing the key now would contradict it.
        return std::nullopt;
    }
    if (!view.fingerprints) {
        keyState_.uvConfigured = false;
    }
    const AuthenticatorCaps caps = ReadCaps();
    view.pinSet = caps.pinSet == 1;
    view.uvConfigured = HoldsFingerprints(caps.uvConfigured != 0, view.fingerprints ? 1 : 0);
    view.passkeys = AbilitiesOf(keyState_).managesPasskeys;
    if (caps.uvConfigured == 0) {
        keyState_.uvConfigured = false;
        // A key that reports neither is asked once more, as it always has been.
        if (!view.pinSet) {
            view.pinSet = ReadCaps().pinSet == 1;
        }
    }
    return view;
}

void CMainWnd::DrawKey(const KeyView& view) {
    keyPages_->SelectItem(kKeyPage);
    list_->SetEnabled(true);
    keyIcon_->SetToolTip(QStringLiteral("Device Inserted"));
    keyIcon_->SetBkImage(QStringLiteral("Kelvora-FIDO-UI-Elements-14.png"));
    statusLabel_->SetText(QStringLiteral("デバイスが見つかりました"));
    formatButton_->SetEnabled(true);
    fingerprintPages_->SelectItem(view.fingerprints ? kFingerprintPage : kNoFingerprintPage);
    verifyButton_->SetEnabled(view.fingerprints);
    // Deleting and renaming act on the selected row and prove a finger the key reports.
    const bool selected = list_->GetCurSel() >= 0;
    deleteButton_->SetEnabled(selected && view.uvConfigured);
    editButton_->SetEnabled(selected && view.uvConfigured);
    enrollButton_->SetEnabled(true);
    changePinButton_->SetEnabled(view.pinSet);
    passkeyButton_->SetVisible(view.passkeys);
}

void CMainWnd::DrawNoKey() {
    CloseCurrentMessageBox();
    // The list's own refresh keeps its rows when GetInfo fails, which it does once the key
    // is gone; rows of a key that is no longer there must not outlive it (a key plugged in
    // next whose listing fails would show them as its own).
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
    passkeyButton_->SetVisible(false);
    keyState_.uvConfigured = false;
    keyState_.pinSet = false;
}

void CMainWnd::RefreshFingerprintList(bool rebuild) {
    AuthenticatorCaps caps;
    const std::uint16_t status = GetAuthenticatorInfo(device_, caps);
    if (!SucceededOnKey(device_, status)) {
        DebugPrintf(SystemDebugOutput(), "GetInfo ERR: 0x%04X", static_cast<unsigned>(status));
        return;
    }
    if (!rebuild) {
        list_->RemoveAll();
        return;
    }
    list_->SetTextCallback(this);
    SlotMap enrolled{};
    if (!EnumerateFingerprints(enrolled)) {
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
        const std::u16string name = text::ToUtf16Or(text::CodePage::Ansi, stored, u"");
        AddFingerprintRow(*list_, slot, kRowState, rowControl,
                          QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())),
                          options_.timeZone);
    }
    if (list_->GetCount() > 0) {
        list_->SelectItem(0, false);
    }
}

bool CMainWnd::EnumerateFingerprints(SlotMap& slotMap) {
    // A CTAP2 key that refuses the listing looks empty; that is not a failure here.
    return ReadFingerprintsOnKey(
               device_, slotMap, templateNames_,
               [this] {
                   ShowMessageBox(
                       GetHWND(), QStringLiteral("エラー"),
                       QStringLiteral("エラーが発生しました。認証デバイスを再接続してください。"),
                       kMbIconError);
               })
        .succeeded;
}

}  // namespace kelvora
