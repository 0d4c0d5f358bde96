// Checks that deciphered values and passwords do not stay behind in freed heap memory. This
// executable replaces the global operator delete with one that searches every block it frees
// for the secrets under test before handing it back.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "core/search.h"
#include "core/wallet_document.h"
#include "forms/text_export.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

// The secrets, as their UTF-16LE bytes: a short value (kept inside a string object), a long one
// (kept on the heap), the wallet's password, and the long value as the search folds it.
constexpr std::array<std::u16string_view, 4> kSecrets = {u"Zq9!", u"Long-Secret-Value-42x",
                                                         u"Pw#Mark7", u"long-secret-value-42x"};
std::array<std::atomic<int>, kSecrets.size()> g_found{};
std::atomic<bool> g_watching{false};

void inspect(void* block) {
    if (!block || !g_watching.load(std::memory_order_relaxed)) return;
    const size_t size = malloc_usable_size(block);
    for (size_t i = 0; i < kSecrets.size(); ++i) {
        const auto* bytes = reinterpret_cast<const char*>(kSecrets[i].data());
        if (memmem(block, size, bytes, kSecrets[i].size() * sizeof(char16_t)) != nullptr)
            ++g_found[i];
    }
}

}  // namespace

// Every non-aligned form, so that each block is freed by the allocator that made it.
void* operator new(size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    inspect(p);
    std::free(p);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
    operator delete(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}

namespace ks {
namespace {

using test::TempDir;

class SecretMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(doc.create(path, kSecrets[2], std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(path, kSecrets[2]), OpenResult::Opened);
        Card card = doc.new_card({});
        card.node()->set_name(u"Bank");
        card.insert_field(pin_field());
        FieldRecord password;
        password.set_label(u"Password");
        password.set_value(kSecrets[1]);
        card.insert_field(password);
        ASSERT_GE(doc.store_card(card), 0);
        doc.close();
    }

    static FieldRecord pin_field() {
        FieldRecord pin;
        pin.set_kind(static_cast<uint16_t>(FieldKind::Pin));
        pin.set_label(u"PIN");
        pin.set_value(kSecrets[0]);
        return pin;
    }

    static void start_watching() {
        for (auto& n : g_found) n = 0;
        g_watching = true;
    }
    static void stop_watching() { g_watching = false; }

    test::ScopedCoreTexts texts;
    test::DeterministicEnvironment environment;
    TempDir dir;
    std::filesystem::path path = dir / "w.ks5";
    WalletDocument doc;
};

TEST_F(SecretMemoryTest, TheWatchFindsAPlainCopy) {
    start_watching();
    {
        std::u16string copy(kSecrets[0]);
        copy += kSecrets[1];
    }
    stop_watching();
    EXPECT_GT(g_found[0], 0);
    EXPECT_GT(g_found[1], 0);
}

TEST_F(SecretMemoryTest, NoSecretIsLeftInFreedMemory) {
    start_watching();
    {
        ASSERT_EQ(doc.load(path, kSecrets[2]), OpenResult::Opened);
        const int index = doc.list_index_of(doc.nodes().back().id());
        auto card = doc.load_card(index);
        ASSERT_TRUE(card);
        for (const FieldRecord& f : card->fields()) EXPECT_FALSE(f.display_text().empty());
        EXPECT_EQ(card_as_text(*card).size() > 0, true);
        SearchResults results;
        EXPECT_EQ(search_wallet(doc, u"secret-value", results), 1u);

        TextExportOptions options;
        options.output_folder = dir.path();
        options.scope = ExportScope::WholeWallet;
        EXPECT_EQ(export_text(doc, options, kNoIndex, nullptr).status, TextExportStatus::Written);
        card.reset();
        doc.close();
    }
    stop_watching();
    for (size_t i = 0; i < kSecrets.size(); ++i)
        EXPECT_EQ(g_found[i], 0) << "a freed block held secret " << i;
}

// The command-line tool reads the password from its input and shows and exports the card (the PIN
// masked): neither the password nor a value stays behind.
TEST_F(SecretMemoryTest, TheCommandLineToolLeavesNoSecretBehind) {
    const std::string wallet = path.string();
    const std::string password = to_utf8(kSecrets[2]) + "\n";
    std::istringstream in(password + password + password + password);
    std::ostringstream out, err;
    start_watching();
    {
        cli::Io io{in, out, err, false};
        const std::vector<std::string> commands[] = {
            {"show", wallet, "Bank"},
            {"show", "--json", wallet, "Bank"},
            {"export", wallet, "--to", dir.path().string()},
            {"find", wallet, "secret-value"},
        };
        for (const auto& argv : commands) EXPECT_EQ(cli::run_cli(argv, io), 0) << err.str();
    }
    stop_watching();
    for (size_t i = 0; i < kSecrets.size(); ++i)
        EXPECT_EQ(g_found[i], 0) << "a freed block held secret " << i;
    EXPECT_EQ(out.str().find(to_utf8(kSecrets[0])), std::string::npos);
}

}  // namespace
}  // namespace ks
