#include "resources/form_sample.h"

#include <string_view>
#include <vector>

#include "core/card.h"
#include "core/keys.h"
#include "forms/builtin_forms.h"
#include "forms/form_file.h"
#include "platform/clock.h"
#include "resources/sample_wallet.h"

namespace ks {
namespace {

// The membership form's index among the built-in forms; its icon is the sample's.
constexpr size_t kMembershipForm = 20;

struct SampleField {
    std::u16string_view label;
    FieldKind kind;
    std::u16string_view choices = {};  // "^"-separated, for choice lists
};

constexpr std::u16string_view kDescription =
    u"A card for a gym or fitness club membership: club, member number, plan, renewal date and "
    u"the locker code.";
constexpr std::u16string_view kAuthor = u"Keystash Pro";

const std::vector<SampleField>& sample_fields() {
    static const std::vector<SampleField> fields = {
        {u"Club Name", FieldKind::Text},
        {u"Member Name", FieldKind::TitleCaseText},
        {u"Membership Number", FieldKind::CapitalisedText},
        {u"Plan", FieldKind::ChoiceList, u"Monthly^Annual^Off-Peak^Family"},
        {u"Start Date", FieldKind::Date},
        {u"Renewal Date", FieldKind::Date},
        {u"Locker Code", FieldKind::Pin},
        {u"Front Desk", FieldKind::Telephone},
        {u"E-mail", FieldKind::Email},
        {u"Web Site", FieldKind::WebAddress},
        {u"Guest Passes", FieldKind::YesNo},
        {u"Notes", FieldKind::Text},
    };
    return fields;
}

// The card in memory only: it never goes into a wallet, so its name is kept under the form-file
// key itself.
Card sample_card(const KeyContext& key) {
    Card card;
    card.set_node(TreeNode::create(NodeKind::Card, NodeId{}, &key));
    TreeNode& node = *card.node();
    node.set_name(u"Gym Membership");
    if (const BuiltInForm* form = builtin_form(kMembershipForm))
        node.set_icon(static_cast<int32_t>(form->icon));
    card.set_style(default_card_style());
    for (const SampleField& sample : sample_fields()) {
        FieldRecord field;
        field.set_kind(static_cast<uint16_t>(sample.kind));
        field.set_label(sample.label);
        if (!sample.choices.empty()) field.set_list(sample.choices);
        card.insert_field(std::move(field));
    }
    return card;
}

}  // namespace

bool write_form_sample(const std::filesystem::path& path, std::string* error) {
    FixedClock clock(kSampleTime);
    SeededRandom random(kSampleSeed);
    ScopedClock clock_scope(clock);
    ScopedRandom random_scope(random);

    const KeyContext key = form_file_key();
    const Card card = sample_card(key);
    const FormFileResult code = save_form_file(card, path, false, kAuthor, kDescription);
    if (code != FormFileResult::Written) {
        if (error)
            *error = "cannot write " + path.string() + " (result " +
                     std::to_string(static_cast<int>(code)) + ")";
        return false;
    }
    return true;
}

}  // namespace ks
