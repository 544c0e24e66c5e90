#include "transport/connect.h"

#include "transport/device_ids.h"

namespace kelvora {

ConnectResult ConnectDevice(FidoDevice& device, Clock& clock) {
    ConnectResult result;
    device.SetSecureMessagingAes(false);
    device.SetTransportKind(static_cast<std::uint32_t>(TransportKind::kHid));
    device.EnumerateDevices();
    for (const std::uint16_t productId : kSupportedProducts) {
        if (device.SelectDevice(kMakerVendorId, productId) == 1) {
            result.connected = true;
            result.productId = productId;
            break;
        }
    }
    if (!result.connected) {
        return result;
    }
    device.State().selectedProductId = result.productId;
    result.connectedAtMs = clock.NowMs();
    device.GetDeviceDescription(result.description.data(), result.description.size());
    if (result.productId != kSettleDelayProductId) {
        result.firmwareStatus = device.QueryFirmwareVersion(&result.firmwareVersion);
    }
    return result;
}

}  // namespace kelvora
