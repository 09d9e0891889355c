// The compiled-resource reader: the language a user gets, and malformed or cut-off data, which
// must give no result rather than a wrong one or a read past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "res/compiled_resources.h"
#include "ui/resource_data.h"

namespace quillet {
namespace {

// A .res file made of entries with numbered types and names.
class ResWriter {
public:
    ResWriter() { Entry(0, 0, 0, {}); }

    ResWriter& Entry(std::uint16_t type, std::uint16_t name, LanguageId language,
                     const std::vector<std::uint8_t>& data) {
        U32(static_cast<std::uint32_t>(data.size()));
        U32(32);
        for (std::uint16_t word : {std::uint16_t{0xFFFF}, type, std::uint16_t{0xFFFF}, name})
            U16(word);
        U32(0);
        U16(0x1030);
        U16(language);
        U32(0);
        U32(0);
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4 != 0)
            bytes.push_back(0);
        return *this;
    }

    std::vector<std::uint8_t> bytes;

private:
    void U16(std::uint16_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(static_cast<std::uint16_t>(value));
        U16(static_cast<std::uint16_t>(value >> 16));
    }
};

// A string block whose first string is `text` (ASCII) and the others absent.
std::vector<std::uint8_t> Block(const std::string& text) {
    std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(text.size()), 0};
    for (char c : text) {
        data.push_back(static_cast<std::uint8_t>(c));
        data.push_back(0);
    }
    data.resize(data.size() + 15 * 2, 0);
    return data;
}

TEST(ResourceFile, AUserGetsTheClosestLanguage) {
    struct Row {
        const char* name;
        std::vector<LanguageId> present;
        LanguageId user;
        LanguageId found;
    };
    const Row rows[] = {
        {"the user's own", {0x0409, 0x0C0A, 0x0411}, 0x0411, 0x0411},
        {"another sublanguage of the same language", {0x0409, 0x0C0A, 0x0411}, 0x040A, 0x0C0A},
        {"English when the language is missing", {0x0C0A, 0x0409, 0x0411}, 0x0419, 0x0409},
        {"neutral before English", {0x0409, 0x0000}, 0x0411, 0x0000},
        {"the language without sublanguage first", {0x0409, 0x0009}, 0x0809, 0x0009},
        {"the first when neither the language nor English is there",
         {0x0407, 0x040C},
         0x0411,
         0x0407},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResWriter writer;
        for (LanguageId language : row.present)
            writer.Entry(kRtString, 7, language, Block("l" + std::to_string(language)));
        std::optional<ResourceFile> file =
            ResourceFile::Parse(writer.bytes.data(), writer.bytes.size());
        ASSERT_TRUE(file.has_value());
        const ResourceEntry* entry = file->FindForLanguage(kRtString, 7, row.user);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->language, row.found);
        EXPECT_EQ(file->FindString(96, row.user), "l" + std::to_string(row.found));
        EXPECT_EQ(file->FindString(97, row.user), std::nullopt) << "an absent string";
        EXPECT_EQ(file->FindString(112, row.user), std::nullopt) << "an absent block";
    }
}

TEST(ResourceFile, CutOffOrInconsistentFilesGiveNothing) {
    ResWriter writer;
    writer.Entry(kRtString, 7, 0x0409, Block("text"));
    const std::vector<std::uint8_t>& whole = writer.bytes;
    ASSERT_TRUE(ResourceFile::Parse(whole.data(), whole.size()).has_value());
    // Cut inside the second entry's header or data.
    for (std::size_t size = 33; size < whole.size(); ++size) {
        SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
        EXPECT_FALSE(ResourceFile::Parse(whole.data(), size).has_value());
    }
    std::vector<std::uint8_t> tooLong = whole;
    tooLong[32] = 0xFF;  // the second entry's data size
    EXPECT_FALSE(ResourceFile::Parse(tooLong.data(), tooLong.size()).has_value());
    std::vector<std::uint8_t> shortHeader = whole;
    shortHeader[36] = 8;  // a header too small to hold its own fields
    EXPECT_FALSE(ResourceFile::Parse(shortHeader.data(), shortHeader.size()).has_value());
}

TEST(ResourceFile, CutOffResourcesOfEveryKindGiveNothing) {
    std::optional<ResourceFile> program =
        ResourceFile::Parse(CompiledResourceData(), CompiledResourceSize());
    ASSERT_TRUE(program.has_value());
    struct Row {
        const char* name;
        std::uint16_t type;
        std::uint16_t id;
        LanguageId language;
        bool (*parses)(const std::vector<std::uint8_t>&);
    };
    const Row rows[] = {
        {"extended dialog template", kRtDialog, 102, 0x0411,
         [](const std::vector<std::uint8_t>& d) { return ParseDialogTemplate(d).has_value(); }},
        {"classic dialog template", kRtDialog, 129, 0x0407,
         [](const std::vector<std::uint8_t>& d) { return ParseDialogTemplate(d).has_value(); }},
        {"string block", kRtString, 8, 0x0411,
         [](const std::vector<std::uint8_t>& d) { return ParseStringBlock(d).has_value(); }},
        {"version record", kRtVersion, 1, 0x0411,
         [](const std::vector<std::uint8_t>& d) { return ParseVersionRecord(d).has_value(); }},
        {"icon group", kRtGroupIcon, 134, 0x0000,
         [](const std::vector<std::uint8_t>& d) { return ParseIconGroup(d).has_value(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ResourceEntry* entry = program->Find(row.type, row.id, row.language);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(row.parses(entry->data));
        // Trailing padding may go; anything more must not.
        for (std::size_t size = 0; size + 4 < entry->data.size(); ++size) {
            std::vector<std::uint8_t> cut(entry->data.begin(), entry->data.begin() + size);
            EXPECT_FALSE(row.parses(cut)) << "cut to " << size << " bytes";
        }
    }
}

}  // namespace
}  // namespace quillet
