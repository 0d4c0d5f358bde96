#include "resources/sample_wallet.h"

#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/attachment.h"
#include "core/card.h"
#include "core/wallet_document.h"
#include "forms/builtin_forms.h"
#include "forms/forms.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

// Built-in forms the sample uses, by index.
constexpr uint32_t kCreditCardForm = 0;
constexpr uint32_t kContactForm = 3;
constexpr uint32_t kEmailAccountForm = 6;
constexpr uint32_t kBankAccountForm = 7;
constexpr uint32_t kImportantDateForm = 11;
constexpr uint32_t kSafeDepositBoxForm = 19;
constexpr uint32_t kMembershipForm = 20;
constexpr uint32_t kWebSiteLoginForm = 34;

// Folder icons: the icons of the forms each folder mostly holds.
constexpr int32_t kBankFolderIcon = 79;
constexpr int32_t kWebFolderIcon = 68;

enum class Place { Personal, Bank, Web };

struct Value {
    std::u16string_view label;
    std::u16string_view text;
};

struct DateValue {
    std::u16string_view label;
    DateTime date;
};

struct TextFile {
    std::u16string_view name;
    std::string_view contents;
    DateTime modified;
};

struct SampleCard {
    Place place;
    uint32_t form;
    std::u16string_view name;
    std::vector<Value> values;
    std::vector<DateValue> dates = {};
    std::optional<TextFile> attachment = {};
    bool favourite = false;
    std::u16string_view user_form = {};  // a form in My Forms made from this card
};

constexpr std::string_view kBoxNotes =
    "Safe deposit box 117 - contents as of November 2025\n"
    "- Copy of the house deed (42 Maple Avenue)\n"
    "- Expired passports, kept for the visa stamps\n"
    "- Grandmother's ring, in the grey pouch\n"
    "- Spare house and car keys\n";

std::vector<SampleCard> sample_cards() {
    return {
        {
            .place = Place::Personal,
            .form = kContactForm,
            .name = u"Jordan Avery",
            .values = {{u"First Name", u"Jordan"},
                       {u"Last Name", u"Avery"},
                       {u"Home Phone", u"(212) 555-0142"},
                       {u"E-mail Address", u"jordan.avery@example.com"},
                       {u"Mobile Phone", u"(212) 555-0187"},
                       {u"Web Page", u"https://www.example.com/~javery"},
                       {u"Street", u"42 Maple Avenue"},
                       {u"City", u"Springfield"},
                       {u"State", u"IL"},
                       {u"Zip Code", u"62704"},
                       {u"Country", u"USA"},
                       {u"Company", u"Bluebird Design Studio"},
                       {u"Job Title", u"Art Director"}},
            .dates = {{u"Birthday", DateTime{1985, 3, 4, 14, 0, 0, 0, 0}}},
        },
        {
            .place = Place::Personal,
            .form = kImportantDateForm,
            .name = u"Wedding Anniversary",
            .values = {{u"Occasion", u"Wedding anniversary of Jordan and Sam"},
                       {u"Details", u"Table for two booked at the Olive Terrace, 7 pm"}},
            .dates = {{u"Date", DateTime{2019, 6, 6, 22, 0, 0, 0, 0}}},
        },
        {
            .place = Place::Personal,
            .form = kMembershipForm,
            .name = u"Riverside Library",
            .values = {{u"Organization", u"Riverside Public Library"},
                       {u"Membership Number", u"RPL-0048213"},
                       {u"Member Name", u"Jordan Avery"},
                       {u"Membership Type", u"Adult"},
                       {u"Member Since", u"2014"},
                       {u"Web Site", u"https://library.example.org"},
                       {u"Phone", u"(212) 555-0163"},
                       {u"E-mail", u"help@library.example.org"},
                       {u"Benefits", u"Up to 20 loans at a time, e-books, museum passes"}},
            .dates = {{u"Renewal Date", DateTime{2026, 9, 2, 1, 0, 0, 0, 0}}},
            .user_form = u"Library Card",
        },
        {
            .place = Place::Bank,
            .form = kCreditCardForm,
            .name = u"Travel Rewards Card",
            .values = {{u"Card Type", u"Credit"},
                       {u"Card Number", u"4111 1111 1111 1111"},
                       {u"PIN", u"4821"},
                       {u"Name on Card", u"Jordan Avery"},
                       {u"Expiry Date", u"08/29"},
                       {u"Security Code", u"123"},
                       {u"Issuing Bank", u"Example National Bank"},
                       {u"Credit Limit", u"$8,000"},
                       {u"Interest Rate", u"19.9% APR"},
                       {u"Customer Service", u"(800) 555-0110"},
                       {u"Lost or Stolen Card", u"(800) 555-0111"},
                       {u"Payment Due Day", u"25th of the month"},
                       {u"Rewards Program", u"Travel Miles"},
                       {u"Rewards Number", u"TM 5500 7731"}},
        },
        {
            .place = Place::Bank,
            .form = kBankAccountForm,
            .name = u"Everyday Checking",
            .values = {{u"Account Holder", u"Jordan Avery"},
                       {u"Bank Name", u"Example National Bank"},
                       {u"Branch", u"Springfield Downtown"},
                       {u"Account Type", u"Checking"},
                       {u"Account Number", u"000123456789"},
                       {u"PIN", u"7305"},
                       {u"Routing Number", u"123456780"},
                       {u"Branch Address", u"100 Main Street, Springfield"},
                       {u"Branch Phone", u"(212) 555-0120"},
                       {u"Telephone Banking", u"(800) 555-0112"},
                       {u"Overdraft Limit", u"$500"}},
        },
        {
            .place = Place::Bank,
            .form = kSafeDepositBoxForm,
            .name = u"Safe Deposit Box",
            .values = {{u"Bank", u"Example National Bank, Springfield Downtown"},
                       {u"Box Number", u"117"},
                       {u"Key Location", u"Blue envelope, top drawer of the desk in the study"}},
            .attachment = TextFile{u"notes.txt", kBoxNotes, DateTime{2025, 11, 1, 3, 9, 15, 0, 0}},
        },
        {
            .place = Place::Web,
            .form = kWebSiteLoginForm,
            .name = u"Example Shop",
            .values = {{u"Web Site", u"https://shop.example.com"},
                       {u"User Name", u"javery"},
                       {u"Password", u"Tulip-Harbor-58"},
                       {u"Security Question", u"Name of your first pet? Biscuit"},
                       {u"Other Details", u"Loyalty number 7700 1234 5678"}},
            .favourite = true,
        },
        {
            .place = Place::Web,
            .form = kEmailAccountForm,
            .name = u"Personal E-mail",
            .values = {{u"Account Name", u"Personal"},
                       {u"E-mail Address", u"jordan.avery@example.com"},
                       {u"User Name", u"jordan.avery"},
                       {u"Password", u"Quiet-Lantern-17"},
                       {u"Incoming Mail Server", u"imap.example.com"},
                       {u"Outgoing Mail Server", u"smtp.example.com"},
                       {u"Support Phone", u"(800) 555-0130"},
                       {u"Web Mail", u"https://mail.example.com"},
                       {u"Server Type", u"IMAP"},
                       {u"Incoming Port", u"993"},
                       {u"Outgoing Port", u"587"},
                       {u"Encryption", u"SSL/TLS"},
                       {u"Display Name", u"Jordan Avery"}},
        },
    };
}

std::string in_quotes(std::u16string_view text) {
    return "\"" + to_utf8(text) + "\"";
}

// The first field of `card` with this label.
std::optional<size_t> field_labelled(const Card& card, std::u16string_view label) {
    const auto& fields = card.fields();
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].label() == label) return i;
    return std::nullopt;
}

class SampleBuilder {
  public:
    explicit SampleBuilder(WalletDocument& document) : document_(document) {}

    const std::string& error() const { return error_; }

    bool build() {
        if (!find_personal_folder() ||
            !add_folder(Place::Bank, u"Bank", kBankFolderIcon, kBankAccountForm) ||
            !add_folder(Place::Web, u"Web", kWebFolderIcon, kWebSiteLoginForm))
            return false;
        for (const SampleCard& sample : sample_cards())
            if (!add_card(sample)) return false;
        if (document_.save_blocks() != SaveResult::Saved)
            return fail("the favourites could not be saved");
        return true;
    }

  private:
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // The folder the new wallet was given: the top-level folder that is not My Forms.
    bool find_personal_folder() {
        for (int index : document_.children_of(kNoIndex)) {
            if (document_.kind_of(index) == static_cast<int>(NodeKind::Folder)) {
                folders_[static_cast<size_t>(Place::Personal)] = index;
                return true;
            }
        }
        return fail("the new wallet has no sample folder");
    }

    bool add_folder(Place place, std::u16string_view name, int32_t icon, uint32_t default_form) {
        TreeNode folder = document_.new_folder({});
        folder.set_name(name);
        folder.set_icon(icon);
        const int index = document_.store_folder(folder);
        if (index < 0) return fail("cannot store the folder " + in_quotes(name));
        if (!set_default_card_form(document_, index, builtin_form_id(default_form)))
            return fail("cannot set the default form of the folder " + in_quotes(name));
        folders_[static_cast<size_t>(place)] = index;
        return true;
    }

    bool add_card(const SampleCard& sample) {
        const TreeNode* folder = document_.node(folders_[static_cast<size_t>(sample.place)]);
        const std::string what = "the card " + in_quotes(sample.name);
        if (!folder) return fail("no folder for " + what);
        auto card = new_card_from_form(document_, folder->id(), builtin_form_id(sample.form));
        if (!card || !card->node()) return fail("cannot make " + what);
        card->node()->set_name(sample.name);

        const std::u16string form = load_string(builtin_form(sample.form)->name_text);
        for (const Value& value : sample.values) {
            auto field = field_labelled(*card, value.label);
            if (!field)
                return fail("form " + in_quotes(form) + " has no field " + in_quotes(value.label));
            card->field(*field).set_value(value.text);
        }
        for (const DateValue& date : sample.dates) {
            auto field = field_labelled(*card, date.label);
            if (!field || !card->field(*field).set_date(date.date))
                return fail("form " + in_quotes(form) + " has no date field " +
                            in_quotes(date.label));
        }
        if (sample.attachment) {
            const TextFile& file = *sample.attachment;
            const auto bytes = std::span(reinterpret_cast<const uint8_t*>(file.contents.data()),
                                         file.contents.size());
            FileAttachment attachment;
            if (!attachment.set_from_bytes(bytes, file.name, file.modified) ||
                !card->add_file(std::move(attachment)))
                return fail("cannot attach " + in_quotes(file.name) + " to " + what);
        }

        const int index = document_.store_card(*card);
        if (index < 0) return fail("cannot store " + what);
        if (sample.favourite && !document_.add_favourite(card->node()->id()))
            return fail("cannot make " + what + " a favourite");
        if (!sample.user_form.empty()) {
            const int form_index = save_to_my_forms(document_, index);
            if (form_index < 0 || !document_.rename(form_index, sample.user_form))
                return fail("cannot save " + what + " to My Forms");
        }
        return true;
    }

    WalletDocument& document_;
    int folders_[3] = {kNoIndex, kNoIndex, kNoIndex};
    std::string error_;
};

bool build_sample(const std::filesystem::path& path, std::string& error) {
    if (!text_source()) {
        error = "no language table is installed";
        return false;
    }
    WalletDocument document;
    const CreateResult created = document.create(path, kSamplePassword, kSampleHint, true);
    if (created != CreateResult::Created) {
        error = "cannot create " + path.string() + " (result " +
                std::to_string(static_cast<int>(created)) + ")";
        return false;
    }
    auto remove_file = [&] {
        document.close();
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return false;
    };
    const OpenResult opened = document.load(path, kSamplePassword);
    if (opened != OpenResult::Opened) {
        error =
            "cannot open the new wallet (result " + std::to_string(static_cast<int>(opened)) + ")";
        return remove_file();
    }
    SampleBuilder builder(document);
    if (!builder.build()) {
        error = builder.error();
        return remove_file();
    }
    document.close();
    return true;
}

}  // namespace

bool write_sample_wallet(const std::filesystem::path& path, std::string* error) {
    FixedClock clock(kSampleTime);
    SeededRandom random(kSampleSeed);
    ScopedClock clock_scope(clock);
    ScopedRandom random_scope(random);
    std::string message;
    const bool written = build_sample(path, message);
    if (!written && error) *error = std::move(message);
    return written;
}

}  // namespace ks
