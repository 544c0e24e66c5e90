#include "app/virtual_key_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <set>

#include "app/key_setup.h"
#include "app/main_wnd.h"
#include "transport/device_ids.h"
#include "vkey/virtual_key.h"

namespace kelvora {
namespace {

constexpr int kGapPx = 12;
// The finger an enrolment takes when the panel touches a key without templates.
constexpr int kFirstFinger = 1;

struct FirmwareChoice {
    std::uint8_t version;
    const char* label;
};
constexpr std::array<FirmwareChoice, 3> kFirmwareChoices = {{
    {16, "16 (older; DES on legacy models)"},
    {17, "17 (standard)"},
    {18, "18 (vendor command set)"},
}};

QString ProductId(std::uint16_t productId) {
    return QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0')).toUpper();
}

QString ModelLabel(int model) {
    vkey::Config config;
    config.model = model;
    return QStringLiteral("%1 – %2 (PID %3)")
        .arg(model)
        .arg(config.isLegacy() ? QStringLiteral("legacy") : QStringLiteral("CTAP2"))
        .arg(ProductId(config.productId()));
}

QPushButton* Button(const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(name));
    return button;
}

}  // namespace

QString VirtualKeyStatusLine(const vkey::VirtualKey& key) {
    const vkey::Config& config = key.config();
    const vkey::State state = key.SnapshotState();
    const auto templates = static_cast<int>(state.templates.size());
    return QStringLiteral("%1 · model %2 (PID %3) · firmware %4 · %5 · %6 · %7")
        .arg(key.plugged() ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"))
        .arg(config.model)
        .arg(ProductId(config.productId()))
        .arg(config.firmware)
        .arg(state.pinSet() ? QStringLiteral("PIN set") : QStringLiteral("no PIN"))
        .arg(templates == 1 ? QStringLiteral("1 fingerprint")
                            : QStringLiteral("%1 fingerprints").arg(templates))
        .arg(key.waitingForUser() ? QStringLiteral("waiting for a finger")
                                  : QStringLiteral("not waiting"));
}

int VirtualKeyPanel::EnrolledFinger(const vkey::VirtualKey& key) {
    const vkey::State state = key.SnapshotState();
    return state.templates.empty() ? kFirstFinger : state.templates.begin()->second.finger;
}

int VirtualKeyPanel::OtherFinger(const vkey::VirtualKey& key) {
    const vkey::State state = key.SnapshotState();
    std::set<int> taken = {kFirstFinger};
    for (const auto& [slot, entry] : state.templates) {
        taken.insert(entry.finger);
    }
    int finger = kFirstFinger;
    while (taken.count(finger) != 0) {
        ++finger;
    }
    return finger;
}

VirtualKeyPanel::VirtualKeyPanel(KeySetup& keys, int touchHoldMs)
    : keys_(keys), touchHoldMs_(touchHoldMs) {
    setWindowTitle(QStringLiteral("Virtual key (simulated)"));
    setObjectName(QStringLiteral("virtual_key_panel"));

    auto* heading =
        new QLabel(QStringLiteral("<b>Virtual key (simulated)</b><br>"
                                  "Stands in for your finger and the USB port."));

    auto* touchEnrolled = Button("Touch with enrolled finger", "touch_enrolled");
    auto* touchOther = Button("Touch with another finger", "touch_other");
    auto* lift = Button("Lift finger", "lift");
    autoTouch_ = new QCheckBox(QStringLiteral("Answer touches by itself"));
    autoTouch_->setObjectName(QStringLiteral("auto_touch"));
    autoTouch_->setChecked(keys_.autoTouch());
    auto* sensor = new QGroupBox(QStringLiteral("Sensor"));
    auto* sensorLayout = new QVBoxLayout(sensor);
    sensorLayout->addWidget(touchEnrolled);
    sensorLayout->addWidget(touchOther);
    sensorLayout->addWidget(lift);
    sensorLayout->addWidget(autoTouch_);

    plug_ = Button("Unplug", "plug");
    model_ = new QComboBox;
    model_->setObjectName(QStringLiteral("model"));
    for (int model = 1; model <= static_cast<int>(kSupportedProducts.size()); ++model) {
        model_->addItem(ModelLabel(model), model);
    }
    firmware_ = new QComboBox;
    firmware_->setObjectName(QStringLiteral("firmware"));
    for (const FirmwareChoice& choice : kFirmwareChoices) {
        firmware_->addItem(QString::fromUtf8(choice.label), choice.version);
    }
    const vkey::Config& current = keys_.InProcessKey()->config();
    model_->setCurrentIndex(model_->findData(current.model));
    firmware_->setCurrentIndex(std::max(0, firmware_->findData(current.firmware)));
    auto* apply = Button("Apply (re-plug)", "apply");
    auto* usb = new QGroupBox(QStringLiteral("USB"));
    auto* usbLayout = new QFormLayout(usb);
    usbLayout->addRow(plug_);
    usbLayout->addRow(QStringLiteral("Model"), model_);
    usbLayout->addRow(QStringLiteral("Firmware"), firmware_);
    usbLayout->addRow(apply);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(sensor);
    layout->addWidget(usb);
    layout->addWidget(status_);

    connect(touchEnrolled, &QPushButton::clicked, this, [this] { Touch(true); });
    connect(touchOther, &QPushButton::clicked, this, [this] { Touch(false); });
    connect(lift, &QPushButton::clicked, this, [this] { Lift(); });
    connect(autoTouch_, &QCheckBox::toggled, this, [this](bool on) { keys_.SetAutoTouch(on); });
    connect(plug_, &QPushButton::clicked, this, [this] { TogglePlug(); });
    connect(apply, &QPushButton::clicked, this, [this] { Apply(); });

    lift_.setSingleShot(true);
    connect(&lift_, &QTimer::timeout, this, [this] { Lift(); });
    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start(kRefreshMs);
    Refresh();
}

void VirtualKeyPanel::PlaceBeside(QWidget& mainWindow) {
    adjustSize();
    QRect main = mainWindow.frameGeometry();
    const QRect panel(QPoint(), frameGeometry().size());
    const QScreen* screen = mainWindow.screen();
    if (screen != nullptr) {
        // Centre the pair where the main window was centred, as far as the screen allows.
        const QRect area = screen->availableGeometry();
        const int pairWidth = main.width() + kGapPx + panel.width();
        const int left = std::clamp(main.center().x() - pairWidth / 2, area.left(),
                                    std::max(area.left(), area.right() + 1 - pairWidth));
        main.moveLeft(left);
        mainWindow.move(main.topLeft());
    }
    move(main.right() + 1 + kGapPx, main.top());
}

void VirtualKeyPanel::Refresh() {
    vkey::VirtualKey& key = *keys_.InProcessKey();
    status_->setText(VirtualKeyStatusLine(key));
    plug_->setText(key.plugged() ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
}

void VirtualKeyPanel::Touch(bool enrolled) {
    vkey::VirtualKey& key = *keys_.InProcessKey();
    // A new touch needs the sensor empty first: the key takes only fresh placements.
    key.LiftFinger();
    key.PlaceFinger(enrolled ? EnrolledFinger(key) : OtherFinger(key));
    lift_.start(touchHoldMs_);
    Refresh();
}

void VirtualKeyPanel::Lift() {
    lift_.stop();
    keys_.InProcessKey()->LiftFinger();
    Refresh();
}

void VirtualKeyPanel::TogglePlug() {
    vkey::VirtualKey& key = *keys_.InProcessKey();
    if (key.plugged()) {
        key.Unplug();
    } else {
        key.Plug();
    }
    Refresh();
}

void VirtualKeyPanel::Apply() {
    lift_.stop();
    vkey::Config config;
    config.model = model_->currentData().toInt();
    config.firmware = static_cast<std::uint8_t>(firmware_->currentData().toInt());
    keys_.ReplaceInProcessKey(config);
    Refresh();
}

std::unique_ptr<QWidget> OpenVirtualKeyPanel(KeySetup& keys, CMainWnd& mainWindow) {
    auto panel = std::make_unique<VirtualKeyPanel>(keys);
    if (QWidget* main = mainWindow.GetWidget()) {
        panel->PlaceBeside(*main);
    }
    panel->show();
    return panel;
}

}  // namespace kelvora
