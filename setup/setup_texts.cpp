#include "setup/setup_texts.h"

#include <algorithm>

#include "platform/message_format.h"
#include "platform/text.h"

namespace ks::setup {
namespace {

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

}  // namespace

std::span<const LanguageInfo> language_table() {
    return kLanguages;
}

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
    const std::u16string name = setup_text(kTextProduct, kEnglishUs);
    const size_t space = std::min(name.find(u' '), name.size());
    const std::u16string marked = name.substr(0, space) + u"\u00ae" + name.substr(space);
    return format_message(u"%s %s", {marked, u"2006"});
}

std::u16string version_line() {
    const std::u16string version =
        format_message(u"%d.%02d%s", {int64_t{kVersionMajor}, int64_t{kVersionMinor}, u""});
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

}  // namespace ks::setup
