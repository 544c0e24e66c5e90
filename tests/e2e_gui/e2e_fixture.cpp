#include "e2e_fixture.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "toolkit/container.h"
#include "toolkit/window_registry.h"
#include "vkey/key_crypto.h"
#include "vkey/sample_passkeys.h"

namespace kelvora::test {
namespace {

// The settle delay of one model and the key's reset window are measured on the key's clock.
constexpr std::int64_t kPastSettleDelayMs = 3000;

vkey::Bytes PinHash(const std::string& pin) {
    vkey::Bytes hash =
        vkey::Sha256(vkey::ByteView(reinterpret_cast<const std::uint8_t*>(pin.data()), pin.size()));
    hash.resize(16);
    return hash;
}

}  // namespace

void QuickPacer::Pause(std::uint32_t /*periodMs*/, StopSignal& stop) {
    stop.WaitFor(std::chrono::milliseconds(1));
}

EndToEndTest::EndToEndTest() : hook_([this](WindowImplBase& shown) { person.Handle(shown); }) {
    backend_.SetDeviceChangeObserver([](const std::string& path, vkey::DeviceChange change) {
        BroadcastDeviceChange(
            change == vkey::DeviceChange::kArrived ? kDbtDeviceArrival : kDbtDeviceRemoveComplete,
            DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
    });
}

EndToEndTest::~EndToEndTest() {
    if (HasFailure() && key != nullptr) {
        // The key's side of the story.
        for (const vkey::HistoryEntry& entry : key->SnapshotState().history) {
            std::string hex;
            for (const std::uint8_t byte : entry.request) {
                hex += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toStdString();
            }
            (void)std::fprintf(stderr, "key saw %s -> %x\n", hex.substr(0, 40).c_str(),
                               entry.status);
        }
    }
    ui.reset();
    window.reset();  // its session holds connections to the keys
    UiDriver::ProcessEvents();
    backend_.SetDeviceChangeObserver(nullptr);
}

vkey::VirtualKey& EndToEndTest::PlugKey(const KeyKind& kind, const std::string& pin,
                                        const std::vector<std::uint16_t>& templateSlots) {
    if (key != nullptr && key->plugged()) {
        key->Unplug();
    }
    vkey::Config config;
    config.model = kind.model;
    config.firmware = kind.firmware;
    config.statusOmitsFingerprints = kind.statusOmitsFingerprints;
    config.reportsCtap21 = kind.ctap21;
    // Room for one more, so a nearly full key can be filled.
    config.templateCapacity = std::max(config.templateCapacity, templateSlots.size() + 1);
    vkey::State state;
    if (!pin.empty()) {
        state.pinHash = PinHash(pin);
    }
    int finger = 1;
    for (const std::uint16_t slot : templateSlots) {
        state.templates[slot] = vkey::Template{"fp" + std::to_string(slot), finger++};
    }
    keys_.push_back(std::make_unique<vkey::VirtualKey>(config, keyClock_, std::move(state)));
    key = keys_.back().get();
    backend_.AddKey(*key);
    person.UseKey(key, &keyClock_);
    key->Plug();
    keyClock_.Advance(kPastSettleDelayMs);
    return *key;
}

void EndToEndTest::Open(bool resetAtStart) {
    MainWndOptions options;
    options.timeZone = QTimeZone(9 * 3600);
    options.clock = &sessionClock_;
    options.arrivalDelayMs = 1;
    options.removalDelayMs = 1;
    options.pacer = &pacer_;
    options.workerClock = &workerClock_;
    window = std::make_unique<CMainWnd>(backend_, options);
    window->State().resetAtStart = resetAtStart;
    ASSERT_TRUE(window->Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    window->ShowWindow(true);
    ui = std::make_unique<UiDriver>(*window);
    UiDriver::ProcessEvents();
}

bool EndToEndTest::Click(const char* button) {
    return ui->Click(QString::fromLatin1(button));
}

bool EndToEndTest::SelectSlot(std::uint16_t slot) {
    for (const auto& [row, shown] : window->RowMap()) {
        if (shown == slot) {
            return ui->SelectRow(QStringLiteral("list_Fingerprint"), row);
        }
    }
    return false;
}

void EndToEndTest::Unplug() {
    key->Unplug();
    EXPECT_TRUE(KELVORA_WAIT_FOR_UI(!KeyShown()));
}

void EndToEndTest::Replug() {
    key->Plug();
    keyClock_.Advance(kPastSettleDelayMs);
    EXPECT_TRUE(KELVORA_WAIT_FOR_UI(KeyShown()));
}

bool EndToEndTest::KeyShown() const {
    return Status() == QStringLiteral("デバイスが見つかりました");
}

QString EndToEndTest::Status() const {
    return ui->Text(QStringLiteral("label_status"));
}

bool EndToEndTest::Enabled(const char* control) const {
    return ui->Enabled(QString::fromLatin1(control));
}

std::vector<std::uint16_t> EndToEndTest::ListedSlots() const {
    std::vector<std::uint16_t> templateSlots;
    const auto* list = ui->FindAs<CListUI>(QStringLiteral("list_Fingerprint"));
    for (int row = 0; list != nullptr && row < list->GetCount(); ++row) {
        templateSlots.push_back(static_cast<std::uint16_t>(list->GetItemAt(row)->GetTag()));
    }
    return templateSlots;
}

std::vector<std::uint16_t> EndToEndTest::KeySlots() const {
    std::vector<std::uint16_t> templateSlots;
    for (const auto& [slot, stored] : key->SnapshotState().templates) {
        templateSlots.push_back(slot);
    }
    return templateSlots;
}

bool EndToEndTest::KeyHasPin() const {
    return key->SnapshotState().pinSet();
}

bool EndToEndTest::KeyPinIs(const std::string& pin) const {
    const vkey::State state = key->SnapshotState();
    return state.pinHash && *state.pinHash == PinHash(pin);
}

}  // namespace kelvora::test

namespace kelvora::test {

void EndToEndTest::AddPasskeys(std::size_t count) {
    bool added = false;
    key->EditState([&](vkey::State& state) { added = vkey::AddSamplePasskeys(state, count); });
    ASSERT_TRUE(added);
}

std::vector<std::string> EndToEndTest::KeyPasskeyUsers() const {
    std::vector<std::string> users;
    for (const vkey::StoredPasskey& passkey : key->SnapshotState().passkeys) {
        users.push_back(passkey.userName);
    }
    return users;
}

int VisibleWindows() {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return static_cast<int>(std::count_if(widgets.begin(), widgets.end(),
                                          [](const QWidget* w) { return w->isVisible(); }));
}

}  // namespace kelvora::test
