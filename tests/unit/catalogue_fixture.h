// Shared ground of the catalogue tests: a temporary current directory, the platform's real
// search, file and profile services, and a recorded message box.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/config_values.h"
#include "catalogue/file_catalog.h"
#include "catalogue/ini_catalog.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"
#include "support/temp_dir.h"

namespace quillet::test {

// The PRODUCT_ID text of `code` with `digits` hexadecimal digits (the low ones).
inline std::string EncodeProductId(uint32_t code, int digits = 8) {
    std::string text;
    for (int p = 0; p < digits; ++p) {
        uint32_t digit = (code >> (4 * (digits - 1 - p))) & 0xF;
        text += static_cast<char>(kProductIdKey[p] + 16 - static_cast<int>(digit));
    }
    return text;
}

inline std::string MissingKeyText(const std::string& key) {
    return "tarvex.ini file error !\nNot found key data.  (key = " + key + ")";
}

inline std::string IllegalKeyText(const std::string& key) {
    return "tarvex.ini file error !\nIllegal key data.  (key = " + key + ")";
}

// The boxes a strict read of `key` shows: none for "", else the missing or the illegal key's.
inline std::vector<std::string> KeyBoxes(const std::string& kind, const std::string& key) {
    if (kind.empty())
        return {};
    return {kind == "illegal" ? IllegalKeyText(key) : MissingKeyText(key)};
}

constexpr const char* kFirmwareNotFound = "Not found firmware file !";
constexpr const char* kConfigNotFound = "Not found tarvex.ini file !";
constexpr const char* kTitle = "QuilletUnderTest";

class CatalogueTest : public ::testing::Test {
protected:
    std::unique_ptr<FileCatalog> MakeFileCatalog() {
        return std::make_unique<FileCatalog>(directory, files, profile, messages);
    }
    std::unique_ptr<IniCatalog> MakeIniCatalog() {
        return std::make_unique<IniCatalog>(directory, files, profile, messages);
    }
    // An IniCatalog reading the one "*.ini" of the folder, its load messages cleared.
    std::unique_ptr<IniCatalog> IniReading(const std::string& config) {
        return IniReading(dir, config);
    }
    std::unique_ptr<IniCatalog> IniReading(const TempDir& where, const std::string& config) {
        where.WriteFile("tarvex.ini", config);
        auto catalog = MakeIniCatalog();
        EXPECT_TRUE(catalog->FindConfigFile());
        messages.Clear();
        return catalog;
    }

    TempDir dir;
    SystemDirectorySearch directory;
    SystemFileSystem files;
    SystemProfileReader profile;
    RecordedMessageBox messages{kTitle};
};

}  // namespace quillet::test
