// The platform's firmware files over real files in a temporary folder: the same answers from the
// Windows file layer and from the portable one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/firmware_file.h"
#include "support/temp_dir.h"

namespace quillet::test {
namespace {

std::string Bytes(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    return bytes;
}

TEST(FirmwareFile, ReadsSeeksAndMeasuresAFile) {
    TempDir dir;
    const std::string bytes = Bytes(40000);
    dir.WriteFile("IMAGE.BIN", bytes);
    SystemFirmwareFiles files;
    FileErrorCause cause = FileErrorCause::Generic;
    auto file = files.OpenExclusive("IMAGE.BIN", &cause);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(cause, FileErrorCause::None);

    EXPECT_EQ(file->Length(), 40000u);
    std::vector<char> buffer(16384);
    EXPECT_EQ(file->Read(buffer.data(), 16384), 16384u);
    EXPECT_EQ(std::string(buffer.data(), 16384), bytes.substr(0, 16384));
    EXPECT_EQ(file->Read(buffer.data(), 4), 4u);
    EXPECT_EQ(std::string(buffer.data(), 4), bytes.substr(16384, 4));

    file->Seek(39990);
    EXPECT_EQ(file->Read(buffer.data(), 100), 10u);
    EXPECT_EQ(std::string(buffer.data(), 10), bytes.substr(39990));
    EXPECT_EQ(file->Read(buffer.data(), 100), 0u);
    file->Seek(50000);  // past the end: allowed, and nothing there
    EXPECT_EQ(file->Read(buffer.data(), 1), 0u);
    file->Seek(0);
    EXPECT_EQ(file->Read(buffer.data(), 1), 1u);
    EXPECT_EQ(buffer[0], bytes[0]);

    file->Close();
    file->Close();  // a second close does nothing
}

TEST(FirmwareFile, OpensOnlyWhatExistsAndOnlyOnce) {
    TempDir dir;
    dir.WriteFile("IMAGE.BIN", Bytes(10));
    dir.MakeFolder("FOLDER");
    dir.WriteFile("FOLDER/INNER.BIN", Bytes(3));
    SystemFirmwareFiles files;

    struct Row {
        const char* name;
        std::string path;
        FileErrorCause cause;  // None: opens
    };
    const Row rows[] = {
        {"missing file", "MISSING.BIN", FileErrorCause::FileNotFound},
        {"missing folder", "NOFOLDER\\IMAGE.BIN", FileErrorCause::BadPath},
        {"a folder", "FOLDER", FileErrorCause::AccessDenied},
        {"empty name", "", FileErrorCause::BadPath},
        {"a file in a folder, Windows separator", "FOLDER\\INNER.BIN", FileErrorCause::None},
        {"full path", (dir.Path() / "IMAGE.BIN").string(), FileErrorCause::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FileErrorCause cause = FileErrorCause::Generic;
        auto file = files.OpenExclusive(row.path, &cause);
        EXPECT_EQ(file != nullptr, row.cause == FileErrorCause::None);
        EXPECT_EQ(cause, row.cause);
    }

    // Shared with nobody: a second open fails while the first is open, and works after it.
    auto first = files.OpenExclusive("IMAGE.BIN");
    ASSERT_NE(first, nullptr);
    FileErrorCause cause = FileErrorCause::None;
    EXPECT_EQ(files.OpenExclusive("IMAGE.BIN", &cause), nullptr);
    EXPECT_EQ(cause, FileErrorCause::SharingViolation);
    first.reset();  // the destructor closes
    EXPECT_NE(files.OpenExclusive("IMAGE.BIN"), nullptr);
}

}  // namespace
}  // namespace quillet::test
