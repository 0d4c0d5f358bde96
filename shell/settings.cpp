#include "shell/settings.h"

#include "platform/registry.h"
#include "shell/shell_integration.h"

namespace ks {

namespace {

constexpr RegistryRoot kRoot = RegistryRoot::CurrentUser;

constexpr uint32_t kVirtualKeyStar = 119;
constexpr uint32_t kVirtualKeyHash = 120;

// Reads a DWORD value into `field` when present; otherwise the field stays.
template <typename T>
void read_dword(const Registry& registry, std::u16string_view key, std::u16string_view name,
                T& field) {
    if (auto value = registry.get_dword(kRoot, key, name)) field = static_cast<T>(*value);
}

template <typename T>
void write_dword(Registry& registry, std::u16string_view key, std::u16string_view name, T field) {
    registry.set_dword(kRoot, key, name, static_cast<uint32_t>(field));
}

std::vector<uint8_t> encode_keys(const KeyActions& keys) {
    std::vector<uint8_t> bytes;
    bytes.reserve(kKeySlots * 4);
    for (uint32_t code : keys)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(code >> shift));
    return bytes;
}

}  // namespace

KeyActions default_key_actions() {
    KeyActions keys{};
    assign_key_action(keys, '1', 2);
    assign_key_action(keys, '3', 1);
    assign_key_action(keys, kVirtualKeyStar, 6);
    assign_key_action(keys, kVirtualKeyHash, 3);
    return keys;
}

int key_slot(uint32_t virtual_key) {
    if (virtual_key >= '0' && virtual_key <= '9') return int(virtual_key - '0');
    if (virtual_key == kVirtualKeyStar) return 10;
    if (virtual_key == kVirtualKeyHash) return 11;
    return -1;
}

void assign_key_action(KeyActions& keys, uint32_t virtual_key, uint32_t action) {
    const int slot = key_slot(virtual_key);
    if (slot >= 0) keys[size_t(slot)] = action;
}

int SettingsAudience::add(Listener listener) {
    listeners_.emplace_back(next_id_, std::move(listener));
    return next_id_++;
}

void SettingsAudience::remove(int id) {
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void SettingsAudience::tell(const AppSettings& settings) const {
    // A listener may add or remove listeners while it is told.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) listener(settings);
}

void SettingsAudience::report(const RegistryError& error) const {
    if (failure_hook_ && error) failure_hook_(error);
}

void AppSettings::reset_to_defaults() {
    AppSettings defaults;
    defaults.keyPath = std::move(keyPath);
    defaults.versionText = std::move(versionText);
    defaults.edition = edition;
    *this = std::move(defaults);
    announce_change();
}

void AppSettings::load(Registry& registry) {
    if (keyPath.empty()) return;
    if (!registry.create_key(kRoot, keyPath)) {
        audience.report(registry.error());
        return;
    }
    const std::u16string& key = keyPath;
    const std::u16string count_name = u"Count" + versionText;
    const std::u16string setup_name = u"Setup" + versionText;
    const bool keypad = edition == Edition::Keypad;

    read_dword(registry, key, count_name, Count6);
    read_dword(registry, key, u"Info", Info);
    read_dword(registry, key, u"LangPref", LangPref);
    read_dword(registry, key, u"FontMain", FontMain);
    read_dword(registry, key, u"FontMainStyle", FontMainStyle);
    read_dword(registry, key, u"FontCard", FontCard);
    read_dword(registry, key, u"FontCardFieldNmStyle", FontCardFieldNmStyle);
    read_dword(registry, key, u"FontCardDataStyle", FontCardDataStyle);
    read_dword(registry, key, u"NoteFont", NoteFont);
    read_dword(registry, key, u"NoteFontStyle", NoteFontStyle);
    read_dword(registry, key, u"NoteWrap", NoteWrap);
    read_dword(registry, key, u"ClearType", ClearType);
    read_dword(registry, key, u"NoteZoom", NoteZoom);
    read_dword(registry, key, u"Color.BarStart", ColorBarStart);
    read_dword(registry, key, u"Color.BarEnd", ColorBarEnd);
    read_dword(registry, key, u"Color.BarText", ColorBarText);
    read_dword(registry, key, u"Color.FolderSpecial", ColorFolderSpecial);
    read_dword(registry, key, u"Color.FolderForms", ColorFolderForms);
    read_dword(registry, key, u"Pass.AutoOK", PassAutoOK);
    if (keypad) read_dword(registry, key, u"Pass.Numeric", PassNumeric);
    read_dword(registry, key, u"OpenLast", OpenLast);
    read_dword(registry, key, u"Version", Version);
    // Paths are kept whole, whatever their length.
    if (auto mru = registry.get_string(kRoot, key, u"MRU")) MRU = std::move(*mru);
    if (keypad) {
        // Only a complete table of twelve slots replaces the defaults.
        auto bytes = registry.get_binary(kRoot, key, u"Keys");
        if (bytes && bytes->size() == kKeySlots * 4) {
            for (size_t i = 0; i < kKeySlots; ++i)
                Keys[i] = uint32_t((*bytes)[i * 4]) | uint32_t((*bytes)[i * 4 + 1]) << 8 |
                          uint32_t((*bytes)[i * 4 + 2]) << 16 | uint32_t((*bytes)[i * 4 + 3]) << 24;
        }
    }

    register_file_types(registry);
    registry.set_dword(kRoot, key, setup_name, kSetupMarker);

    read_dword(registry, key, u"ExitMenu", ExitMenu);
    if (!keypad) read_dword(registry, key, u"Menus.Expanded", MenusExpanded);
    if (!registry.save()) audience.report(registry.error());
    announce_change();
}

void AppSettings::save(Registry& registry) {
    ++Count6;
    if (keyPath.empty()) return;
    if (!registry.create_key(kRoot, keyPath)) {
        audience.report(registry.error());
        return;
    }
    const std::u16string& key = keyPath;
    const bool keypad = edition == Edition::Keypad;

    write_dword(registry, key, u"Count" + versionText, Count6);
    write_dword(registry, key, u"Info", Info);
    write_dword(registry, key, u"FontMain", FontMain);
    write_dword(registry, key, u"FontMainStyle", FontMainStyle);
    write_dword(registry, key, u"FontCard", FontCard);
    write_dword(registry, key, u"FontCardFieldNmStyle", FontCardFieldNmStyle);
    write_dword(registry, key, u"FontCardDataStyle", FontCardDataStyle);
    write_dword(registry, key, u"NoteFont", NoteFont);
    write_dword(registry, key, u"NoteFontStyle", NoteFontStyle);
    write_dword(registry, key, u"NoteWrap", NoteWrap);
    write_dword(registry, key, u"ClearType", ClearType);
    registry.set_string(kRoot, key, u"MRU", MRU);
    write_dword(registry, key, u"NoteZoom", NoteZoom);
    write_dword(registry, key, u"OpenLast", OpenLast);
    write_dword(registry, key, u"Version", kBuildVersion);
    if (keypad) {
        write_dword(registry, key, u"Pass.Numeric", PassNumeric);
        registry.set_binary(kRoot, key, u"Keys", encode_keys(Keys));
    } else {
        write_dword(registry, key, u"Menus.Expanded", MenusExpanded);
    }
    if (!registry.save()) audience.report(registry.error());
}

AppSettings& app_settings() {
    static AppSettings settings;
    return settings;
}

}  // namespace ks
