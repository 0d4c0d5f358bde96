#include "core/node.h"

#include <gtest/gtest.h>

#include "core/cipher.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

// Returns the same value twice before moving on, to force the duplicate check.
class StutteringRandom final : public RandomSource {
  public:
    uint32_t next_u32() override { return values_[std::min<size_t>(n_++ / 4, 2)]; }

  private:
    uint32_t values_[3] = {0x11223344, 0x11223344, 0x55667788};
    size_t n_ = 0;
};

TEST(NodeIdTest, LayoutFromRandomAndTime) {
    FixedClock clock(DateTime{2006, 3, 0, 5, 14, 7, 9, 0});
    StutteringRandom random;
    ScopedClock c(clock);
    ScopedRandom r(random);
    NodeId a = new_node_id();
    const std::array<uint8_t, 16> expected{0x44, 0x33, 0x22, 0x11, 3,  0, 0x44, 0x33,
                                           5,    3,    0xD6, 0x07, 14, 7, 9,    9};
    EXPECT_EQ(a.bytes, expected);
    // The random source repeats itself: the next id must still differ.
    NodeId b = new_node_id();
    EXPECT_NE(a, b);
}

TEST(NodeIdTest, TextFormRoundTrip) {
    auto id = NodeId::parse("{9C16BCED-C256-40B4-8D46-EFA4FD93FC3F}");
    ASSERT_TRUE(id);
    EXPECT_EQ(NodeId::from_bytes(format::node::kCardGuid), *id);
    EXPECT_EQ(id->to_string(), "{9C16BCED-C256-40B4-8D46-EFA4FD93FC3F}");
    EXPECT_EQ(NodeId::parse("9c16bced-c256-40b4-8d46-efa4fd93fc3f"), id);
    for (const char* bad :
         {"", "{9C16BCED-C256-40B4-8D46-EFA4FD93FC3}", "9C16BCEDXC256-40B4-8D46-EFA4FD93FC3F",
          "{9C16BCED-C256-40B4-8D46-EFA4FD93FC3G}"})
        EXPECT_FALSE(NodeId::parse(bad)) << bad;
}

TEST(NodeIdTest, BuiltInForms) {
    EXPECT_EQ(builtin_form_index(builtin_form_id(42)), 42u);
    EXPECT_FALSE(builtin_form_index(builtin_form_id(43)));
    NodeId other = builtin_form_id(3);
    other.bytes[15] = 1;
    EXPECT_FALSE(builtin_form_index(other));
}

TEST(NodeHeaderTest, Validity) {
    NodeHeader h;
    EXPECT_FALSE(h.valid());
    h.set_kind(NodeKind::Folder);
    EXPECT_FALSE(h.valid()) << "an all-zero id is not valid even with a known kind";
    NodeId id;
    id.bytes[7] = 1;
    h.set_id(id);
    EXPECT_TRUE(h.valid());
    h.bytes[3] ^= 1;
    EXPECT_FALSE(h.valid());
    for (NodeKind k : {NodeKind::Card, NodeKind::Folder, NodeKind::MyForms}) {
        h.set_kind(k);
        EXPECT_EQ(h.kind(), k);
    }
}

TEST(TreeNodeTest, NewNodeStamps) {
    test::DeterministicEnvironment env;
    KeyContext key = test::key_filled_with(0x5A);
    NodeId parent = new_node_id();
    TreeNode node = TreeNode::create(NodeKind::Card, parent, &key);
    EXPECT_TRUE(node.valid());
    EXPECT_EQ(node.parent(), parent);
    EXPECT_EQ(node.header().change_bits(), node_change::kCreated);
    EXPECT_EQ(node.header().created(), test::kFixedTime);
    EXPECT_EQ(get_i32(node.header().bytes, format::node::kCreatedMarker), -1);
    EXPECT_TRUE(node.default_form().is_none());
    EXPECT_TRUE(TreeNode::create(NodeKind::MyForms, parent, &key).parent().is_none());
}

TEST(TreeNodeTest, NameIsEncipheredAsAWhole) {
    test::DeterministicEnvironment env;
    KeyContext key = test::key_filled_with(0x5A);
    TreeNode node = TreeNode::create(NodeKind::Folder, {}, &key);
    auto area = [&] { return std::span(node.header().bytes).subspan(format::node::kName, 512); };
    EXPECT_TRUE(all_zero(area()));
    EXPECT_EQ(node.name(), u"");

    node.set_name(u"Bank");
    EXPECT_EQ(node.name(), u"Bank");
    // Zero units after the text are enciphered too.
    EXPECT_FALSE(all_zero(area().subspan(400)));
    Bytes plain(512);
    key.transform(area(), plain);
    EXPECT_EQ(plain[0], 'B');
    EXPECT_TRUE(all_zero(std::span(plain).subspan(8)));

    node.header().set_change_bits(0);
    node.set_name(u"Bank");
    EXPECT_EQ(node.header().change_bits(), 0u) << "same name changes nothing";

    node.set_name(std::u16string(300, u'x'));
    EXPECT_EQ(node.name(), std::u16string(255, u'x'));
    EXPECT_EQ(node.header().change_bits(), node_change::kName);

    node.set_name(u"");
    EXPECT_TRUE(all_zero(area()));
}

TEST(TreeNodeTest, CustomIconImage) {
    test::DeterministicEnvironment env;
    TreeNode node = TreeNode::create(NodeKind::Folder, {}, nullptr);
    for (size_t n : {1u, 3u, 4u, 8u}) {
        Bytes image(n, 0xEE);
        ASSERT_TRUE(node.set_icon_image(image));
        EXPECT_EQ(node.icon(), kCustomIcon);
        EXPECT_EQ(node.icon_image().size() % 4, 0u);
        EXPECT_EQ(node.header().icon_image_pad(), 4 - n % 4);
        EXPECT_EQ(node.header().icon_image_length(), node.icon_image().size());
        EXPECT_EQ(Bytes(node.icon_image_unpadded().begin(), node.icon_image_unpadded().end()),
                  image);
        Digest d = md5(image);
        EXPECT_TRUE(std::equal(d.begin(), d.end(), node.header().bytes.begin() + 720));
    }
    node.set_icon(55);
    EXPECT_TRUE(node.icon_image().empty());
    EXPECT_EQ(node.header().icon_image_length(), 0u);
    ASSERT_TRUE(node.set_icon_image({}));
    EXPECT_EQ(node.icon(), 0);
}

TEST(TreeNodeTest, ChangeBits) {
    test::DeterministicEnvironment env;
    TreeNode node = TreeNode::create(NodeKind::Folder, {}, nullptr);
    node.header().set_change_bits(0);
    node.set_icon(0);
    EXPECT_EQ(node.header().change_bits(), 0u) << "same icon number";
    env.clock().advance_seconds(60);
    node.set_icon(7);
    node.set_parent(new_node_id());
    node.set_default_form(builtin_form_id(4));
    node.mark_deleted(true);
    EXPECT_EQ(node.header().change_bits(), node_change::kIcon | node_change::kParent |
                                               node_change::kDefaultForm | node_change::kDeleted);
    EXPECT_EQ(node.header().modified().minute, 8);
    EXPECT_TRUE(node.deleted());
    EXPECT_EQ(node.header().deleted_time().minute, 8);
}

}  // namespace
}  // namespace ks
