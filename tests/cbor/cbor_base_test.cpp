#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "cbor/cbor_base.h"
#include "cbor/cbor_view.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

using test::toHex;

// Minimal containers and integers, as a library user would derive them.
class TestInt : public CborBase {
  public:
    explicit TestInt(std::uint8_t value) : CborBase(0, value) {}
};

class TestArray : public CborBase {
  public:
    explicit TestArray(std::vector<const CborBase*> elements, std::uint32_t tag = kCborNoTag)
        : CborBase(toByte(CborMajorType::kArray), 0, tag), elements_(std::move(elements)) {}
    std::uint32_t count() const override { return static_cast<std::uint32_t>(elements_.size()); }
    const CborBase* element(std::uint32_t i) const override { return elements_[i]; }

  private:
    std::vector<const CborBase*> elements_;
};

class TestMap : public CborBase {
  public:
    explicit TestMap(std::vector<std::pair<const CborBase*, const CborBase*>> pairs)
        : CborBase(toByte(CborMajorType::kMap), 0), pairs_(std::move(pairs)) {}
    std::uint32_t count() const override { return static_cast<std::uint32_t>(pairs_.size()); }
    const CborBase* key(std::uint32_t i) const override { return pairs_[i].first; }
    const CborBase* value(std::uint32_t i) const override { return pairs_[i].second; }

  private:
    std::vector<std::pair<const CborBase*, const CborBase*>> pairs_;
};

TEST(CborBaseTest, NullItemEncodesAndAnswersAsABareItem) {
    const CborBase& null = CborBase::null();
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(null.encode(buffer.data(), 4), 1U);
    EXPECT_EQ(buffer[0], 0xF6);
    EXPECT_EQ(null.encode(nullptr, 4), 0U);
    EXPECT_EQ(null.count(), 0U);
    EXPECT_EQ(null.element(0), &null);
    EXPECT_EQ(null.key(3), &null);
    EXPECT_EQ(null.value(3), &null);
    std::string text;
    null.dump(text);
    EXPECT_EQ(text, "null\r\n");
}

TEST(CborBaseTest, TaggedItemIsWrittenWholeOrNotAtAll) {
    const CborBase tagged(toByte(CborMajorType::kSimple), kCborTrue, 1000);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(tagged.encode(buffer.data(), 3), 0U) << "the tag head alone would fit";
    EXPECT_EQ(buffer[0], 0);
    ASSERT_EQ(tagged.encode(buffer.data(), 4), 4U);
    EXPECT_EQ(toHex(buffer.data(), 4), "D9 03 E8 F5");
    std::string text;
    tagged.dump(text);
    EXPECT_EQ(text, "(1000) null\r\n");
}

TEST(CborBaseTest, TreeEncodesInOrderAndEmptiesTheRootList) {
    const TestInt one(1), two(2), three(3);
    const TestArray inner({&two, nullptr, &CborBase::null()}, 1);
    const TestMap map({{&one, &inner}, {&three, &CborBase::null()}});
    std::vector<const CborBase*> roots = {&map, &one};

    std::array<std::uint8_t, 32> buffer{};
    const std::uint32_t length = encodeTree(buffer.data(), buffer.size(), roots);
    // Null entries are skipped, so the array announces 3 and holds 2.
    EXPECT_EQ(toHex(buffer.data(), length), "A2 01 C1 83 02 F6 03 F6 01");
    EXPECT_TRUE(roots.empty());

    // The first root reads back through the view.
    const CborView view(buffer.data(), length);
    EXPECT_EQ(view.findKey(1).getTag(), 1U);
    EXPECT_EQ(view.findKey(3).getSimple(), kCborNull);
}

TEST(CborBaseTest, TreeLeavesOutWhatDoesNotFit) {
    const TestInt one(1);
    const TestArray array({&one, &one, &one}, 1000);
    std::array<std::uint8_t, 8> buffer{};
    buffer.fill(0xEE);
    std::vector<const CborBase*> roots = {&array};
    EXPECT_EQ(encodeTree(buffer.data(), 3, roots), 3U) << "tag and head need 4; elements fit";
    EXPECT_EQ(toHex(buffer.data(), 4), "01 01 01 EE");

    roots = {&array};
    EXPECT_EQ(encodeTree(nullptr, 100, roots), 0U);
    EXPECT_TRUE(roots.empty());
}

TEST(CborBaseTest, TreeDepthDoesNotUseTheCallStack) {
    constexpr std::uint32_t kDepth = 200000;
    std::vector<std::unique_ptr<TestArray>> chain;
    const CborBase* child = &CborBase::null();
    for (std::uint32_t i = 0; i < kDepth; ++i) {
        chain.push_back(std::make_unique<TestArray>(std::vector<const CborBase*>{child}));
        child = chain.back().get();
    }
    std::vector<std::uint8_t> buffer(kDepth + 1);
    std::vector<const CborBase*> roots = {child};
    EXPECT_EQ(encodeTree(buffer.data(), static_cast<std::uint32_t>(buffer.size()), roots),
              kDepth + 1);
    EXPECT_EQ(buffer.back(), 0xF6);
}

}  // namespace
}  // namespace kelvora
