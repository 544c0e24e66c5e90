// An answer lost after the key acted: a request that changes the key is not sent again, one
// that only reads is.
#include <gtest/gtest.h>

#include <functional>

#include "ctap/client_pin.h"
#include "ctap/get_info.h"
#include "ctap/legacy_bio.h"
#include "ctap/status.h"
#include "vkey_session.h"

namespace kelvora::test {
namespace {

constexpr int kModel = 3;

class LostAnswerTest : public VirtualKeyTest {};

TEST_F(LostAnswerTest, ChangePinWhoseAnswerIsLostIsSentOnce) {
    Connect(kModel);
    ASSERT_EQ(SetPin(*device, "1234"), kCtapSuccess);
    const std::uint64_t before = key->requestCount();
    key->InjectFaultAt(1, vkey::Fault::kLoseNextAnswer);  // after getKeyAgreement
    EXPECT_EQ(ChangePin(*device, "1234", "5678"), kCtapTransportFailure);
    EXPECT_EQ(key->requestCount() - before, 2U) << "getKeyAgreement, one changePIN";
    EXPECT_EQ(GetPinRetries(*device), 8U) << "no retry spent";
    EXPECT_EQ(GetPinToken(*device, "5678"), kCtapSuccess) << "the key took the new PIN";
}

TEST_F(LostAnswerTest, ReadingRequestsWhoseAnswerIsLostAreSentAgain) {
    struct Case {
        const char* what;
        int model;
        std::function<int(FidoDevice&)> run;
        int success;
        std::uint64_t requests;  // the lost one included
    };
    const Case cases[] = {
        {"GetInfo", kModel,
         [](FidoDevice& session) {
             AuthenticatorCaps caps;
             return static_cast<int>(GetAuthenticatorInfo(session, caps));
         },
         kCtapSuccess, 2},
        // The challenge that opens every secure command of a legacy model.
        {"a legacy delete's challenge", 1,
         [](FidoDevice& session) { return static_cast<int>(LegacyDelete(session, 0)); }, kSwSuccess,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device.reset();  // the previous case's session goes before its key
        backend.reset();
        vkey::State state;
        state.templates[0] = {"a", 1};
        Connect(c.model, 17, state);
        const std::uint64_t before = key->requestCount();
        key->InjectFaultAt(0, vkey::Fault::kLoseNextAnswer);
        EXPECT_EQ(c.run(*device), c.success);
        EXPECT_EQ(key->requestCount() - before, c.requests);
    }
}

}  // namespace
}  // namespace kelvora::test
