// The exclusive open against other openers of the file: nobody else may open it while the
// download holds it, and it cannot be taken while somebody else holds it.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/firmware_file.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

class OtherOpener {
public:
    explicit OtherOpener(const char* path)
        : handle_(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
          error_(::GetLastError()) {}
    ~OtherOpener() {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    bool Opened() const { return handle_ != INVALID_HANDLE_VALUE; }
    DWORD Error() const { return error_; }

private:
    HANDLE handle_;
    DWORD error_;
};

TEST(FirmwareFileSharing, NobodyElseWhileOpenAndNotWhileSomebodyElseHasIt) {
    test::TempDir dir;
    dir.WriteFile("SHARED.BIN", "0123456789");
    SystemFirmwareFiles files;

    {
        auto file = files.OpenExclusive("SHARED.BIN");
        ASSERT_NE(file, nullptr);
        OtherOpener other("SHARED.BIN");
        EXPECT_FALSE(other.Opened());
        EXPECT_EQ(other.Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    {
        OtherOpener other("SHARED.BIN");
        ASSERT_TRUE(other.Opened());
        FileErrorCause cause = FileErrorCause::None;
        EXPECT_EQ(files.OpenExclusive("SHARED.BIN", &cause), nullptr);
        EXPECT_EQ(cause, FileErrorCause::SharingViolation);
    }
}

}  // namespace
}  // namespace quillet
