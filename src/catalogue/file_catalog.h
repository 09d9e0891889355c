// The catalogue of every configuration file of the current directory, read leniently: missing
// keys read as "NOT_FOUND", counts are parsed loosely and nothing is reported. Its lookups serve
// the NT family; the pass-through drive list derives from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/profile_reader.h"

namespace quillet {

class FileCatalog {
public:
    // Values are read into buffers of this size, so longer ones are cut to 127 characters.
    static constexpr uint32_t kValueBufferSize = 128;
    static constexpr const char* kMissingValue = "NOT_FOUND";

    // Searches the current directory at once: firmware images ("*.bin", else "*.cdr"; a warning
    // when there is none), then every "*.ini" (a warning when there is none). The services must
    // outlive the catalogue.
    FileCatalog(DirectorySearch& directory, FileSystem& files, ProfileReader& profile,
                MessageBoxService& messages);
    virtual ~FileCatalog();
    FileCatalog(const FileCatalog&) = delete;
    FileCatalog& operator=(const FileCatalog&) = delete;

    // Configuration files found; position 0 is the file the search returned last.
    int ConfigFileCount() const { return configCount_; }
    // Name (without folder) and full path of the file at position i; empty when there is none.
    std::string ConfigFileName(int i) const;
    std::string ConfigFilePath(int i) const;

    // The lenient readers: i is a file position, d a device number, k an entry number. A position
    // out of range reads like a file without the key. Counts above kMaxListKeys read as that
    // bound, so every walk over them is bounded.
    int32_t ReadDeviceCount(int i);
    int32_t ReadProductCount(int i, int d);
    std::string ReadProductName(int i, int d, int k);
    int32_t ReadFileCount(int i, int d);
    std::string ReadFileEntry(int i, int d, int k);
    // Decodes PRODUCT_ID of DEVICE d; `code` is 0 before decoding. A missing key fails.
    bool ReadProductId(int i, int d, uint32_t& code);

    // Position of the first file with a device that lists a product matching `product` (its
    // trailing white space removed), or -1.
    int FindConfigForProduct(const std::string& product);
    // Number of the first device of file i that lists a matching product, or -1.
    int FindDeviceForProduct(const std::string& product, int i);
    // The product code of the first matching device of the first matching file.
    bool ProductIdForProduct(const std::string& product, uint32_t& code);

    // The NT source list for a drive's product identification, top entry first: the raw FILENAME
    // values of every device that lists a matching product, in every file; each value read goes
    // on top of those read before. At most `maxEntries` values are read.
    std::vector<std::string> SourceEntries(const std::string& product, int maxEntries);

    // Brackets a walk over the lenient readers (the NT source list) as one lookup, so each
    // configuration file is read once for the whole walk.
    ProfileLookup Lookup() { return ProfileLookup(profile_); }

private:
    struct FoundFile {
        std::string name;
        std::string path;
        std::unique_ptr<FoundFile> next;
    };

    void FindFirmwareFiles();
    void FindConfigFiles();
    std::string ReadValue(int i, const std::string& section, const std::string& key);
    bool DeviceListsProduct(int i, int d, const std::string& product);
    void Warn(const std::string& text);

    DirectorySearch& directory_;
    FileSystem& files_;
    ProfileReader& profile_;
    MessageBoxService& messages_;

    int configCount_ = 0;
    std::unique_ptr<FoundFile> configHead_;  // newest first
    std::vector<FoundFile*> configIndex_;    // position i to record, 0 being the head
};

}  // namespace quillet
