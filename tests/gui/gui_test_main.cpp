// The windows' tests run offscreen with the English texts, in one application object.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "platform/string_table.h"
#include "platform/texts.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ks::StringTableParse english =
        ks::load_string_table(std::filesystem::path(KEYSTASH_LANGUAGE_DIR) / "keystash.exe.0409.mui");
    if (!english.table) return 2;
    ks::set_text_source(&*english.table);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ks::set_text_source(nullptr);
    return result;
}
