#include "forms/text_export.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "core/folder_tree.h"
#include "forms/form_file.h"
#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/locale_format.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "platform/user_dirs.h"

namespace ks {
namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

bool is_container(const TreeNode* n) {
    return n && !n->deleted() && (n->kind() == NodeKind::Folder || n->kind() == NodeKind::MyForms);
}

bool is_card(const TreeNode* n) {
    return n && !n->deleted() && n->kind() == NodeKind::Card;
}

SecretText displayed_value(const FieldRecord& field, bool show_pin) {
    SecretText value = field.display_text();
    if (!value.empty() && !show_pin && field.kind() == static_cast<uint16_t>(FieldKind::Pin))
        return SecretText(kHiddenPin);
    return value;
}

class TextExporter {
  public:
    TextExporter(WalletDocument& document, const TextExportOptions& options,
                 std::filesystem::path folder, TextExportResult& result)
        : document_(document),
          options_(options),
          folder_(std::move(folder)),
          result_(result),
          separator_(load_string(text_id::kExportSeparator)),
          name_limit_(file_name_limit(folder_)),
          number_(options.scope == ExportScope::Card ? 0 : 1) {}
    TextExporter(const TextExporter&) = delete;
    TextExporter& operator=(const TextExporter&) = delete;

    const SecretText& text() const { return text_; }

    void head(const DateTime& now) {
        const std::u16string when = format_date(now, locale_formats().short_date) + u"  " +
                                    format_time(now, time_format_no_seconds());
        line(load_string(text_id::kExportHead));
        line(format_message(load_string(text_id::kExportWallet), {wallet_name(document_.path())}));
        line(format_message(load_string(text_id::kExportWalletPath),
                            {from_utf8(document_.path().string())}));
        line(format_message(load_string(text_id::kExportDate), {when}), 3);
    }

    void card_block(int index) {
        auto card = document_.load_card(index);
        if (!card || !card->node()) return;  // a card that cannot be read is left out
        line(separator_);
        line(card->node()->name());
        line(separator_);
        bool any_field = false;
        for (const FieldRecord& field : card->fields()) {
            SecretText value = displayed_value(field, options_.show_pin_values);
            if (value.empty()) continue;
            SecretText entry(field.label());
            entry.append(u": ").append(value);
            line(entry);
            any_field = true;
        }
        line(any_field ? u"" : load_string(text_id::kExportCardWithoutFields));

        bool saved_any = false;
        if (options_.include_attachments) {
            for (const FileAttachment& file : card->files()) {
                if (!file.has_data()) continue;
                const std::u16string saved = fit_file_name_keeping_extension(
                    format_message(u"%03d_", {int64_t{number_}}), file.name(), name_limit_);
                // A file that cannot be written is passed over and keeps its number free.
                if (!replace_file_contents(folder_ / to_utf8(saved), file.data_view())) continue;
                line(format_message(load_string(text_id::kExportAttachmentSaved), {saved}));
                ++number_;
                ++result_.attachments;
                saved_any = true;
            }
        }
        if (!saved_any) line(u"");
        ++result_.cards;
    }

    // A folder's header, then everything below it in the tree's order: each folder's header,
    // its cards, then its folders. The top level (kNoIndex) has no header: its cards come first.
    void contents(const FolderTree& tree, int root) {
        if (root != kNoIndex) folder_header(root);
        for (const FolderTree::Step& step : tree.below(root)) {
            const TreeNode* n = document_.node(step.index);
            if (is_card(n))
                card_block(step.index);
            else if (is_container(n))
                folder_header(step.index);
        }
    }

  private:
    void line(std::u16string_view text, int line_ends = 1) {
        text_ += text;
        for (int i = 0; i < line_ends; ++i) text_ += kLineEnd;
    }

    void folder_header(int index) {
        std::vector<std::u16string> ancestors;
        int up = document_.parent_folder_index_of(index);
        for (size_t level = 0; level < kMaxFolderPathLevels && up != kNoIndex; ++level) {
            ancestors.push_back(document_.node(up)->name());
            up = document_.parent_folder_index_of(up);
        }
        std::u16string path;
        for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) path += *it + u" > ";
        path += document_.node(index)->name();
        line(u"");
        line(separator_);
        line(load_string(text_id::kExportFolderLabel) + u": " + path);
        line(separator_);
    }

    WalletDocument& document_;
    const TextExportOptions& options_;
    std::filesystem::path folder_;
    TextExportResult& result_;
    std::u16string separator_;
    size_t name_limit_;
    SecretText text_;  // holds the exported values
    int number_;
};

}  // namespace

std::u16string wallet_name(const std::filesystem::path& wallet_path) {
    const std::u16string file = from_utf8(wallet_path.filename().string());
    const size_t dot = file.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0) return file;
    return file.substr(0, dot);
}

std::u16string export_file_name(std::u16string_view base, const DateTime& date, size_t limit) {
    const std::u16string suffix = format_message(
        u"_%02d%02d%d.txt", {int64_t{date.day}, int64_t{date.month}, int64_t{date.year}});
    return fit_file_name(base, suffix, limit);
}

TextExportResult export_text(WalletDocument& document, const TextExportOptions& options,
                             int selected, Prompt* prompt) {
    TextExportResult result;
    if (!document.is_open()) return result;
    const TreeNode* chosen = document.node(selected);
    std::u16string base;
    switch (options.scope) {
        case ExportScope::Card:
            if (!is_card(chosen)) return result;
            base = chosen->name();
            break;
        case ExportScope::Folder:
            if (!is_container(chosen)) return result;
            base = chosen->name();
            break;
        case ExportScope::WholeWallet:
            base = wallet_name(document.path());
            break;
    }

    result.status = TextExportStatus::CannotCreate;
    const std::filesystem::path output =
        options.output_folder.empty() ? documents_directory() : options.output_folder;
    if (output.empty()) return result;
    const std::filesystem::path folder =
        output / std::filesystem::path(to_utf8(wallet_name(document.path())));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) return result;

    const DateTime now = clock().now();
    result.file = folder / std::filesystem::path(
                               to_utf8(export_file_name(base, now, file_name_limit(folder))));
    AtomicReplacement out(result.file);
    if (!out.is_open()) return result;

    TextExporter exporter(document, options, folder, result);
    exporter.head(now);
    if (options.scope == ExportScope::Card) {
        exporter.card_block(selected);
    } else {
        const int root = options.scope == ExportScope::Folder ? selected : kNoIndex;
        const FolderTree tree(document, ChildOrder::Tree);
        exporter.contents(tree, root);
        if (tree.walk_meets_cycle(root)) result.folders_in_cycles = tree.cycle_folders().size();
    }

    Bytes bytes = {0xFF, 0xFE};
    Bytes body = utf16le_encode(exporter.text());
    bytes.insert(bytes.end(), body.begin(), body.end());
    IoResult w = out.file().write(bytes);
    const bool whole = !w.failed() && w.bytes == bytes.size();
    secure_zero(std::span(bytes));
    secure_zero(std::span(body));
    if (!whole || !out.commit()) {
        result.status = TextExportStatus::WriteFailed;
        return result;
    }
    result.status = TextExportStatus::Written;

    if (prompt) {
        const PromptMessage question{load_string(text_id::kExportFinished) + u"\n\n" +
                                         load_string(text_id::kExportOpenQuestion),
                                     load_string(text_id::kProductName), PromptButtons::YesNo,
                                     PromptIcon::Information};
        result.open_requested = prompt->ask(question) == PromptAnswer::Yes;
    }
    return result;
}

SecretText card_as_text(const Card& card) {
    SecretText text;
    if (card.node()) text = card.node()->name();
    text += u"\r\n\r\n";
    for (const FieldRecord& field : card.fields()) {
        const SecretText value = field.display_text();
        if (value.empty()) continue;
        text.append(field.label()).append(u": ").append(value).append(u"\r\n\r\n");
    }
    return text;
}

}  // namespace ks
