// Loading the ASPI library and searching its adapters, over the in-process simulated layer:
// the load failures and their messages, the adapter count, the order and limits of the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/aspi_rig.h"

namespace quillet {
namespace {

using test::AspiRig;
using Address = std::tuple<int, int, int>;  // adapter, target, lun

Address AddressOf(const DriveAddress& a) {
    return Address{a.hostAdapter, a.target, a.lun};
}

std::vector<Address> Listed(const AspiTransport& transport) {
    std::vector<Address> listed;
    for (int i = 0; i < transport.DriveCount(); ++i)
        listed.push_back(AddressOf(transport.Address(i)));
    return listed;
}

std::vector<Address> InquiredAddresses(const AspiRig& rig) {
    std::vector<Address> sent;
    for (const auto& r : rig.ExecRequests())
        sent.emplace_back(r.adapter, r.target, r.lun);
    return sent;
}

struct LoadFailureRow {
    const char* name;
    bool present;
    bool supportEntry;
    bool sendEntry;
    uint8_t supportStatus;
    const char* message;
    int loads;
};

TEST(AspiLoad, FailureShowsOneMessageAndLeavesNothingLoaded) {
    const std::vector<LoadFailureRow> rows = {
        {"library missing", false, true, true, 0x01, "ASPI load error !", 0},
        {"no GetASPI32SupportInfo", true, false, true, 0x01, "ASPI set up error !", 1},
        {"no SendASPI32Command", true, true, false, 0x01, "ASPI set up error !", 1},
        {"support status 0x04", true, true, true, 0x04, "ASPI set up error !", 1},
        {"support status 0x00", true, true, true, 0x00, "ASPI set up error !", 1},
    };
    for (const LoadFailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        AspiRig rig;
        rig.layer.SetPresent(row.present);
        rig.layer.SetEntryPoints(row.supportEntry, row.sendEntry);
        rig.layer.SetSupportStatus(row.supportStatus);
        rig.layer.AddAdapter();
        rig.AddDrive(0, 0, 0);
        auto transport = rig.MakeTransport();

        EXPECT_FALSE(transport->LoadAspi());
        transport->ScanAdapters();

        ASSERT_EQ(rig.messages.Boxes().size(), 1u);
        EXPECT_EQ(rig.messages.Boxes()[0].text, row.message);
        EXPECT_EQ(rig.messages.Boxes()[0].caption, "QuilletUnderTest");
        EXPECT_EQ(rig.messages.Boxes()[0].owner, 0u);
        EXPECT_EQ(transport->AdapterCount(), -1);
        EXPECT_EQ(transport->DriveCount(), 0);
        EXPECT_TRUE(rig.layer.Requests().empty());
        EXPECT_FALSE(rig.layer.Loaded());
        EXPECT_EQ(rig.layer.LoadCount(), row.loads);
        EXPECT_EQ(rig.layer.FreeCount(), row.loads);
        EXPECT_EQ(rig.layer.CallsWhileUnloaded(), 0);
    }
}

TEST(AspiLoad, AdapterCountComesFromTheSupportWord) {
    struct Row {
        uint32_t word;
        int32_t adapters;
    };
    // Bits 8..15 are the status and 0..7 the count; higher bits mean nothing.
    for (const Row& row : {Row{0x0103, 3}, Row{0x0100, 0}, Row{0xAB0102, 2}}) {
        SCOPED_TRACE(row.word);
        AspiRig rig;
        for (int i = 0; i < 4; ++i)
            rig.layer.AddAdapter();
        rig.layer.OverrideSupportInfo(row.word);
        auto transport = rig.LoadedTransport();
        EXPECT_EQ(rig.layer.LoadedName(), "WNASPI32.DLL");
        EXPECT_EQ(transport->AdapterCount(), row.adapters);

        transport->ScanAdapters();
        std::vector<int> asked;
        for (const auto& r : rig.layer.Requests()) {
            if (r.command == kSrbHostAdapterInquiry)
                asked.push_back(r.adapter);
        }
        std::vector<int> expected;
        for (int i = 0; i < row.adapters; ++i)
            expected.push_back(i);
        EXPECT_EQ(asked, expected);
        EXPECT_TRUE(rig.messages.Boxes().empty());
    }
}

TEST(AspiLoad, LibraryIsHeldOnceAndFreedWithTheTransport) {
    AspiRig rig;
    rig.layer.AddAdapter();
    auto transport = rig.LoadedTransport();
    EXPECT_TRUE(transport->LoadAspi());  // a second load gives the first reference back
    EXPECT_EQ(rig.layer.LoadCount(), 2);
    EXPECT_EQ(rig.layer.FreeCount(), 1);
    EXPECT_TRUE(rig.layer.Loaded());
    transport.reset();
    EXPECT_FALSE(rig.layer.Loaded());
    EXPECT_EQ(rig.layer.FreeCount(), 2);
}

TEST(AspiScan, VisitsAdaptersTargetsAndUnitsAscendingListingTheMakersCdDvdDrives) {
    AspiRig rig;
    const std::vector<uint8_t> ownIds = {7, 0, 3};
    for (uint8_t id : ownIds)
        rig.layer.AddAdapter(id);
    rig.layer.AddAdapter(7, false);  // does not answer its inquiry: skipped
    rig.AddDrive(2, 4, 0);
    rig.AddDrive(1, 7, 2);
    rig.AddDrive(0, 6, 7);
    rig.AddDrive(0, 0, 5);
    rig.AddDrive(0, 7, 0);  // at adapter 0's own id: never asked
    rig.AddDrive(1, 0, 0);  // at adapter 1's own id
    rig.AddDrive(3, 1, 0);  // on the adapter that does not answer
    // Only the maker's CD/DVD drives that answer are listed.
    sim::DriveModel disk;
    disk.peripheral = 0x00;
    rig.AddDrive(0, 1, 0, disk);
    sim::DriveModel other;
    other.vendor = "OTHERCO ";
    rig.AddDrive(1, 1, 0, other);
    sim::Fault refused;
    refused.opcode = 0x12;
    rig.AddDrive(2, 5, 0).AddFault(refused);
    auto transport = rig.LoadedTransport();
    ASSERT_EQ(transport->AdapterCount(), 4);

    transport->ScanAdapters();

    std::vector<Address> expected;
    for (int adapter = 0; adapter < 3; ++adapter) {
        for (int target = 0; target < 8; ++target) {
            if (target == ownIds[static_cast<size_t>(adapter)])
                continue;
            for (int lun = 0; lun < 8; ++lun)
                expected.emplace_back(adapter, target, lun);
        }
    }
    EXPECT_EQ(InquiredAddresses(rig), expected);
    // Each INQUIRY goes into a 16-byte aligned window and is waited for on its event.
    for (const auto& r : rig.ExecRequests()) {
        EXPECT_EQ(r.flags, kSrbDirectionIn | kSrbEventNotify);
        EXPECT_NE(r.postProc, 0u);
        EXPECT_EQ(r.bufferLength, 128u);
        EXPECT_EQ(r.buffer % 16, 0u);
        EXPECT_EQ(r.senseLength, 14);
        EXPECT_EQ(r.cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 0x80, 0}));
    }
    EXPECT_EQ(rig.events.OpenCount(), 0u);
    EXPECT_EQ(Listed(*transport),
              (std::vector<Address>{{0, 0, 5}, {0, 6, 7}, {1, 7, 2}, {2, 4, 0}}));
    EXPECT_EQ(transport->Identity(0).vendor, "KORVIN  ");
    EXPECT_EQ(transport->Identity(0).product, "CDRW-8432       ");
    EXPECT_EQ(transport->Revision(3), "1.0q");
    EXPECT_TRUE(rig.messages.Boxes().empty());
}

// A drive configured off the bus (a target or unit outside 0 to 7, as a typing slip in
// WNASPI32.CFG gives) is nowhere: it neither shows up at another address nor takes one's place.
TEST(AspiScan, DriveOffTheBusIsNowhere) {
    struct Row {
        const char* name;
        int target;
        int lun;
    };
    const Row rows[] = {
        {"unit 8 of target 0", 0, 8},
        {"unit 9 of target -1", -1, 9},
        {"target 8", 8, 0},
        {"target whose key wraps to 8", 0x20000001, 0},
        {"largest target", 0x7FFFFFFF, 7},
        {"negative unit", 1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AspiRig rig;
        rig.layer.AddAdapter(7);
        rig.AddDrive(0, 1, 0);
        sim::DriveModel stray;
        stray.product = "STRAY";
        rig.AddDrive(0, row.target, row.lun, stray);
        auto transport = rig.LoadedTransport();

        transport->ScanAdapters();

        EXPECT_EQ(Listed(*transport), (std::vector<Address>{{0, 1, 0}}));
        EXPECT_EQ(transport->Identity(0).product, "CDRW-8432       ");
        EXPECT_TRUE(rig.drives[1]->Journal().empty());
    }
}

TEST(AspiScan, TableStopsAt256Drives) {
    AspiRig rig;
    std::vector<Address> placed;  // in search order
    for (int adapter = 0; adapter < 5; ++adapter) {
        rig.layer.AddAdapter(7);
        for (int target = 0; target < 7; ++target) {
            for (int lun = 0; lun < 8 && placed.size() < 257; ++lun)
                placed.emplace_back(adapter, target, lun);
        }
    }
    for (const Address& a : placed)
        rig.AddDrive(std::get<0>(a), std::get<1>(a), std::get<2>(a));
    auto transport = rig.LoadedTransport();

    transport->ScanAdapters();

    ASSERT_EQ(transport->DriveCount(), AspiTransport::kMaxDrives);
    EXPECT_EQ(Listed(*transport), std::vector<Address>(placed.begin(), placed.begin() + 256));
    // The 257th was asked like every other unit, and left out.
    const auto inquired = InquiredAddresses(rig);
    EXPECT_NE(std::find(inquired.begin(), inquired.end(), placed[256]), inquired.end());
}

}  // namespace
}  // namespace quillet
