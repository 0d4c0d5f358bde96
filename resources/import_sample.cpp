#include "resources/import_sample.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"

namespace ks {
namespace {

// One line per card, TAB between cells and CR LF after each line, as a spreadsheet saves "Unicode
// text". A cell with a line break or quotes is quoted, its quotes doubled. Every name, address
// and number is made up: example.com addresses and 555-01xx numbers.
constexpr std::u16string_view kSample =
    u"CardName\tUser Name\tPassword\tWeb Site\tTelephone\tNotes\r\n"
    u"Example Bank\tjane.doe\tHarbor-Lamp-42\thttps://bank.example.com\t555-0101\t"
    u"Online banking; the card reader is in the desk drawer.\r\n"
    u"Example Mail\tjane.doe@example.com\tQuiet#River7\thttps://mail.example.com\t555-0102\t\r\n"
    u"Example Airways\t4407 2213\tSky*Lantern9\thttps://airways.example.com\t555-0103\t"
    u"The frequent flyer number is the user name.\r\n"
    u"Caf\u00e9 Example\tjdoe\tCr\u00e8me-Br\u00fbl\u00e9e5\thttps://cafe.example.com\t555-0104\t"
    u"\"Loyalty card: every tenth coffee is free.\nAsk for the stamp card at the counter.\"\r\n"
    u"Example Fitness\tjane.d\tLift-Heavy-3\thttps://fitness.example.com\t555-0105\t"
    u"\"Locker 12, combination \"\"0412\"\"\"\r\n"
    u"Example Library\t0012 3456 7890\t\thttps://library.example.com\t555-0106\t"
    u"PIN at the front desk.\r\n";

bool failed(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

}  // namespace

bool write_import_sample(const std::filesystem::path& path, std::string* error) {
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    const std::vector<uint8_t> text = utf16le_encode(kSample);
    bytes.insert(bytes.end(), text.begin(), text.end());

    std::filesystem::path temp = path;
    temp += ".new";
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    int open_error = 0;
    File file = File::open(temp, FileMode::CreateNew, &open_error);
    if (!file.is_open())
        return failed(error, "cannot create " + temp.string() + ": " + std::strerror(open_error));
    const IoResult written = file.write(bytes);
    const bool synced = !written.failed() && written.bytes == bytes.size() && file.sync();
    file.close();
    if (!synced) {
        std::filesystem::remove(temp, ec);
        return failed(error, "cannot write " + temp.string() + ": " +
                                 std::strerror(written.error ? written.error : EIO));
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        const std::string reason = ec.message();
        std::filesystem::remove(temp, ec);
        return failed(error,
                      "cannot rename " + temp.string() + " to " + path.string() + ": " + reason);
    }
    const std::filesystem::path folder = path.parent_path();
    sync_directory(folder.empty() ? std::filesystem::path(".") : folder);
    return true;
}

}  // namespace ks
