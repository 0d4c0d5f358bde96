// The files written whole or not at all: the registry, form files and text exports. Each change
// of a write is interrupted in turn (the process "dies" there, or the change fails or comes out
// short); the target must then read as the old file or as the new one, a reported success must
// be the new one, and the temporary an interruption leaves is gone once the next write of that
// target has started.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/wallet_document.h"
#include "forms/form_file.h"
#include "forms/text_export.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "support/crash_harness.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path) {
    const Bytes bytes = test::read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// What a folder holds besides `kept`, once a new replacement of `target` has cleared what an
// interrupted one left.
std::string leftovers(const fs::path& target, const std::vector<std::string>& kept) {
    remove_stale_temporaries(target);
    std::string names;
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (std::find(kept.begin(), kept.end(), name) == kept.end()) names += name + " ";
    }
    return names;
}

class FileReplacementCrashTest : public ::testing::Test {
  protected:
    // Runs the loop for a write of `target` that `write` performs on fresh starting files made
    // by `reset`; the snapshot holds what `read` makes of the target and the stray files.
    void loop(const std::string& name, const fs::path& target, const std::function<void()>& reset,
              const std::function<bool()>& write, const std::function<std::string()>& read,
              const std::vector<std::string>& kept) {
        auto inspect = [&]() -> std::optional<test::Snapshot> {
            return test::Snapshot{{"target", read()}, {"stray files", leftovers(target, kept)}};
        };
        reset();
        const test::Snapshot before = *inspect();
        const test::FaultedOperation op{name,
                                        [&](std::optional<FaultPlan> plan) {
                                            reset();
                                            test::ArmedFault fault(plan);
                                            return write();
                                        },
                                        inspect};
        const test::CrashTally tally = test::run_fault_loop(op, before);
        EXPECT_GT(tally.points, 0u);
        EXPECT_EQ(tally.losses, 0u);
    }

    test::DeterministicEnvironment env;  // the date in names and headers stays the same
    test::TempDir dir;
};

TEST_F(FileReplacementCrashTest, RegistrySave) {
    const fs::path folder = dir / "config";
    const fs::path target = folder / Registry::kFileName;
    auto reset = [&] {
        fs::remove_all(folder);
        Registry registry;
        registry.load(folder);
        registry.set_dword(RegistryRoot::CurrentUser, u"Software\\Test", u"Old", 1);
        ASSERT_TRUE(registry.save());
    };
    auto write = [&] {
        Registry registry;
        registry.load(folder);
        registry.set_dword(RegistryRoot::CurrentUser, u"Software\\Test", u"New", 2);
        registry.set_string(RegistryRoot::CurrentUser, u"Software\\Test", u"Text",
                            std::u16string(5000, u'x'));
        return registry.save();
    };
    auto read = [&] {
        Registry registry;
        return registry.load(folder) ? registry.to_text() : std::string("(damaged)");
    };
    loop("registry save", target, reset, write, read, {"registry.reg", "registry.lock"});
}

TEST_F(FileReplacementCrashTest, FormFileAndTextExport) {
    const fs::path wallet = dir / "wallet.ks5";
    WalletDocument doc;
    ASSERT_EQ(doc.create(wallet, u"secret", std::nullopt, false), CreateResult::Created);
    ASSERT_EQ(doc.load(wallet, u"secret"), OpenResult::Opened);
    Card card = doc.new_card({});
    card.node()->set_name(u"Visa");
    FieldRecord field;
    field.set_label(u"Number");
    field.set_value(u"4111 1111");
    card.insert_field(field);
    const int index = doc.store_card(card);
    ASSERT_GE(index, 0);
    const auto stored = doc.load_card(index);
    ASSERT_TRUE(stored);

    const fs::path forms = dir / "forms";
    const fs::path form = forms / "Visa.ksx";
    loop(
        "form file", form,
        [&] {
            fs::remove_all(forms);
            fs::create_directories(forms);
            test::write_file_bytes(form, Bytes{'o', 'l', 'd'});
        },
        [&] { return save_form_file(*stored, form, true, u"Jane", u"Card") == FormFileResult::Written; },
        [&] { return file_text(form); }, {"Visa.ksx"});

    const fs::path exports = dir / "exports";
    TextExportOptions options;
    options.output_folder = exports;
    const fs::path text = exports / "wallet" / "wallet_05032006.txt";
    loop(
        "text export", text,
        [&] {
            fs::remove_all(exports);
            fs::create_directories(text.parent_path());
            test::write_file_bytes(text, Bytes{'o', 'l', 'd'});
        },
        [&] {
            const TextExportResult result = export_text(doc, options, kNoIndex);
            EXPECT_TRUE(result.status != TextExportStatus::Written || result.file == text);
            return result.status == TextExportStatus::Written;
        },
        [&] { return file_text(text); }, {"wallet_05032006.txt"});
}

}  // namespace
}  // namespace ks
