// The catalogue of the one configuration file in use, read strictly: missing and malformed keys
// are reported in a message box and fail the lookup that met them. Its lookups serve the
// Windows 9x family. Nothing but the device count is kept between lookups: each one reads the
// file again and reports its faults again.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/config_values.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/profile_reader.h"

namespace quillet {

class IniCatalog {
public:
    // Values are read into buffers of this size, so longer ones are cut to 255 characters.
    static constexpr uint32_t kValueBufferSize = 256;
    // The longest folder and joined image path a path buffer holds.
    static constexpr std::size_t kMaxFolderLength = 259;
    static constexpr std::size_t kMaxPathLength = 255;
    static constexpr int kMissingKeysReported = 3;

    // Constructed empty; Load fills it. The services must outlive the catalogue.
    IniCatalog(DirectorySearch& directory, FileSystem& files, ProfileReader& profile,
               MessageBoxService& messages);
    virtual ~IniCatalog() = default;
    IniCatalog(const IniCatalog&) = delete;
    IniCatalog& operator=(const IniCatalog&) = delete;

    // FindFirmwareFolder, FindConfigFile and LoadDeviceCount in turn; the first failure ends it.
    bool Load();
    // The first "*.bin", else the first "*.cdr": sets firmwareName and firmwareFolder.
    bool FindFirmwareFolder();
    // The first "*.ini": sets configPath.
    bool FindConfigFile();
    // DEVICE_NUM of MAIN by the strict count rule; deviceCount keeps its low 16 bits.
    bool LoadDeviceCount();

    // The strict readers. ReadFileList reads FILENAME entries from FILE_NUM - 1 down to 0, so the
    // tables hold the highest-numbered entry first; ReadProductList reads PRODUCT entries upwards.
    // Both leave out missing entries, stop at 256 and return the number stored, or -1 when the
    // count is missing or malformed (a count that does not fit in an int32_t is malformed). Of
    // one list's missing entries the first kMissingKeysReported are reported one by one and the
    // rest in one box that counts them; key numbers from kMaxListKeys up are not read.
    int ReadFileList(const std::string& section, TextTable& versions, TextTable& names);
    int ReadProductList(const std::string& section, TextTable& products);
    // The decoded PRODUCT_ID of `section`, or -1 (reported) when it is missing or undecodable.
    // A code with all 32 bits set cannot be told from -1.
    int32_t ReadProductId(const std::string& section);

    void ReportMissingKey(const std::string& keyText);
    void ReportIllegalKey(const std::string& keyText);

    // The first device whose file list names `fileName` (by the product match rule), with its
    // section name; -1 when none does or a file list cannot be read.
    int FindDeviceByFile(const std::string& fileName, std::string& section);
    // The products of the device that lists `fileName`, or -1.
    int ProductsForFile(const std::string& fileName, TextTable& products);
    // The first device that lists a product matching `product`, with its section name; -1 when
    // none does or a product list cannot be read.
    int FindDeviceByProduct(const std::string& product, std::string& section);
    // The entries of the matching device whose image is in the firmware folder, highest FILENAME
    // number first; 0 (with a warning) when there is none, -1 when the lookup failed.
    int FilesForProduct(const std::string& product, TextTable& versions, TextTable& names);
    // True when the firmware folder holds an entry (file or folder) named `fileName`. An empty
    // name, a name of dots only, a name with a path separator, or a path too long for its buffer
    // names nothing.
    bool FirmwareFileExists(const std::string& fileName);
    // `folder`, a backslash unless it ends in one, and `fileName`; an empty folder gives the name
    // alone. Empty when the folder is longer than kMaxFolderLength or the result longer than
    // kMaxPathLength: such a path is never formed.
    static std::string MakeFirmwarePath(const std::string& folder, const std::string& fileName);
    // The product code of the first matching device, or -1.
    int32_t ProductIdForProduct(const std::string& product);

    const std::string& firmwareName() const { return firmwareName_; }
    const std::string& firmwareFolder() const { return firmwareFolder_; }
    int16_t deviceCount() const { return deviceCount_; }
    const std::string& configPath() const { return configPath_; }

private:
    class MissingKeys;

    std::string ReadValue(const std::string& section, const std::string& key);
    bool ReadCount(const std::string& section, const std::string& key, const std::string& keyText,
                   int32_t& count);
    void ReportKey(const char* fault, const std::string& keyText);
    void ReportKeys(const char* fault, const std::string& which);
    void Warn(const std::string& text);

    DirectorySearch& directory_;
    FileSystem& files_;
    ProfileReader& profile_;
    MessageBoxService& messages_;

    std::string firmwareName_;
    std::string firmwareFolder_;
    int16_t deviceCount_ = 0;
    std::string configPath_;
};

}  // namespace quillet
