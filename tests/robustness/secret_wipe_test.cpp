// The token copies the fingerprint requests take are wiped when released: the storage a
// copy used holds zeros only once it is cleared, and so does the session's token after
// the key goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "transport/pin_token.h"

namespace kelvora::test {
namespace {

constexpr std::array<std::uint8_t, 16> kTokenBytes = {1, 2,  3,  4,  5,  6,  7,  8,
                                                      9, 10, 11, 12, 13, 14, 15, 16};

bool AllZero(const std::uint8_t* bytes, std::size_t size) {
    return std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; });
}

TEST(SecretWipeTest, ClearedCopiesAndTokensLeaveZerosBehind) {
    PinToken token;
    token.Set(kTokenBytes);

    // A copy as the bio requests take one: cleared, its storage (still owned) is zero.
    SecretBytes copy = token.Copy();
    ASSERT_EQ(copy.size(), kTokenBytes.size());
    const std::uint8_t* copyBytes = copy.data();
    copy.Clear();
    EXPECT_TRUE(copy.empty());
    EXPECT_TRUE(AllZero(copyBytes, kTokenBytes.size()));

    // Assigning over a copy wipes what it held first.
    SecretBytes other = token.Copy();
    const std::uint8_t* otherBytes = other.data();
    other = SecretBytes();
    EXPECT_TRUE(AllZero(otherBytes, kTokenBytes.size()));

    // The session's own token, as the main window clears it on removal.
    SecretBytes seen = token.Copy();
    token.Clear();
    EXPECT_TRUE(token.Empty());
    EXPECT_FALSE(seen.empty()) << "a copy taken earlier is independent";
}

}  // namespace
}  // namespace kelvora::test
