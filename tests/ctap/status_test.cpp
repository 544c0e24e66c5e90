// One text for every kind of status, and the success value per model.
#include "ctap/status.h"

#include <gmock/gmock.h>

#include <limits>

#include "transport/device_ids.h"

namespace kelvora {
namespace {

using ::testing::HasSubstr;

TEST(StatusText, NamesEachKindOfStatus) {
    const std::vector<std::pair<int, std::string>> rows = {
        {0x00, "CTAP 0x00: success"},
        {0x31, "CTAP 0x31: PIN invalid"},
        {0x12, "CTAP 0x12: invalid CBOR"},
        {0xFF, "CTAP 0xFF: no usable response from the key"},
        {0xE5, "CTAP 0xE5: unknown status"},
        {0x9000, "SW 0x9000: success"},
        {0x63C2, "SW 0x63C2: wrong PIN, 2 retries left"},
        {0x6983, "SW 0x6983: PIN blocked"},
        {0x6A86, "SW 0x6A86: no finger on the sensor"},
        {0xFFFB, "SW 0xFFFB: transport failure"},
        {0xFFEE, "SW 0xFFEE: entry error"},
        {0xFFED, "SW 0xFFED: the key sent no usable PIN token"},
        {0x1234, "SW 0x1234: unknown status"},
    };
    for (const auto& [status, text] : rows) {
        EXPECT_EQ(StatusText(status), text);
    }
}

TEST(StatusText, NegativeValuesAreMbedTlsErrors) {
    // MBEDTLS_ERR_ECP_INVALID_KEY
    EXPECT_THAT(StatusText(-0x4C80), HasSubstr("mbed TLS -0x4C80: ECP"));
    EXPECT_THAT(StatusText(std::numeric_limits<int>::min()), HasSubstr("mbed TLS -0x80000000"));
}

TEST(LegacyPinRetries, OnlyTheWrongPinWordsCarryACount) {
    const std::pair<int, std::optional<std::uint32_t>> rows[] = {
        {0x63C0, 0U},           {0x63C3, 3U},
        {0x63CF, 15U},          {0x6300, std::nullopt},
        {0x63D3, std::nullopt}, {0x6983, std::nullopt},
        {0x9000, std::nullopt}, {-0x63C3, std::nullopt},
    };
    for (const auto& [status, retries] : rows) {
        EXPECT_EQ(LegacyPinRetries(status), retries) << std::hex << status;
    }
}

TEST(SuccessStatus, LegacyModelsSucceedWith9000) {
    EXPECT_EQ(SuccessStatus(kSupportedProducts[0]), 0x9000);
    EXPECT_EQ(SuccessStatus(kSupportedProducts[1]), 0x9000);
    EXPECT_EQ(SuccessStatus(kSupportedProducts[2]), 0x00);
    EXPECT_EQ(SuccessStatus(0), 0x00);
}

}  // namespace
}  // namespace kelvora
