#include "setup/setup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/message_format.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/user_dirs.h"

namespace ks::setup {
namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr size_t kMaxLanguageFiles = 32;
constexpr size_t kMaxIdText = 31;

struct TextEntry {
    uint32_t id;
    const char* text;  // UTF-8
};

// The library's own texts. 100-104 serve every language; each language has a block of 32 ids
// from its base, laid out as the English block at 224.
constexpr TextEntry kTexts[] = {
    {101, "Brightloom"},
    {102, "Your secrets stay yours. Kept safe, always at hand."},
    {104, "Keystash Pro"},

    // English (224)
    {224,
     "Welcome to %s\n%s\n\nBrightloom keeps your passwords, PINs and account numbers safe on "
     "your device.\n\nPress OK to continue the installation.\n\nCopyright \u00a9 %d "
     "Brightloom.\nAll rights reserved."},
    {225,
     "Remove all user settings for %s %s?\n\nIf upgrading to another version of %s, please "
     "press No."},
    {226,
     "%s has been removed from your device.\n\nThank you for using it. Updates and other "
     "products: https://keystash.invalid"},
    {227, "My Sample Wallet.ks5"},
    {228, "Form Sample.ksx"},
    {229, "Import Sample.txt"},
    {230, "The following languages of Keystash Pro have been installed:"},
    {231, "Please select preferred language:"},

    // German (256)
    {256,
     "Willkommen bei %s\n%s\n\nBrightloom bewahrt Ihre Kennw\u00f6rter, PINs und Kontonummern "
     "sicher auf Ihrem Ger\u00e4t auf.\n\nTippen Sie auf OK, um die Installation fortzusetzen."
     "\n\nCopyright \u00a9 %d Brightloom.\nAlle Rechte vorbehalten."},
    {257,
     "Alle Benutzereinstellungen f\u00fcr %s %s entfernen?\n\nWenn Sie auf eine andere "
     "Version von %s aktualisieren, w\u00e4hlen Sie bitte Nein."},
    {258,
     "%s wurde von Ihrem Ger\u00e4t entfernt.\n\nVielen Dank. Aktualisierungen und weitere "
     "Produkte: https://keystash.invalid"},
    {259, "Meine Beispiel-Brieftasche.ks5"},
    {260, "Formular-Beispiel.ksx"},
    {261, "Import-Beispiel.txt"},
    {262, "Folgende Sprachen von Keystash Pro wurden installiert:"},
    {263, "Bitte w\u00e4hlen Sie die bevorzugte Sprache:"},

    // French (288)
    {288,
     "Bienvenue dans %s\n%s\n\nBrightloom garde vos mots de passe, codes PIN et num\u00e9ros "
     "de compte en s\u00e9curit\u00e9 sur votre appareil.\n\nAppuyez sur OK pour poursuivre "
     "l'installation.\n\nCopyright \u00a9 %d Brightloom.\nTous droits r\u00e9serv\u00e9s."},
    {289,
     "Supprimer tous les param\u00e8tres utilisateur de %s %s ?\n\nSi vous passez \u00e0 une "
     "autre version de %s, appuyez sur Non."},
    {290,
     "%s a \u00e9t\u00e9 supprim\u00e9 de votre appareil.\n\nMerci. Mises \u00e0 jour et "
     "autres produits : https://keystash.invalid"},
    {291, "Mon portefeuille exemple.ks5"},
    {292, "Exemple de formulaire.ksx"},
    {293, "Exemple d'importation.txt"},
    {294, "Les langues suivantes de Keystash Pro ont \u00e9t\u00e9 install\u00e9es :"},
    {295, "Veuillez choisir la langue pr\u00e9f\u00e9r\u00e9e :"},

    // Dutch (320)
    {320,
     "Welkom bij %s\n%s\n\nBrightloom bewaart uw wachtwoorden, pincodes en rekeningnummers "
     "veilig op uw apparaat.\n\nDruk op OK om de installatie voort te zetten.\n\nCopyright "
     "\u00a9 %d Brightloom.\nAlle rechten voorbehouden."},
    {321,
     "Alle gebruikersinstellingen van %s %s verwijderen?\n\nAls u naar een andere versie van "
     "%s overstapt, drukt u op Nee."},
    {322,
     "%s is van uw apparaat verwijderd.\n\nBedankt. Updates en andere producten: "
     "https://keystash.invalid"},
    {323, "Mijn voorbeeldportefeuille.ks5"},
    {324, "Formuliervoorbeeld.ksx"},
    {325, "Importvoorbeeld.txt"},
    {326, "De volgende talen van Keystash Pro zijn ge\u00efnstalleerd:"},
    {327, "Kies de gewenste taal:"},

    // Italian (352)
    {352,
     "Benvenuti in %s\n%s\n\nBrightloom custodisce password, PIN e numeri di conto al sicuro "
     "sul vostro dispositivo.\n\nPremere OK per continuare l'installazione.\n\nCopyright "
     "\u00a9 %d Brightloom.\nTutti i diritti riservati."},
    {353,
     "Rimuovere tutte le impostazioni utente di %s %s?\n\nSe si sta passando a un'altra "
     "versione di %s, premere No."},
    {354,
     "%s \u00e8 stato rimosso dal dispositivo.\n\nGrazie. Aggiornamenti e altri prodotti: "
     "https://keystash.invalid"},
    {355, "Il mio portafoglio di esempio.ks5"},
    {356, "Esempio di modulo.ksx"},
    {357, "Esempio di importazione.txt"},
    {358, "Sono state installate le seguenti lingue di Keystash Pro:"},
    {359, "Selezionare la lingua preferita:"},

    // Spanish (416)
    {416,
     "Bienvenido a %s\n%s\n\nBrightloom guarda sus contrase\u00f1as, PIN y n\u00fameros de "
     "cuenta de forma segura en su dispositivo.\n\nPulse Aceptar para continuar la "
     "instalaci\u00f3n.\n\nCopyright \u00a9 %d Brightloom.\nReservados todos los derechos."},
    {417,
     "\u00bfEliminar toda la configuraci\u00f3n de usuario de %s %s?\n\nSi va a actualizar a "
     "otra versi\u00f3n de %s, pulse No."},
    {418,
     "%s se ha eliminado del dispositivo.\n\nGracias. Actualizaciones y otros productos: "
     "https://keystash.invalid"},
    {419, "Mi cartera de ejemplo.ks5"},
    {420, "Ejemplo de formulario.ksx"},
    {421, "Ejemplo de importaci\u00f3n.txt"},
    {422, "Se han instalado los siguientes idiomas de Keystash Pro:"},
    {423, "Seleccione el idioma preferido:"},

    // Norwegian (512)
    {512,
     "Velkommen til %s\n%s\n\nBrightloom tar vare p\u00e5 passord, PIN-koder og kontonumre "
     "p\u00e5 enheten din.\n\nTrykk OK for \u00e5 fortsette installasjonen.\n\nCopyright "
     "\u00a9 %d Brightloom.\nAlle rettigheter forbeholdt."},
    {513,
     "Vil du fjerne alle brukerinnstillinger for %s %s?\n\nHvis du oppgraderer til en annen "
     "versjon av %s, trykker du Nei."},
    {514,
     "%s er fjernet fra enheten.\n\nTakk. Oppdateringer og andre produkter: "
     "https://keystash.invalid"},
    {515, "Min eksempellommebok.ks5"},
    {516, "Skjemaeksempel.ksx"},
    {517, "Importeksempel.txt"},
    {518, "F\u00f8lgende spr\u00e5k for Keystash Pro er installert:"},
    {519, "Velg foretrukket spr\u00e5k:"},

    // Russian (544)
    {544,
     "\u0414\u043e\u0431\u0440\u043e \u043f\u043e\u0436\u0430\u043b\u043e\u0432\u0430\u0442"
     "\u044c \u0432 %s\n%s\n\nBrightloom \u043d\u0430\u0434\u0451\u0436\u043d\u043e "
     "\u0445\u0440\u0430\u043d\u0438\u0442 \u0432\u0430\u0448\u0438 \u043f\u0430\u0440\u043e"
     "\u043b\u0438, PIN-\u043a\u043e\u0434\u044b \u0438 \u043d\u043e\u043c\u0435\u0440\u0430 "
     "\u0441\u0447\u0435\u0442\u043e\u0432 \u043d\u0430 \u0432\u0430\u0448\u0435\u043c "
     "\u0443\u0441\u0442\u0440\u043e\u0439\u0441\u0442\u0432\u0435.\n\n\u041d\u0430\u0436"
     "\u043c\u0438\u0442\u0435 OK, \u0447\u0442\u043e\u0431\u044b \u043f\u0440\u043e\u0434"
     "\u043e\u043b\u0436\u0438\u0442\u044c \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a"
     "\u0443.\n\nCopyright \u00a9 %d Brightloom.\n\u0412\u0441\u0435 \u043f\u0440\u0430\u0432"
     "\u0430 \u0437\u0430\u0449\u0438\u0449\u0435\u043d\u044b."},
    {545,
     "\u0423\u0434\u0430\u043b\u0438\u0442\u044c \u0432\u0441\u0435 \u043f\u043e\u043b\u044c"
     "\u0437\u043e\u0432\u0430\u0442\u0435\u043b\u044c\u0441\u043a\u0438\u0435 \u043d\u0430"
     "\u0441\u0442\u0440\u043e\u0439\u043a\u0438 %s %s?\n\n\u0415\u0441\u043b\u0438 \u0432"
     "\u044b \u043f\u0435\u0440\u0435\u0445\u043e\u0434\u0438\u0442\u0435 \u043d\u0430 "
     "\u0434\u0440\u0443\u0433\u0443\u044e \u0432\u0435\u0440\u0441\u0438\u044e %s, "
     "\u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041d\u0435\u0442\u00bb."},
    {546,
     "%s \u0443\u0434\u0430\u043b\u0435\u043d\u0430 \u0441 \u0443\u0441\u0442\u0440\u043e"
     "\u0439\u0441\u0442\u0432\u0430.\n\n\u0421\u043f\u0430\u0441\u0438\u0431\u043e. "
     "\u041e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u044f: https://keystash.invalid"},
    {547,
     "\u041c\u043e\u0439 \u043e\u0431\u0440\u0430\u0437\u0435\u0446 \u0431\u0443\u043c\u0430"
     "\u0436\u043d\u0438\u043a\u0430.ks5"},
    {548, "\u041e\u0431\u0440\u0430\u0437\u0435\u0446 \u0444\u043e\u0440\u043c\u044b.ksx"},
    {549,
     "\u041e\u0431\u0440\u0430\u0437\u0435\u0446 \u0438\u043c\u043f\u043e\u0440\u0442\u0430"
     ".txt"},
    {550,
     "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043b\u0435\u043d\u044b \u0441\u043b\u0435"
     "\u0434\u0443\u044e\u0449\u0438\u0435 \u044f\u0437\u044b\u043a\u0438 Keystash Pro:"},
    {551,
     "\u0412\u044b\u0431\u0435\u0440\u0438\u0442\u0435 \u044f\u0437\u044b\u043a "
     "\u0438\u043d\u0442\u0435\u0440\u0444\u0435\u0439\u0441\u0430:"},

    // Swedish (608)
    {608,
     "V\u00e4lkommen till %s\n%s\n\nBrightloom f\u00f6rvarar dina l\u00f6senord, PIN-koder och "
     "kontonummer s\u00e4kert p\u00e5 enheten.\n\nTryck p\u00e5 OK f\u00f6r att forts\u00e4tta "
     "installationen.\n\nCopyright \u00a9 %d Brightloom.\nMed ensamr\u00e4tt."},
    {609,
     "Vill du ta bort alla anv\u00e4ndarinst\u00e4llningar f\u00f6r %s %s?\n\nOm du "
     "uppgraderar till en annan version av %s trycker du p\u00e5 Nej."},
    {610,
     "%s har tagits bort fr\u00e5n enheten.\n\nTack. Uppdateringar och andra produkter: "
     "https://keystash.invalid"},
    {611, "Min exempelpl\u00e5nbok.ks5"},
    {612, "Formul\u00e4rexempel.ksx"},
    {613, "Importexempel.txt"},
    {614, "F\u00f6ljande spr\u00e5k f\u00f6r Keystash Pro har installerats:"},
    {615, "V\u00e4lj \u00f6nskat spr\u00e5k:"},
};

const TextEntry* find_text(uint32_t id) {
    for (const TextEntry& entry : kTexts) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

struct LanguageInfo {
    uint16_t id;
    const char* locale;  // POSIX language_TERRITORY, "" when none maps to it
    const char* language;
    const char* country;
};

// Windows language identifiers with the names the system gives them. The first entry of a
// language is the one a bare POSIX language code ("de") maps to.
constexpr LanguageInfo kLanguages[] = {
    {0x0409, "en_US", "English (United States)", "United States"},
    {0x0809, "en_GB", "English (United Kingdom)", "United Kingdom"},
    {0x0c09, "en_AU", "English (Australia)", "Australia"},
    {0x1009, "en_CA", "English (Canada)", "Canada"},
    {0x1409, "en_NZ", "English (New Zealand)", "New Zealand"},
    {0x1809, "en_IE", "English (Ireland)", "Ireland"},
    {0x1c09, "en_ZA", "English (South Africa)", "South Africa"},
    {0x0407, "de_DE", "German (Germany)", "Germany"},
    {0x0807, "de_CH", "German (Switzerland)", "Switzerland"},
    {0x0c07, "de_AT", "German (Austria)", "Austria"},
    {0x1007, "de_LU", "German (Luxembourg)", "Luxembourg"},
    {0x040c, "fr_FR", "French (France)", "France"},
    {0x080c, "fr_BE", "French (Belgium)", "Belgium"},
    {0x0c0c, "fr_CA", "French (Canada)", "Canada"},
    {0x100c, "fr_CH", "French (Switzerland)", "Switzerland"},
    {0x140c, "fr_LU", "French (Luxembourg)", "Luxembourg"},
    {0x0413, "nl_NL", "Dutch (Netherlands)", "Netherlands"},
    {0x0813, "nl_BE", "Dutch (Belgium)", "Belgium"},
    {0x0410, "it_IT", "Italian (Italy)", "Italy"},
    {0x0810, "it_CH", "Italian (Switzerland)", "Switzerland"},
    {0x0c0a, "es_ES", "Spanish (Spain)", "Spain"},
    {0x040a, "", "Spanish (Traditional Sort)", "Spain"},
    {0x080a, "es_MX", "Spanish (Mexico)", "Mexico"},
    {0x2c0a, "es_AR", "Spanish (Argentina)", "Argentina"},
    {0x0414, "nb_NO", "Norwegian (Bokm\u00e5l)", "Norway"},
    {0x0814, "nn_NO", "Norwegian (Nynorsk)", "Norway"},
    {0x0419, "ru_RU", "Russian", "Russia"},
    {0x041d, "sv_SE", "Swedish", "Sweden"},
    {0x081d, "sv_FI", "Swedish (Finland)", "Finland"},
    {0x040d, "he_IL", "Hebrew", "Israel"},
    {0x0436, "af_ZA", "Afrikaans", "South Africa"},
    {0x0416, "pt_BR", "Portuguese (Brazil)", "Brazil"},
    {0x0816, "pt_PT", "Portuguese (Portugal)", "Portugal"},
    {0x0406, "da_DK", "Danish", "Denmark"},
    {0x040b, "fi_FI", "Finnish", "Finland"},
    {0x0415, "pl_PL", "Polish", "Poland"},
    {0x0405, "cs_CZ", "Czech", "Czech Republic"},
    {0x040e, "hu_HU", "Hungarian", "Hungary"},
    {0x0408, "el_GR", "Greek", "Greece"},
    {0x041f, "tr_TR", "Turkish", "Turkey"},
    {0x0401, "ar_SA", "Arabic (Saudi Arabia)", "Saudi Arabia"},
    {0x0411, "ja_JP", "Japanese", "Japan"},
    {0x0412, "ko_KR", "Korean", "Korea"},
    {0x0804, "zh_CN", "Chinese (PRC)", "People's Republic of China"},
    {0x0404, "zh_TW", "Chinese (Taiwan)", "Taiwan"},
};

constexpr uint16_t primary_language(uint16_t id) {
    return static_cast<uint16_t>(id & 0x3ff);
}

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           lower_ascii(text.substr(text.size() - suffix.size())) == suffix;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

fs::path to_path(std::u16string_view name) {
    return fs::path(to_utf8(name));
}

std::u16string path_text(const fs::path& path) {
    return from_utf8(path.string());
}

bool path_exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// A regular file itself, not a symbolic link to one: what the installer places.
bool is_plain_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// Renames `from` to `to` only when `to` does not exist, without a window in which another
// file of that name could be replaced.
bool rename_if_free(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: check first.
    if (path_exists(to)) return false;
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

// A sample placed under its installed name gets its name in the chosen language: renamed when
// that name is free, deleted when a file of that name is already there (the user's copy). A
// symbolic link under the installed name is not a placed sample and is left alone.
void localise_sample(const fs::path& folder, std::string_view installed, std::u16string name) {
    safeFileName(name);
    if (name.empty()) return;
    const fs::path from = folder / installed;
    const fs::path to = folder / to_path(name);
    if (from == to || !is_plain_file(from)) return;
    if (rename_if_free(from, to)) return;
    if (path_exists(to)) {
        std::error_code ec;
        fs::remove(from, ec);
    }
}

PromptAnswer ask(Prompt& prompt, std::u16string text, std::u16string caption, PromptButtons buttons,
                 PromptIcon icon) {
    return prompt.ask(PromptMessage{std::move(text), std::move(caption), buttons, icon});
}

}  // namespace

// ---- Texts ---------------------------------------------------------------------------------

uint32_t language_base(uint16_t language_id) {
    switch (primary_language(language_id)) {
        case 7:
            return 256;
        case 12:
            return 288;
        case 19:
            return 320;
        case 16:
            return 352;
        case 10:
            return 416;
        case 20:
            return 512;
        case 25:
            return 544;
        case 29:
            return 608;
        default:
            return 224;
    }
}

std::u16string setup_text(uint32_t id, uint16_t language_id) {
    if (id >= 199) {
        if (const TextEntry* local = find_text(id + language_base(language_id) - 224)) {
            return from_utf8(local->text);
        }
    }
    const TextEntry* english = find_text(id);
    return english ? from_utf8(english->text) : std::u16string();
}

std::u16string product_title() {
    // The product name with the registered-trademark sign after its first word.
    std::u16string name = setup_text(kTextProduct, kEnglishUs);
    const size_t space = name.find(u' ');
    name.insert(space == std::u16string::npos ? name.size() : space, u"\u00ae");
    return format_message(u"%s %s", {name, u"2006"});
}

std::u16string version_line() {
    const std::u16string version = format_message(u"%d.%02d%s", {int64_t{6}, int64_t{11}, u""});
    return format_message(u"Version %s", {version});
}

// ---- Languages -----------------------------------------------------------------------------

std::optional<LanguageNames> language_names(uint16_t language_id) {
    for (const LanguageInfo& info : kLanguages) {
        if (info.id == language_id)
            return LanguageNames{from_utf8(info.language), from_utf8(info.country)};
    }
    return std::nullopt;
}

uint16_t language_from_locale(std::string_view locale) {
    // "de_DE.UTF-8@euro" -> "de_DE"
    locale = locale.substr(0, locale.find_first_of(".@"));
    const size_t underscore = locale.find('_');
    const std::string language = lower_ascii(locale.substr(0, underscore));
    if (language.empty() || language == "c" || language == "posix") return kEnglishUs;
    const std::string wanted = underscore == std::string_view::npos
                                   ? std::string()
                                   : language + "_" + std::string(locale.substr(underscore + 1));
    const LanguageInfo* first_of_language = nullptr;
    for (const LanguageInfo& info : kLanguages) {
        const std::string_view tag = info.locale;
        if (!wanted.empty() && lower_ascii(tag) == lower_ascii(wanted)) return info.id;
        if (!first_of_language && tag.size() > language.size() && tag[language.size()] == '_' &&
            tag.substr(0, language.size()) == language) {
            first_of_language = &info;
        }
    }
    return first_of_language ? first_of_language->id : kEnglishUs;
}

uint16_t user_interface_language() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return language_from_locale(value);
    }
    return kEnglishUs;
}

std::optional<uint16_t> language_of_file_name(std::string_view name) {
    if (!ends_with_ignoring_case(name, ".mui")) return std::nullopt;
    const size_t at = lower_ascii(name).find(".exe.");
    if (at == std::string::npos) return std::nullopt;
    const std::string_view rest = name.substr(at + 5, kMaxIdText);
    uint32_t id = 0;
    size_t digits = 0;
    for (char c : rest) {
        const int d = hex_digit(c);
        if (d < 0) break;
        id = id * 16 + static_cast<uint32_t>(d);
        if (id > 0xffff) return std::nullopt;
        ++digits;
    }
    if (digits == 0 || id == 0) return std::nullopt;
    return static_cast<uint16_t>(id);
}

std::vector<LanguageFile> find_language_files(const fs::path& folder) {
    std::vector<LanguageFile> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return files;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        // Only our own tables: other programs' tables in the folder, and links, are not ours
        // to offer or to delete.
        if (!name.starts_with(kLanguageFilePrefix) || !is_plain_file(entry.path())) continue;
        if (const auto id = language_of_file_name(name)) files.push_back({*id, entry.path()});
    }
    std::sort(files.begin(), files.end(),
              [](const LanguageFile& a, const LanguageFile& b) { return a.path < b.path; });
    if (files.size() > kMaxLanguageFiles) files.resize(kMaxLanguageFiles);
    return files;
}

LanguageChoice language_choice(const std::vector<LanguageFile>& files, uint16_t ui_language) {
    LanguageChoice choice;
    for (const LanguageFile& file : files) {
        LanguageEntry entry;
        entry.language_id = file.language_id;
        const std::optional<LanguageNames> names = language_names(file.language_id);
        if (!names) {
            // Unknown to the table: the identifier itself is the best name there is.
            entry.text = format_message(u"%04x", {int64_t{file.language_id}});
        } else if (names->language.find(names->country) != std::u16string::npos &&
                   names->language.find(u'(') != std::u16string::npos) {
            entry.text = names->language;
        } else {
            entry.text = format_message(u"%s (%s)", {names->language, names->country});
        }
        choice.entries.push_back(std::move(entry));
    }
    const auto find = [&](auto&& matches) -> std::optional<size_t> {
        for (size_t i = 0; i < choice.entries.size(); ++i) {
            if (matches(choice.entries[i].language_id)) return i;
        }
        return std::nullopt;
    };
    choice.preselected = find([&](uint16_t id) { return id == ui_language; });
    if (!choice.preselected) {
        choice.preselected = find(
            [&](uint16_t id) { return primary_language(id) == primary_language(ui_language); });
    }
    if (!choice.preselected) choice.preselected = find([](uint16_t id) { return id == 1033; });
    if (!choice.preselected && !choice.entries.empty()) choice.preselected = 0;
    return choice;
}

// ---- The program ---------------------------------------------------------------------------

bool program_running(const fs::path& runtime_dir) {
    if (runtime_dir.empty()) return false;
    const fs::path lock = runtime_dir / kInstanceLockName;
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool held = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
    } else {
        held = errno == EWOULDBLOCK;
    }
    ::close(fd);
    return held;
}

bool request_program_close(const fs::path& runtime_dir) {
    if (runtime_dir.empty()) return false;
    const std::string socket_path = (runtime_dir / kMainWindowClass).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool sent = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        sent = ::send(fd, kCloseRequest.data(), kCloseRequest.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(kCloseRequest.size());
    }
    ::close(fd);
    return sent;
}

// ---- The hooks -----------------------------------------------------------------------------

SetupHooks::SetupHooks(SetupEnvironment environment, Prompt& prompt)
    : env_(std::move(environment)), prompt_(prompt) {}

uint16_t SetupHooks::text_language() const {
    return chosen_.value_or(env_.ui_language);
}

InitResult SetupHooks::install_init(const fs::path& /*install_dir*/) {
    if (env_.os_major != 5 || env_.os_minor < 1) return InitResult::Cancel;

    Registry registry;
    if (registry.load(env_.config_folder) && registry.create_key(kUser, kSettingsKey)) {
        registry.save();
    }

    const std::u16string welcome =
        format_message(text(kTextWelcome), {product_title(), version_line(), int64_t{2006}});
    const PromptAnswer answer =
        ask(prompt_, welcome, text(kTextMaker), PromptButtons::OkCancel, PromptIcon::Information);
    return answer == PromptAnswer::Ok ? InitResult::Continue : InitResult::Cancel;
}

uint16_t SetupHooks::run_language_dialog(const std::vector<LanguageFile>& files) {
    const LanguageChoice choice = language_choice(files, env_.ui_language);
    if (choice.entries.size() < 2 || !choice.preselected) {
        return choice.preselected ? choice.entries[*choice.preselected].language_id
                                  : static_cast<uint16_t>(1033);
    }
    const bool keypad = env_.platform_type == kSmartphonePlatform;
    std::u16string heading = text(kTextMaker);
    heading += keypad ? u"\n" : u" ";
    heading += product_title();
    heading += u"\n";
    heading += text(kTextTagline);

    std::u16string list = text(kTextInstalledLanguages);
    for (const LanguageEntry& entry : choice.entries) list += u"\n" + entry.text;

    // The list is offered one entry at a time, starting with the preselected one; the first
    // entry answered Yes is chosen. When every entry is declined the preselection stands, as
    // closing the dialog would leave it.
    const size_t count = choice.entries.size();
    for (size_t step = 0; step < count; ++step) {
        const LanguageEntry& entry = choice.entries[(*choice.preselected + step) % count];
        const std::u16string message =
            heading + u"\n\n" + list + u"\n\n" + text(kTextSelectLanguage) + u"\n" + entry.text;
        if (ask(prompt_, message, text(kTextMaker), PromptButtons::YesNo, PromptIcon::Question) ==
            PromptAnswer::Yes) {
            return entry.language_id;
        }
    }
    return choice.entries[*choice.preselected].language_id;
}

void SetupHooks::place_samples() {
    if (env_.documents.empty()) return;
    const fs::path folder = env_.documents / kSamplesFolder;
    const std::u16string wallet = text(kTextMySampleWallet);
    localise_sample(folder, "Sample Wallet.ks5", wallet);

    // A wallet under the English name from an earlier installation may hold the user's own
    // entries and be the last-used wallet: it is renamed when the name is free, never deleted.
    constexpr std::u16string_view kMyWallet = u"My Sample Wallet.ks5";
    if (to_lower(wallet) != to_lower(kMyWallet)) {
        std::u16string name = wallet;
        safeFileName(name);
        rename_if_free(folder / to_path(kMyWallet), folder / to_path(name));
    }

    localise_sample(folder, "Import Sample.txt", text(kTextImportSample));
    localise_sample(folder, "Form Sample.ksx", text(kTextFormSample));
}

void SetupHooks::place_program(const fs::path& install_dir) {
    const fs::path keypad = install_dir / kKeypadProgramFile;
    std::error_code ec;
    if (env_.platform_type == kSmartphonePlatform) {
        // The keypad edition takes the program's place in one step, so that a failure leaves
        // the folder with a program in it.
        if (path_exists(keypad)) fs::rename(keypad, install_dir / kProgramFile, ec);
        return;
    }
    fs::remove(keypad, ec);
}

int SetupHooks::install_exit(const fs::path& install_dir) {
    Registry registry;
    const bool registry_usable = registry.load(env_.config_folder);
    if (registry_usable) {
        registry.create_key(kUser, kSettingsKey);
        registry.delete_value(kUser, kSettingsKey, kLanguageValue);
    }

    const std::vector<LanguageFile> files = find_language_files(install_dir);
    if (!files.empty()) {
        const uint16_t chosen = run_language_dialog(files);
        chosen_ = chosen;
        for (const LanguageFile& file : files) {
            std::error_code ec;
            if (file.language_id != chosen) fs::remove(file.path, ec);
        }
        if (registry_usable) registry.set_dword(kUser, kSettingsKey, kLanguageValue, chosen);
    }

    if (registry_usable && !env_.documents.empty()) {
        const std::optional<std::u16string> mru =
            registry.get_string(kUser, kSettingsKey, kMruValue);
        if (!mru || mru->size() < 5) {
            std::u16string name = text(kTextMySampleWallet);
            safeFileName(name);
            registry.set_string(kUser, kSettingsKey, kMruValue,
                                path_text(env_.documents / kSamplesFolder / to_path(name)));
        }
    }
    if (registry_usable) registry.save();

    place_samples();
    place_program(install_dir);
    return 0;
}

int SetupHooks::uninstall_init(const fs::path& /*install_dir*/) {
    if (program_running(env_.runtime_dir)) {
        if (env_.close_program) {
            env_.close_program();
        } else {
            request_program_close(env_.runtime_dir);
        }
    }
    return 0;
}

int SetupHooks::uninstall_exit() {
    const std::u16string product = text(kTextProduct);
    const std::u16string question =
        format_message(text(kTextRemoveSettings), {product, version_line(), product});
    if (ask(prompt_, question, text(kTextMaker), PromptButtons::YesNo, PromptIcon::Question) ==
        PromptAnswer::Yes) {
        Registry registry;
        if (registry.load(env_.config_folder)) {
            registry.delete_key(kUser, kSettingsKey);
            if (registry.key_exists(kUser, kMakerKey) &&
                registry.subkeys(kUser, kMakerKey).empty()) {
                registry.delete_key(kUser, kMakerKey);
            }
            registry.save();
        }
    }
    ask(prompt_, format_message(text(kTextRemoved), {product}), text(kTextMaker), PromptButtons::Ok,
        PromptIcon::Information);
    return 0;
}

SetupEnvironment process_environment() {
    SetupEnvironment env;
    env.ui_language = user_interface_language();
    env.documents = documents_directory();
    env.config_folder = Registry::configuration_folder();
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        env.runtime_dir = runtime;
    }
    return env;
}

}  // namespace ks::setup
