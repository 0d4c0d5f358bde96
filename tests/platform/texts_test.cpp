#include "platform/texts.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ks {
namespace {

class TableSource final : public TextSource {
  public:
    explicit TableSource(std::map<uint32_t, std::u16string> texts) : texts_(std::move(texts)) {}
    std::optional<std::u16string> find(uint32_t id) const override {
        auto it = texts_.find(id);
        if (it == texts_.end()) return std::nullopt;
        return it->second;
    }

  private:
    std::map<uint32_t, std::u16string> texts_;
};

// Each test starts and ends with no source installed.
class TextsTest : public ::testing::Test {
  protected:
    void SetUp() override { set_text_source(nullptr); }
    void TearDown() override { set_text_source(nullptr); }
};

TEST_F(TextsTest, LoadStringLooksUpTheInstalledSource) {
    EXPECT_EQ(text_source(), nullptr);
    EXPECT_EQ(load_string(1), u"*");
    EXPECT_EQ(load_string(0), u"*");

    const TableSource source({{1, u"Open"}, {0, u"zero"}, {0xFFFFFFFFu, u"last"}, {7, u""}});
    set_text_source(&source);
    EXPECT_EQ(text_source(), &source);

    struct Case {
        uint32_t id;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {1, u"Open"}, {0, u"zero"}, {0xFFFFFFFFu, u"last"},
        {7, u""},  // an empty text is a text, not a missing one
        {2, u"?"},    {1000, u"?"},
    };
    for (const auto& c : cases) EXPECT_EQ(load_string(c.id), c.expected) << c.id;

    set_text_source(nullptr);
    EXPECT_EQ(load_string(1), u"*");
}

TEST_F(TextsTest, ScopedSourceRestoresThePreviousOne) {
    const TableSource outer({{1, u"outer"}});
    const TableSource inner({{1, u"inner"}});
    {
        ScopedTextSource outer_scope(&outer);
        EXPECT_EQ(load_string(1), u"outer");
        {
            ScopedTextSource inner_scope(&inner);
            EXPECT_EQ(text_source(), &inner);
            EXPECT_EQ(load_string(1), u"inner");
        }
        EXPECT_EQ(text_source(), &outer);
        EXPECT_EQ(load_string(1), u"outer");
        {
            ScopedTextSource none(nullptr);  // a scope can also remove the source
            EXPECT_EQ(load_string(1), u"*");
        }
        EXPECT_EQ(load_string(1), u"outer");
    }
    EXPECT_EQ(text_source(), nullptr);
    EXPECT_EQ(load_string(1), u"*");
}

}  // namespace
}  // namespace ks
