#pragma once
// The per-user preferences: one record, held by the process and kept under one key of the
// current-user registry root. Defaults first, loaded during main-window creation, written back
// once when the program ends.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/product.h"

namespace ks {

class Registry;
struct RegistryError;
struct AppSettings;

// Who hears of one settings record's changes and failures. It stays with its record: a copy of
// the record starts with nobody, and assigning another record (a reset) keeps those listening.
class SettingsAudience {
  public:
    using Listener = std::function<void(const AppSettings&)>;
    using FailureHook = std::function<void(const RegistryError&)>;

    SettingsAudience() = default;
    SettingsAudience(const SettingsAudience&) {}
    SettingsAudience& operator=(const SettingsAudience&) { return *this; }

    int add(Listener listener);
    void remove(int id);
    void tell(const AppSettings& settings) const;
    void set_failure_hook(FailureHook hook) { failure_hook_ = std::move(hook); }
    void report(const RegistryError& error) const;

  private:
    std::vector<std::pair<int, Listener>> listeners_;
    int next_id_ = 1;
    FailureHook failure_hook_;
};

// The program built for a keypad device keeps two more values and not the menu switch.
enum class Edition {
    Standard,
    Keypad,
};

constexpr uint32_t kSetupMarker = 7;    // written as "Setup6" by every load

// Keypad action slots: the digit keys 0-9 (virtual keys 48-57) take slots 0-9, the star key
// (119) slot 10, the hash key (120) slot 11.
constexpr size_t kKeySlots = 12;
using KeyActions = std::array<uint32_t, kKeySlots>;
KeyActions default_key_actions();
// The slot of a virtual key, or -1 when the key has none.
int key_slot(uint32_t virtual_key);
// Stores `action` in the slot of `virtual_key`; a key without a slot changes nothing.
void assign_key_action(KeyActions& keys, uint32_t virtual_key, uint32_t action);

struct AppSettings {
    int32_t FontMain = 9;
    int32_t FontMainStyle = 0;
    int32_t FontCard = 9;
    int32_t FontCardFieldNmStyle = 1;
    int32_t FontCardDataStyle = 0;
    int32_t NoteFont = 9;
    int32_t NoteFontStyle = 0;
    int32_t NoteWrap = 1;
    int32_t ClearType = 1;
    int32_t ExitMenu = 0;
    int32_t NoteZoom = 9;
    uint32_t ColorBarStart = 0xFEECDD;
    uint32_t ColorBarEnd = 0xE2A981;
    uint32_t ColorBarText = 0;
    uint32_t ColorFolderSpecial = 0x9933FF;
    uint32_t ColorFolderForms = 0x008000;
    int32_t PassAutoOK = 1;
    int32_t OpenLast = 1;
    int32_t MenusExpanded = 0;
    int32_t Info = 0;
    uint32_t Count6 = 0;
    uint32_t LangPref = 0;
    std::u16string MRU;  // full path of the last wallet opened; any length
    int32_t Version = 0;
    // Keypad edition only.
    int32_t PassNumeric = 1;
    KeyActions Keys = default_key_actions();

    // Set by the start-up code; kept by reset_to_defaults. An empty key path disables load and
    // save.
    std::u16string keyPath;
    std::u16string versionText = std::u16string(kMajorVersionText);
    Edition edition = Edition::Standard;

    // Every preference back to its default. The key path, version text and edition stay, so
    // that the next save writes the defaults. Listeners are told.
    void reset_to_defaults();

    // Reads the preferences from the key (creating it), registers the file types, writes
    // "Setup6" = 7 and saves the registry. A value that is missing or of another type keeps the
    // field as it was. Registry failures are silent to the user: they go to the failure hook.
    // Listeners are told.
    void load(Registry& registry);

    // Counts the run ("Count6" + 1) and writes the saved preferences into the key, then saves
    // the registry. Registry failures never damage the file and go to the failure hook only.
    void save(Registry& registry);

    // Windows redraw when preferences change: listeners are told after a load, a reset, a `set`
    // that changed its field, or `announce_change` (for fields changed directly).
    int add_listener(SettingsAudience::Listener listener) {
        return audience.add(std::move(listener));
    }
    void remove_listener(int id) { audience.remove(id); }
    void announce_change() const { audience.tell(*this); }
    template <typename T, typename V>
    bool set(T AppSettings::*field, V&& value) {
        if (this->*field == value) return false;
        this->*field = std::forward<V>(value);
        announce_change();
        return true;
    }
    // The program logs what the user is not told.
    void set_failure_hook(SettingsAudience::FailureHook hook) {
        audience.set_failure_hook(std::move(hook));
    }

    SettingsAudience audience;
};

// The process-wide record.
AppSettings& app_settings();

}  // namespace ks
