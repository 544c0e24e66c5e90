// An answer lost after the key acted: a request that changes the key is not sent again, one
// that only reads is.
#include <gtest/gtest.h>

#include "ctap/client_pin.h"
#include "ctap/get_info.h"
#include "ctap/status.h"
#include "vkey_session.h"

namespace kelvora::test {
namespace {

constexpr int kCtapModel = 3;

class LostAnswerTest : public VirtualKeyTest {};

TEST_F(LostAnswerTest, ChangePinWhoseAnswerIsLostIsSentOnce) {
    Connect(kCtapModel);
    ASSERT_EQ(SetPin(*device, "1234"), kCtapSuccess);
    const std::uint64_t before = key->requestCount();
    key->InjectFaultAt(1, vkey::Fault::kLoseNextAnswer);  // after getKeyAgreement
    EXPECT_EQ(ChangePin(*device, "1234", "5678"), kCtapTransportFailure);
    EXPECT_EQ(key->requestCount() - before, 2U) << "getKeyAgreement, one changePIN";
    EXPECT_EQ(GetPinRetries(*device), 8U) << "no retry spent";
    EXPECT_EQ(GetPinToken(*device, "5678"), kCtapSuccess) << "the key took the new PIN";
}

TEST_F(LostAnswerTest, GetInfoWhoseAnswerIsLostIsSentAgain) {
    Connect(kCtapModel);
    const std::uint64_t before = key->requestCount();
    key->InjectFaultAt(0, vkey::Fault::kLoseNextAnswer);
    AuthenticatorCaps caps;
    EXPECT_EQ(GetAuthenticatorInfo(*device, caps), kCtapSuccess);
    EXPECT_EQ(key->requestCount() - before, 2U);
}

}  // namespace
}  // namespace kelvora::test
