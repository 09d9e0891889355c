#include "catalogue/ini_catalog.h"

#include <algorithm>

#include "catalogue/catalogue_messages.h"
#include "catalogue/firmware_version.h"

namespace quillet {

namespace {

std::string KeyText(const std::string& section, const std::string& key) {
    return section + ":" + key;
}

}  // namespace

IniCatalog::IniCatalog(DirectorySearch& directory, FileSystem& files, ProfileReader& profile,
                       MessageBoxService& messages)
    : directory_(directory), files_(files), profile_(profile), messages_(messages) {}

void IniCatalog::Warn(const std::string& text) {
    messages_.Show(text, std::string(), MessageIcon::Exclamation, false, 0);
}

void IniCatalog::ReportKey(const char* fault, const std::string& keyText) {
    ReportKeys(fault, "key = " + keyText);
}

void IniCatalog::ReportKeys(const char* fault, const std::string& which) {
    messages_.Show(std::string("tarvex.ini file error !\n") + fault + "  (" + which + ")",
                   std::string(), MessageIcon::Exclamation, true, 0);
}

void IniCatalog::ReportMissingKey(const std::string& keyText) {
    ReportKey("Not found key data.", keyText);
}

void IniCatalog::ReportIllegalKey(const std::string& keyText) {
    ReportKey("Illegal key data.", keyText);
}

// The missing entries of one list: the first few are reported one by one, the rest counted and
// reported in one box when the list has been read, so a count typed wrong costs a few boxes.
class IniCatalog::MissingKeys {
public:
    MissingKeys(IniCatalog& catalog, const std::string& section)
        : catalog_(catalog), section_(section) {}
    ~MissingKeys() {
        if (unreported_ > 0) {
            catalog_.ReportKeys("Not found key data.",
                                std::to_string(unreported_) + " more missing in " + section_);
        }
    }
    MissingKeys(const MissingKeys&) = delete;
    MissingKeys& operator=(const MissingKeys&) = delete;

    void Add(const std::string& key) {
        if (reported_ < kMissingKeysReported) {
            ++reported_;
            catalog_.ReportMissingKey(KeyText(section_, key));
        } else {
            ++unreported_;
        }
    }

private:
    IniCatalog& catalog_;
    const std::string& section_;
    int reported_ = 0;
    int unreported_ = 0;
};

bool IniCatalog::Load() {
    return FindFirmwareFolder() && FindConfigFile() && LoadDeviceCount();
}

bool IniCatalog::FindFirmwareFolder() {
    std::vector<std::string> found = directory_.FindFiles("*.bin");
    if (found.empty())
        found = directory_.FindFiles("*.cdr");
    if (found.empty()) {
        Warn(kNoFirmwareFileBox);
        return false;
    }
    firmwareName_ = found.front();
    firmwareFolder_ = FolderOfPath(JoinToDirectory(files_.CurrentDirectory(), firmwareName_));
    return true;
}

bool IniCatalog::FindConfigFile() {
    std::vector<std::string> found = directory_.FindFiles("*.ini");
    if (found.empty()) {
        Warn(kNoCatalogueBox);
        return false;
    }
    configPath_ = JoinToDirectory(files_.CurrentDirectory(), found.front());
    return true;
}

std::string IniCatalog::ReadValue(const std::string& section, const std::string& key) {
    char buffer[kValueBufferSize] = {};
    profile_.ReadString(section, key, std::string(), buffer, kValueBufferSize, configPath_);
    return buffer;
}

bool IniCatalog::ReadCount(const std::string& section, const std::string& key,
                           const std::string& keyText, int32_t& count) {
    std::string value = ReadValue(section, key);
    if (value.empty()) {
        ReportMissingKey(keyText);
        return false;
    }
    if (!IsDecimalText(value) || !DecimalValue(value, count)) {
        ReportIllegalKey(keyText);
        return false;
    }
    return true;
}

bool IniCatalog::LoadDeviceCount() {
    ProfileLookup lookup(profile_);
    int32_t count = 0;
    if (!ReadCount("MAIN", "DEVICE_NUM", "DEVICE_NUM", count))
        return false;
    deviceCount_ = static_cast<int16_t>(static_cast<uint16_t>(count & 0xFFFF));
    return true;
}

int IniCatalog::ReadFileList(const std::string& section, TextTable& versions, TextTable& names) {
    ProfileLookup lookup(profile_);
    int32_t count = 0;
    if (!ReadCount(section, "FILE_NUM", KeyText(section, "FILE_NUM"), count))
        return -1;
    std::size_t stored = 0;
    MissingKeys missing(*this, section);
    for (int32_t k = std::min(count, kMaxListKeys) - 1; k >= 0 && stored < kTableSize; --k) {
        std::string key = "FILENAME" + std::to_string(k);
        std::string value = ReadValue(section, key);
        if (value.empty()) {
            missing.Add(key);
            continue;
        }
        SplitFileEntry(value, versions[stored], names[stored]);
        ++stored;
    }
    return static_cast<int>(stored);
}

int IniCatalog::ReadProductList(const std::string& section, TextTable& products) {
    ProfileLookup lookup(profile_);
    int32_t count = 0;
    if (!ReadCount(section, "PRODUCT_NUM", KeyText(section, "PRODUCT_NUM"), count))
        return -1;
    std::size_t stored = 0;
    MissingKeys missing(*this, section);
    for (int32_t k = 0; k < std::min(count, kMaxListKeys) && stored < kTableSize; ++k) {
        std::string key = "PRODUCT" + std::to_string(k);
        std::string value = ReadValue(section, key);
        if (value.empty()) {
            missing.Add(key);
            continue;
        }
        products[stored++] = value;
    }
    return static_cast<int>(stored);
}

int32_t IniCatalog::ReadProductId(const std::string& section) {
    ProfileLookup lookup(profile_);
    std::string value = ReadValue(section, "PRODUCT_ID");
    if (value.empty()) {
        ReportMissingKey(KeyText(section, "PRODUCT_ID"));
        return -1;
    }
    uint32_t code = 0;
    if (!DecodeProductId(value, code)) {
        ReportIllegalKey(KeyText(section, "PRODUCT_ID"));
        return -1;
    }
    return static_cast<int32_t>(code);
}

int IniCatalog::FindDeviceByFile(const std::string& fileName, std::string& section) {
    ProfileLookup lookup(profile_);
    TextTable versions;
    TextTable names;
    for (int d = 0; d < deviceCount_; ++d) {
        std::string name = "DEVICE" + std::to_string(d);
        int count = ReadFileList(name, versions, names);
        if (count == -1)
            return -1;
        for (int j = 0; j < count; ++j) {
            if (ProductMatches(names[static_cast<std::size_t>(j)], fileName)) {
                section = name;
                return d;
            }
        }
    }
    return -1;
}

int IniCatalog::ProductsForFile(const std::string& fileName, TextTable& products) {
    ProfileLookup lookup(profile_);
    std::string section;
    if (FindDeviceByFile(fileName, section) == -1)
        return -1;
    return ReadProductList(section, products);
}

int IniCatalog::FindDeviceByProduct(const std::string& product, std::string& section) {
    ProfileLookup lookup(profile_);
    TextTable products;
    for (int d = 0; d < deviceCount_; ++d) {
        std::string name = "DEVICE" + std::to_string(d);
        int count = ReadProductList(name, products);
        if (count == -1)
            return -1;
        for (int k = 0; k < count; ++k) {
            if (ProductMatches(products[static_cast<std::size_t>(k)], product)) {
                section = name;
                return d;
            }
        }
    }
    return -1;
}

int IniCatalog::FilesForProduct(const std::string& product, TextTable& versions, TextTable& names) {
    ProfileLookup lookup(profile_);
    std::string section;
    if (FindDeviceByProduct(product, section) == -1)
        return -1;
    TextTable listedVersions;
    TextTable listedNames;
    int listed = ReadFileList(section, listedVersions, listedNames);
    if (listed == -1)
        return -1;
    if (listed == 0) {
        Warn(kNoFirmwareFileBox);
        return 0;
    }
    std::size_t stored = 0;
    for (int j = 0; j < listed && stored < kTableSize; ++j) {
        const std::size_t entry = static_cast<std::size_t>(j);
        if (!FirmwareFileExists(listedNames[entry]))
            continue;
        versions[stored] = listedVersions[entry];
        names[stored] = listedNames[entry];
        ++stored;
    }
    if (stored == 0) {
        Warn(kNoFirmwareFileBox);
        return 0;
    }
    return static_cast<int>(stored);
}

bool IniCatalog::FirmwareFileExists(const std::string& fileName) {
    // An entry of one word has no file name; the folder itself, its parent and other folders'
    // entries are no image of it.
    if (!NamesFileOfFolder(fileName))
        return false;
    std::string path = MakeFirmwarePath(firmwareFolder_, fileName);
    return !path.empty() && files_.Exists(path);
}

std::string IniCatalog::MakeFirmwarePath(const std::string& folder, const std::string& fileName) {
    if (folder.size() > kMaxFolderLength)
        return std::string();
    std::string path = JoinToDirectory(folder, fileName);
    if (path.size() > kMaxPathLength)
        return std::string();
    return path;
}

int32_t IniCatalog::ProductIdForProduct(const std::string& product) {
    ProfileLookup lookup(profile_);
    std::string section;
    if (FindDeviceByProduct(product, section) == -1)
        return -1;
    return ReadProductId(section);
}

}  // namespace quillet
