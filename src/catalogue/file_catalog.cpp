#include "catalogue/file_catalog.h"

#include <algorithm>

#include "catalogue/catalogue_messages.h"
#include "catalogue/config_values.h"

namespace quillet {

namespace {

std::string DeviceSection(int d) {
    return "DEVICE" + std::to_string(d);
}

// Every walk over the lenient lists takes its bound from these counts.
int32_t ListCount(const std::string& text) {
    return std::min(ParseLooseCount(text), kMaxListKeys);
}

}  // namespace

FileCatalog::FileCatalog(DirectorySearch& directory, FileSystem& files, ProfileReader& profile,
                         MessageBoxService& messages)
    : directory_(directory), files_(files), profile_(profile), messages_(messages) {
    FindFirmwareFiles();
    FindConfigFiles();
    configIndex_.reserve(static_cast<std::size_t>(configCount_));
    for (FoundFile* file = configHead_.get(); file != nullptr; file = file->next.get()) {
        configIndex_.push_back(file);
    }
}

FileCatalog::~FileCatalog() {
    // Unlinked one record at a time, so a long list does not recurse through its destructors.
    while (configHead_)
        configHead_ = std::move(configHead_->next);
}

void FileCatalog::Warn(const std::string& text) {
    messages_.ShowUntitled(text, MessageIcon::Exclamation, false, 0);
}

void FileCatalog::FindFirmwareFiles() {
    // Only whether an image is present matters here; the names are not kept.
    if (!directory_.FindFiles("*.bin").empty())
        return;
    if (!directory_.FindFiles("*.cdr").empty())
        return;
    Warn(kNoFirmwareFileBox);
}

void FileCatalog::FindConfigFiles() {
    std::vector<std::string> names = directory_.FindFiles("*.ini");
    if (names.empty()) {
        Warn(kNoCatalogueBox);
        return;
    }
    std::string folder = files_.CurrentDirectory();
    for (const std::string& name : names) {
        auto file = std::make_unique<FoundFile>();
        file->name = name;
        file->path = JoinToDirectory(folder, name);
        file->next = std::move(configHead_);
        configHead_ = std::move(file);
        ++configCount_;
    }
}

std::string FileCatalog::ConfigFileName(int i) const {
    return (i >= 0 && i < configCount_) ? configIndex_[static_cast<std::size_t>(i)]->name
                                        : std::string();
}

std::string FileCatalog::ConfigFilePath(int i) const {
    return (i >= 0 && i < configCount_) ? configIndex_[static_cast<std::size_t>(i)]->path
                                        : std::string();
}

std::string FileCatalog::ReadValue(int i, const std::string& section, const std::string& key) {
    if (i < 0 || i >= configCount_)
        return kMissingValue;
    char buffer[kValueBufferSize] = {};
    profile_.ReadString(section, key, kMissingValue, buffer, kValueBufferSize,
                        configIndex_[static_cast<std::size_t>(i)]->path);
    return buffer;
}

int32_t FileCatalog::ReadDeviceCount(int i) {
    return ListCount(ReadValue(i, "MAIN", "DEVICE_NUM"));
}

int32_t FileCatalog::ReadProductCount(int i, int d) {
    return ListCount(ReadValue(i, DeviceSection(d), "PRODUCT_NUM"));
}

std::string FileCatalog::ReadProductName(int i, int d, int k) {
    return ReadValue(i, DeviceSection(d), "PRODUCT" + std::to_string(k));
}

int32_t FileCatalog::ReadFileCount(int i, int d) {
    return ListCount(ReadValue(i, DeviceSection(d), "FILE_NUM"));
}

std::string FileCatalog::ReadFileEntry(int i, int d, int k) {
    return ReadValue(i, DeviceSection(d), "FILENAME" + std::to_string(k));
}

bool FileCatalog::ReadProductId(int i, int d, uint32_t& code) {
    code = 0;
    return DecodeProductId(ReadValue(i, DeviceSection(d), "PRODUCT_ID"), code);
}

bool FileCatalog::DeviceListsProduct(int i, int d, const std::string& product) {
    int32_t products = ReadProductCount(i, d);
    for (int k = 0; k < products; ++k) {
        if (ProductMatches(ReadProductName(i, d, k), product))
            return true;
    }
    return false;
}

int FileCatalog::FindConfigForProduct(const std::string& product) {
    ProfileLookup lookup(profile_);
    std::string wanted = TrimTrailingSpace(product);
    for (int i = 0; i < configCount_; ++i) {
        int32_t devices = ReadDeviceCount(i);
        for (int d = 0; d < devices; ++d) {
            if (DeviceListsProduct(i, d, wanted))
                return i;
        }
    }
    return -1;
}

int FileCatalog::FindDeviceForProduct(const std::string& product, int i) {
    ProfileLookup lookup(profile_);
    std::string wanted = TrimTrailingSpace(product);
    int32_t devices = ReadDeviceCount(i);
    for (int d = 0; d < devices; ++d) {
        if (DeviceListsProduct(i, d, wanted))
            return d;
    }
    return -1;
}

bool FileCatalog::ProductIdForProduct(const std::string& product, uint32_t& code) {
    ProfileLookup lookup(profile_);
    code = 0;
    int i = FindConfigForProduct(product);
    if (i == -1)
        return false;
    int d = FindDeviceForProduct(product, i);
    if (d == -1)
        return false;
    return ReadProductId(i, d, code);
}

std::vector<std::string> FileCatalog::SourceEntries(const std::string& product, int maxEntries) {
    const std::string trimmed = TrimTrailingSpace(product);
    // One walk over the configuration files reads each of them once.
    ProfileLookup lookup = Lookup();
    std::vector<std::string> entries;
    for (int f = 0; f < ConfigFileCount(); ++f) {
        const int devices = ReadDeviceCount(f);
        for (int j = 0; j < devices; ++j) {
            // Bounded like every table of the program, so a huge count in a configuration file
            // cannot flood the list.
            const int products = std::min(ReadProductCount(f, j), maxEntries);
            for (int k = 0; k < products; ++k) {
                if (!ProductMatches(ReadProductName(f, j, k), trimmed))
                    continue;
                const int files = ReadFileCount(f, j);
                for (int l = 0; l < files && static_cast<int>(entries.size()) < maxEntries; ++l)
                    entries.insert(entries.begin(), ReadFileEntry(f, j, l));
                break;
            }
        }
    }
    return entries;
}

}  // namespace quillet
