// The passkey requests as bytes, and answers no well-behaved key gives, against scripted
// key answers.
#include <gmock/gmock.h>

#include "bio_replay_fixture.h"
#include "ctap/passkeys.h"
#include "ctap/status.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;

const std::string kHash = std::string(64, 'A');  // 32 bytes of 0xAA
// {3: {"id": "a"}, 4: hash, 5: 1}
const std::string kSite = "A3 03 A1 62 6964 61 61 04 58 20" + kHash + " 05 01";
// {6: {"id": h'75'}, 7: {"id": h'0102', "type": "public-key"}, 9: 1}
const std::string kPasskey =
    "A3 06 A1 62 6964 41 75 07 A2 62 6964 42 0102 64 74797065"
    "6A 7075626C69632D6B6579 09 01";

class PasskeyReplayTest : public BioReplayTest {};

TEST_F(PasskeyReplayTest, RequestsCarryTheirParametersAndPinAuth) {
    AttachKey();
    HoldToken();
    Answer(0x00, Hex(kSite));
    Answer(0x00, Hex(kPasskey));
    Answer(0x00);
    std::vector<PasskeySite> sites;
    EXPECT_EQ(ListPasskeys(device, PasskeyCommand::kPreview, sites), kCtapSuccess);
    const std::vector<std::uint8_t> id = {1, 2};
    EXPECT_EQ(DeletePasskey(device, PasskeyCommand::kStandard, id), kCtapSuccess);
    ASSERT_EQ(PasskeyCount(sites), 1U);
    EXPECT_EQ(sites[0].passkeys[0].credentialId, id);
    EXPECT_THAT(Sent(), ElementsAre(Hex("41 A3 01 02 03 01 04 50 F0BDEFBBAD3CF097DCCB03F2C87159F7"),
                                    Hex("41 A4 01 04 02 A1 01 58 20" + kHash +
                                        "03 01 04 50 7673351DA21EA0DE6E40A04198000068"),
                                    Hex("0A A4 01 06 02 A1 02 A2 62 6964 42 0102 64 74797065"
                                        "6A 7075626C69632D6B6579 03 01 04 50"
                                        "9D65B12DC6B46CEEAA90654980486842")));
}

TEST_F(PasskeyReplayTest, AnswersThatCannotBeBelievedDropTheWholeListing) {
    const std::string site = " 03 A1 62 6964 61 61 04 58 20" + kHash;
    const std::string descriptor = " 07 A2 62 6964 40 64 74797065 6A 7075626C69632D6B6579";
    const std::vector<std::vector<std::string>> rows = {
        {"A3 03 A1 62 6964 61 61 04 58 1F" + kHash.substr(2) + " 05 01"},  // short hash
        {"A3 03 A0 04 58 20" + kHash + " 05 01"},                          // rp without id
        {"A2" + site},                                                     // no total
        {"A3" + site + " 05 00"},
        {"A3" + site + " 05 19 03E9"},                              // 1001 sites
        {kSite, "A3 06 A1 62 6964 41 75" + descriptor + " 09 01"},  // empty credential id
        {kSite, "A2 06 A1 62 6964 41 75 09 01"},                    // no credential id
    };
    AttachKey();
    HoldToken();
    for (const auto& answers : rows) {
        for (const std::string& answer : answers) {
            Answer(0x00, Hex(answer));
        }
        std::vector<PasskeySite> sites;
        EXPECT_EQ(ListPasskeys(device, PasskeyCommand::kPreview, sites), kStatusMalformedAnswer)
            << answers.back();
        EXPECT_TRUE(sites.empty());
    }
}

}  // namespace
}  // namespace kelvora::test
