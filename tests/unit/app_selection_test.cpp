// Choosing a drive: the version it reported and the firmware the configuration offers for it,
// from every configuration file on the NT family and from the one in use, images present only,
// on the Windows 9x family.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "unit/app_fixture.h"

namespace quillet::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

struct SourceRow {
    const char* name;
    Path path;
    // Configuration files in the order the directory search returns them.
    std::vector<std::pair<std::string, std::vector<DeviceSection>>> configs;
    std::vector<std::string> images;
    std::string drive;
    std::vector<std::string> expected;
};

class SourceTest : public AppTest, public ::testing::WithParamInterface<SourceRow> {};

// Pass-through: every device of every configuration file that lists a matching product adds its
// raw FILENAME values, each at the top: later devices and files come first, higher numbers before
// lower; the images are not looked for and "Update" is never changed. ASPI: only the first
// matching device of the one configuration file counts, highest FILENAME first, and only entries
// whose image is in the firmware folder; with none, "Update" is disabled after the catalogue's
// message.
TEST_P(SourceTest, ListsTheEntriesOfTheMatchingDevices) {
    const SourceRow& row = GetParam();
    Use(row.path);
    for (const std::string& image : row.images)
        rig.folder.Add(image, "image");
    for (const auto& config : row.configs)
        rig.folder.Add(config.first, Catalogue(config.second));
    AddDrive(0, MakerDrive(row.drive, "1.0a"));
    ContinueThen([&](HeadlessDialogView& view) {
        EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO), ElementsAreArray(row.expected));
        EXPECT_EQ(rig.Selection(view, IDC_SOURCE_COMBO), row.expected.empty() ? -1 : 0);
        EXPECT_EQ(view.IsEnabled(IDC_UPDATE), !Aspi() || !row.expected.empty());
    });
    RunToEnd();
    if (Aspi() && row.expected.empty())
        EXPECT_THAT(rig.messages.Texts(), ElementsAre(kFirmwareNotFound));
    else
        EXPECT_THAT(rig.messages.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SourceTest,
    ::testing::Values(
        SourceRow{"PassThrough MTX5160S takes FILENAME1 first",
                  Path::PassThrough,
                  {{"tarvex.ini", {{{"MTX5160E", "MTX5160S"}, {"1.0a A.BIN", "1.1b B.BIN"}}}}},
                  {"A.BIN"},
                  "MTX5160S",
                  {"1.1b B.BIN", "1.0a A.BIN"}},
        SourceRow{"PassThrough two matching devices: the second on top",
                  Path::PassThrough,
                  {{"tarvex.ini",
                    {{{"MTX5160"}, {"1.0a A.BIN"}},
                     {{"CDRW"}, {"9.0z X.BIN"}},
                     {{"mtx5160e"}, {"2.0a C.BIN", "2.1a D.BIN"}}}}},
                  {"A.BIN"},
                  "MTX5160E",
                  {"2.1a D.BIN", "2.0a C.BIN", "1.0a A.BIN"}},
        SourceRow{"PassThrough a device with two matching products adds its files once",
                  Path::PassThrough,
                  {{"tarvex.ini", {{{"MTX5160", "MTX5160E"}, {"1.0a A.BIN"}}}}},
                  {"A.BIN"},
                  "MTX5160E",
                  {"1.0a A.BIN"}},
        SourceRow{"PassThrough an empty product name matches every drive",
                  Path::PassThrough,
                  {{"tarvex.ini", {{{"MTX5160E", ""}, {"9.9z ANY.BIN"}}}}},
                  {"ANY.BIN"},
                  "CDRW-8432",
                  {"9.9z ANY.BIN"}},
        // Position 0 is the file the search found last: its entries go in first and
        // end up below those of the file found before it.
        SourceRow{"PassThrough the configuration file found last first",
                  Path::PassThrough,
                  {{"a.ini", {{{"MTX5160E"}, {"1.0a A.BIN"}}}},
                   {"b.ini", {{{"MTX5160E"}, {"2.0a B.BIN"}}}}},
                  {"A.BIN"},
                  "MTX5160E",
                  {"1.0a A.BIN", "2.0a B.BIN"}},
        SourceRow{"PassThrough no matching product",
                  Path::PassThrough,
                  {{"tarvex.ini", {{{"MTX5160E"}, {"1.0a A.BIN"}}}}},
                  {"A.BIN"},
                  "CDRW-8432",
                  {}},
        SourceRow{"Aspi highest FILENAME first",
                  Path::Aspi,
                  {{"tarvex.ini", {{{"MTX5160E", "MTX5160S"}, {"1.0a A.BIN", "1.1b B.BIN"}}}}},
                  {"A.BIN", "B.BIN"},
                  "MTX5160S",
                  {"1.1b B.BIN", "1.0a A.BIN"}},
        SourceRow{"Aspi the first matching device only",
                  Path::Aspi,
                  {{"tarvex.ini", {{{"MTX5160"}, {"1.0a A.BIN"}}, {{"MTX5160E"}, {"2.0a C.BIN"}}}}},
                  {"A.BIN", "C.BIN"},
                  "MTX5160E",
                  {"1.0a A.BIN"}},
        SourceRow{"Aspi no image left: Update disabled",
                  Path::Aspi,
                  {{"tarvex.ini", {{{"MTX5160E"}, {"1.0a GONE.BIN"}}, {{"X"}, {"1.0 A.BIN"}}}}},
                  {"A.BIN"},
                  "MTX5160E",
                  {}}),
    RowName<SourceRow>);

// The drives are listed in the path's order (pass-through: the highest letter first), the first
// chosen. A new drive shows its own version, exactly as it reported it, and its own entries. Over
// ASPI "Update" follows what is offered; on pass-through it stays as it is.
TEST_P(AppPathTest, ChoosingADriveShowsItsVersionAndItsFirmware) {
    rig.folder.Add("MTX5160.BIN", "image");
    rig.folder.Add("tarvex.ini", Catalogue({{{"MTX5160E"}, {"1.1a MTX5160.BIN"}},
                                            {{"CDRW-8432"}, {"2.0a GONE.BIN"}}}));
    AddDrive(0, MakerDrive("MTX5160E", "1.0q"));
    AddDrive(1, MakerDrive("CDRW-8432", "2.0 "));
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_THAT(rig.ListEntries(view, IDC_DRIVE_COMBO),
                    ElementsAre(DriveEntry(0, "MTX5160E"), DriveEntry(1, "CDRW-8432")));
        EXPECT_EQ(rig.Selection(view, IDC_DRIVE_COMBO), 0);
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "1.0q");
    });
    rig.ui.QueueSelect(kMain, IDC_DRIVE_COMBO, 1);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_EQ(rig.Selection(view, IDC_DRIVE_COMBO), 1);
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "2.0 ") << "trailing blank kept";
        if (Aspi()) {
            EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO), IsEmpty());
            EXPECT_FALSE(view.IsEnabled(IDC_UPDATE));
            EXPECT_THAT(rig.messages.Texts(), ElementsAre(kFirmwareNotFound));
        } else {
            EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO), ElementsAre("2.0a GONE.BIN"));
            EXPECT_TRUE(view.IsEnabled(IDC_UPDATE));
            EXPECT_THAT(rig.messages.Texts(), IsEmpty());
        }
    });
    rig.ui.QueueSelect(kMain, IDC_DRIVE_COMBO, 0);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "1.0q");
        EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO), ElementsAre("1.1a MTX5160.BIN"));
        EXPECT_EQ(rig.Selection(view, IDC_SOURCE_COMBO), 0);
        EXPECT_TRUE(view.IsEnabled(IDC_UPDATE));
        EXPECT_EQ(rig.Selection(view, IDC_DRIVE_COMBO), 0);
    });
    rig.ui.QueueClick(kMain, kIdCancel);
    RunToEnd();
}

INSTANTIATE_TEST_SUITE_P(Paths, AppPathTest, ::testing::Values(Path::Aspi, Path::PassThrough),
                         PathName);

}  // namespace
}  // namespace quillet::test
