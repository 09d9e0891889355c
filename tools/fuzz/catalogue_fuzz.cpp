// The catalogue end to end: a folder of configuration files and images, read through the
// portable directory search, file questions and profile reader (as the catalogue tests read
// theirs) by both readers: the strict one of the Windows 9x family (IniCatalog: its list of the
// images in the folder and its product code) and the lenient one of the NT family (FileCatalog:
// the source entries of every configuration file and its product code).
//
// Input: the first line is the product identification a drive reports ("MTX5160E        ").
// Then files, each starting with a line "--- NAME" or "--- NAME<TAB>FORM" and holding every byte
// up to the next line that starts with "--- " (the line end before it not included). FORM turns
// the content, read as Windows-1252 text, into "utf8" (with its byte-order mark), "utf16le" or
// "utf16be" (with theirs) before it is written; any other FORM writes the bytes as they are. A name
// the system cannot hold ("", ".", "..", a "/") or Windows could not (a backslash, which the
// portable services take for the separator it is there) is left out; a later file of the same
// name replaces the earlier one.
//
// A folder holding a converted file is read a second time with every file as plain single-byte
// text: both readings must give the same lists and codes.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/config_values.h"
#include "catalogue/file_catalog.h"
#include "catalogue/firmware_version.h"
#include "catalogue/ini_catalog.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"
#include "scratch_folder.h"

namespace {

constexpr size_t kMaxFiles = 8;
constexpr size_t kMaxNameLength = 200;
constexpr int kMaxSources = 256;

// Windows-1252's characters for bytes 0x80 to 0x9F (the unassigned five as control characters).
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Character(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

std::string Converted(const std::string& text, const std::string& form) {
    std::string out;
    if (form == "utf8") {
        out = "\xEF\xBB\xBF";
        for (unsigned char byte : text) {
            const char16_t c = Character(byte);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    } else if (form == "utf16le" || form == "utf16be") {
        const bool big = form == "utf16be";
        out = big ? "\xFE\xFF" : "\xFF\xFE";
        for (unsigned char byte : text) {
            const char16_t c = Character(byte);
            const char high = static_cast<char>(c >> 8);
            const char low = static_cast<char>(c & 0xFF);
            out += big ? high : low;
            out += big ? low : high;
        }
    } else {
        return text;
    }
    return out;
}

bool StartsWithByteOrderMark(const std::string& bytes) {
    return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
           bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

struct File {
    std::string content;  // as the input gives it
    std::string form;
};

// The product identification and the folder's files, by name.
std::pair<std::string, std::map<std::string, File>> Decode(const std::string& input) {
    std::map<std::string, File> files;
    size_t end = input.find('\n');
    const std::string product = input.substr(0, end);
    while (end != std::string::npos && files.size() < kMaxFiles) {
        const size_t header = end + 1;
        if (input.compare(header, 4, "--- ") != 0) {
            end = input.find('\n', header);
            continue;
        }
        const size_t headerEnd = input.find('\n', header);
        std::string name =
            input.substr(header + 4, headerEnd == std::string::npos ? std::string::npos
                                                                    : headerEnd - header - 4);
        File file;
        const size_t tab = name.find('\t');
        if (tab != std::string::npos) {
            file.form = name.substr(tab + 1);
            name.resize(tab);
        }
        size_t next = headerEnd;
        while (next != std::string::npos && input.compare(next + 1, 4, "--- ") != 0)
            next = input.find('\n', next + 1);
        if (headerEnd != std::string::npos)
            file.content =
                input.substr(headerEnd + 1,
                             next == std::string::npos ? std::string::npos : next - headerEnd - 1);
        end = next;
        if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameLength ||
            name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
            continue;
        files[name] = file;
    }
    return {product, files};
}

bool IsWord(const std::string& word) {
    if (word.size() > quillet::kWordLimit)
        return false;
    for (char c : word) {
        if (c == '\0' || c == ' ' || (c >= '\t' && c <= '\r'))
            return false;
    }
    return true;
}

// True when `value` is the PRODUCT_ID text of `code`: its first word, each character standing
// for one hexadecimal digit (most significant first) by its distance above the key's character.
bool SpellsCode(const std::string& value, uint32_t code) {
    size_t length = 0;
    while (length < value.size() && value[length] != '\0' && value[length] != ' ' &&
           !(value[length] >= '\t' && value[length] <= '\r'))
        ++length;
    if (length > 8 || (length < 8 && (code >> (4 * length)) != 0))
        return false;
    for (size_t p = 0; p < length; ++p) {
        const uint32_t digit = (code >> (4 * (length - 1 - p))) & 0xF;
        const int expected = quillet::kProductIdKey[p] + 16 - static_cast<int>(digit);
        if (static_cast<unsigned char>(value[p]) != expected)
            return false;
    }
    return true;
}

std::string ReadKey(quillet::ProfileReader& profile, const std::string& section,
                    const std::string& key, const std::string& path) {
    char buffer[256] = {};
    profile.ReadString(section, key, "", buffer, sizeof buffer, path);
    return buffer;
}

// What both readers make of the folder, for comparing two readings of it.
struct Reading {
    bool loaded = false;
    int listed = 0;
    std::vector<std::string> strictSources;
    int32_t strictCode = -1;
    std::vector<std::string> sources;
    bool lenientDecoded = false;
    uint32_t lenientCode = 0;
    std::vector<std::string> messages;

    bool operator==(const Reading& o) const {
        return loaded == o.loaded && listed == o.listed && strictSources == o.strictSources &&
               strictCode == o.strictCode && sources == o.sources &&
               lenientDecoded == o.lenientDecoded && lenientCode == o.lenientCode &&
               messages == o.messages;
    }
};

Reading ReadFolder(const std::map<std::string, File>& files, const std::string& product) {
    quillet::SystemDirectorySearch directory;
    quillet::SystemFileSystem system;
    // Readers of their own for each reading: a cache must not answer from an earlier folder.
    quillet::SystemProfileReader profile;
    quillet::RecordedMessageBox messages;
    const std::string folder = system.CurrentDirectory();
    const auto inCatalogue = [&](const std::string& name) { return files.count(name) != 0; };
    Reading reading;

    quillet::IniCatalog strict(directory, system, profile, messages);
    reading.loaded = strict.Load();
    if (reading.loaded) {
        // The image and the configuration file it found are files of the folder.
        if (!inCatalogue(strict.firmwareName()) ||
            strict.firmwareFolder() != quillet::JoinToDirectory(folder, "") ||
            strict.configPath().compare(0, folder.size() + 1, folder + "\\") != 0 ||
            !inCatalogue(strict.configPath().substr(folder.size() + 1)))
            std::abort();
        quillet::TextTable versions;
        quillet::TextTable names;
        reading.listed = strict.FilesForProduct(product, versions, names);
        if (reading.listed < -1 || reading.listed > static_cast<int>(quillet::kTableSize))
            std::abort();
        for (int j = 0; j < reading.listed; ++j) {
            const std::string& name = names[static_cast<size_t>(j)];
            const std::string& version = versions[static_cast<size_t>(j)];
            // Each source is a version word and the name of an image of the catalogue.
            if (name.empty() || !IsWord(name) || !IsWord(version) || !inCatalogue(name))
                std::abort();
            reading.strictSources.push_back(version + " " + name);
        }
        reading.strictCode = strict.ProductIdForProduct(product);
        std::string section;
        if (reading.strictCode != -1 &&
            (strict.FindDeviceByProduct(product, section) == -1 ||
             !SpellsCode(ReadKey(profile, section, "PRODUCT_ID", strict.configPath()),
                         static_cast<uint32_t>(reading.strictCode))))
            std::abort();  // a code not spelt by the file
    }

    quillet::FileCatalog lenient(directory, system, profile, messages);
    reading.sources = lenient.SourceEntries(product, kMaxSources);
    if (reading.sources.size() > static_cast<size_t>(kMaxSources))
        std::abort();
    for (const std::string& entry : reading.sources) {
        if (entry.size() >= quillet::FileCatalog::kValueBufferSize ||
            entry.find('\0') != std::string::npos)
            std::abort();
        // A file the catalogue's rule takes as present is a file of the folder.
        const quillet::SourceEntry split = quillet::SplitSourceEntry(entry);
        if (reading.loaded && strict.FirmwareFileExists(split.fileName) &&
            !inCatalogue(split.fileName))
            std::abort();
    }
    reading.lenientDecoded = lenient.ProductIdForProduct(product, reading.lenientCode);
    if (reading.lenientDecoded) {
        const int i = lenient.FindConfigForProduct(product);
        const int d = i == -1 ? -1 : lenient.FindDeviceForProduct(product, i);
        if (d == -1 || !SpellsCode(ReadKey(profile, "DEVICE" + std::to_string(d), "PRODUCT_ID",
                                           lenient.ConfigFilePath(i)),
                                   reading.lenientCode))
            std::abort();
    } else if (reading.lenientCode != 0) {
        std::abort();
    }
    reading.messages = messages.Texts();
    return reading;
}

// The readers take the catalogue from the current directory; the fuzzer's own paths (a corpus
// named relative to where it started) must keep theirs, so each input goes in and comes back.
class InFolder {
public:
    explicit InFolder(const std::string& path) : home_(::open(".", O_RDONLY | O_DIRECTORY)) {
        if (home_ < 0 || ::chdir(path.c_str()) != 0)
            std::abort();
    }
    ~InFolder() {
        if (::fchdir(home_) != 0)
            std::abort();
        ::close(home_);
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    int home_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const quillet::fuzz::ScratchFolder folder;
    const InFolder inside(folder.path());
    const auto [product, files] = Decode(std::string(reinterpret_cast<const char*>(data), size));

    folder.Empty();
    bool converted = false;
    bool comparable = true;
    for (const auto& [name, file] : files) {
        const std::string bytes = Converted(file.content, file.form);
        converted = converted || bytes != file.content;
        comparable = comparable && !StartsWithByteOrderMark(file.content);
        if (!folder.Write(name, bytes))
            return 0;  // a name this file system refuses
    }
    const Reading first = ReadFolder(files, product);
    if (!converted || !comparable)
        return 0;

    // The same catalogue as plain single-byte text reads the same.
    for (const auto& [name, file] : files) {
        if (!folder.Write(name, file.content))
            std::abort();
    }
    if (!(ReadFolder(files, product) == first))
        std::abort();
    return 0;
}
