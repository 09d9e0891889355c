// Every message box the core can show, as the user reads it: the texts below are typed from the
// program's description, never taken from the constants that produce them, so a changed text,
// caption or icon fails here. Every box has the OK button alone (the service shows no other).
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/file_catalog.h"
#include "catalogue/ini_catalog.h"
#include "support/download_harness.h"
#include "support/memory_folder.h"

namespace quillet::test {
namespace {

constexpr WindowHandle kMain = DownloadHarness::kMainDialog;
constexpr char kTitle[] = "QuilletUnderTest";
constexpr char kFile[] = "FW.BIN";

using Shown = RecordedMessageBox::Shown;

// One download on a drive of another maker's model, after `prepare` has set the stage.
template <typename Harness>
std::vector<Shown> Download(std::function<void(Harness&, sim::DriveModel&)> prepare,
                            uint32_t productCode = 0,
                            std::optional<sim::FaultKind> blockFault = std::nullopt) {
    Harness h;
    sim::DriveModel model;
    model.product = "CDRW-8432       ";
    prepare(h, model);
    sim::SimulatedDrive& drive = h.AddDrive(model);
    if (blockFault)
        drive.AddFault({*blockFault, 0, 0x3B});
    h.Run(kFile, productCode);
    return h.Messages().Boxes();
}

std::vector<Shown> Catalogues(bool strict, const std::string& config, bool withImage = true) {
    MemoryFolder folder;
    RecordedMessageBox messages{kTitle};
    if (withImage)
        folder.Add("FW.BIN", "x");
    if (!config.empty())
        folder.Add("TARVEX.INI", config);
    if (strict) {
        IniCatalog catalog(folder, folder, folder, messages);
        if (catalog.Load()) {
            TextTable products;
            catalog.ReadProductList("DEVICE0", products);
        }
    } else {
        FileCatalog catalog(folder, folder, folder, messages);
    }
    return messages.Boxes();
}

std::vector<Shown> Aspi(std::function<void(AspiRig&)> prepare) {
    AspiRig rig;
    rig.layer.AddAdapter(7);
    rig.AddDrive(0, 0, 0);
    prepare(rig);
    auto transport = rig.MakeTransport();
    if (transport->LoadAspi())
        transport->ScanAdapters();
    return rig.messages.Boxes();
}

TEST(Messages, EveryBoxAsTheUserReadsIt) {
    using Aspi_ = AspiHarness;
    using Pt = PassThroughHarness;
    const auto addFile = [](auto& h, sim::DriveModel&) { h.files.Add(kFile, Pattern(100, 1)); };
    const auto emptyFile = [](auto& h, sim::DriveModel&) { h.files.Add(kFile, ""); };
    const auto disc = [](auto& h, sim::DriveModel& model) {
        h.files.Add(kFile, Pattern(100, 1));
        model.discPresent = true;
    };
    const auto ioError = [](auto& h, sim::DriveModel&) {
        h.files.Add(kFile, Pattern(100, 1));
        h.files.AddFault({MemoryFirmwareFiles::Operation::Read, 5, FileErrorCause::HardIo, ""});
    };
    const auto noFile = [](auto&, sim::DriveModel&) {};
    struct Row {
        const char* name;
        std::function<std::vector<Shown>()> show;
        Shown expected;
    };
    const Row rows[] = {
        // The download, ASPI side: the application title, no icon, no owner.
        {"ASPI open",
         [&] { return Download<Aspi_>(noFile); },
         {"Firmware file open error !", kTitle, MessageIcon::None, false, 0}},
        {"ASPI read",
         [&] { return Download<Aspi_>(emptyFile); },
         {"Firmware file read error !", kTitle, MessageIcon::None, false, 0}},
        {"ASPI size",
         [&] { return Download<Aspi_>(addFile, 0xFFFF00); },
         {"Firmware file size error !", kTitle, MessageIcon::None, false, 0}},
        {"ASPI disc",
         [&] { return Download<Aspi_>(disc); },
         {"Eject the disc from the drive.", "error", MessageIcon::Exclamation, false, 0}},
        {"ASPI file exception",
         [&] { return Download<Aspi_>(ioError); },
         {"Firmware file name error !: File i/o error.", kTitle, MessageIcon::Stop, false, kMain}},
        {"ASPI refused block",
         [&] { return Download<Aspi_>(addFile, 0, sim::FaultKind::CheckCondition); },
         {"SCSI I/O error occurred.\n"
          "  ASPI_STS = 04 : SRB completed with error\n"
          "  HOST_STS = 00 : Host adapter did not detect any error\n"
          "  TARG_STS = 02 : Check status\n"
          "  Sense Data = 70 00 04 00 00 00 00 0a 00 00 00 00 44 00\n",
          kTitle, MessageIcon::None, false, 0}},
        // The download, pass-through side: "Error", stop icon, owned by the main dialog.
        {"pass-through open",
         [&] { return Download<Pt>(noFile); },
         {"Firmware file open error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through read",
         [&] { return Download<Pt>(emptyFile); },
         {"Firmware file read error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through size",
         [&] { return Download<Pt>(addFile, 0xFFFF00); },
         {"Firmware file size error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through disc",
         [&] { return Download<Pt>(disc); },
         {"Eject the disc from the drive.", "error", MessageIcon::Stop, false, kMain}},
        {"pass-through write",
         [&] { return Download<Pt>(addFile, 0, sim::FaultKind::NeverCompletes); },
         {"Firmware write error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through notification",
         [&] {
             return Download<Pt>([](Pt& h, sim::DriveModel&) {
                 h.files.Add(kFile, Pattern(100, 1));
                 h.rig.volumes.SetMediaChangeRefused('F', 1, true);
             });
         },
         {"Media change notification error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through drive open",
         [&] {
             return Download<Pt>([](Pt& h, sim::DriveModel&) {
                 h.files.Add(kFile, Pattern(100, 1));
                 h.rig.volumes.SetOpenFails('F', true);
             });
         },
         {"Drive open error !", "Error", MessageIcon::Stop, false, kMain}},
        {"pass-through file exception",
         [&] { return Download<Pt>(ioError); },
         {"Firmware file name error !: File i/o error.", "Error", MessageIcon::Stop, false, kMain}},
        // The ASPI library.
        {"ASPI load",
         [] { return Aspi([](AspiRig& rig) { rig.layer.SetPresent(false); }); },
         {"ASPI load error !", kTitle, MessageIcon::Exclamation, false, 0}},
        {"ASPI set up",
         [] { return Aspi([](AspiRig& rig) { rig.layer.SetEntryPoints(true, false); }); },
         {"ASPI set up error !", kTitle, MessageIcon::Exclamation, false, 0}},
        {"ASPI command",
         [] {
             return Aspi([](AspiRig& rig) {
                 rig.layer.SetRefusesAbort(true);
                 rig.drives[0]->AddFault({sim::FaultKind::NeverCompletes, 0, 0x12});
             });
         },
         {"ASPI command error !", kTitle, MessageIcon::Exclamation, false, 0}},
        // The catalogues: the strict one titles its boxes, the lenient one leaves the platform's.
        {"strict, no image",
         [] { return Catalogues(true, "[MAIN]\nDEVICE_NUM=1\n", false); },
         {"Not found firmware file !", kTitle, MessageIcon::Exclamation, false, 0}},
        {"strict, no configuration",
         [] { return Catalogues(true, ""); },
         {"Not found tarvex.ini file !", kTitle, MessageIcon::Exclamation, false, 0}},
        {"lenient, no image",
         [] { return Catalogues(false, "[MAIN]\n", false); },
         {"Not found firmware file !", "Error", MessageIcon::Exclamation, false, 0}},
        {"lenient, no configuration",
         [] { return Catalogues(false, ""); },
         {"Not found tarvex.ini file !", "Error", MessageIcon::Exclamation, false, 0}},
        {"missing key",
         [] { return Catalogues(true, "[MAIN]\nDEVICE_NUM=1\n[DEVICE0]\n"); },
         {"tarvex.ini file error !\nNot found key data.  (key = DEVICE0:PRODUCT_NUM)", kTitle,
          MessageIcon::Exclamation, true, 0}},
        {"illegal key",
         [] { return Catalogues(true, "[MAIN]\nDEVICE_NUM=x\n"); },
         {"tarvex.ini file error !\nIllegal key data.  (key = DEVICE_NUM)", kTitle,
          MessageIcon::Exclamation, true, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<Shown> shown = row.show();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, row.expected.text);
        EXPECT_EQ(shown[0].caption, row.expected.caption);
        EXPECT_EQ(shown[0].icon, row.expected.icon);
        EXPECT_EQ(shown[0].taskModal, row.expected.taskModal);
        EXPECT_EQ(shown[0].owner, row.expected.owner);
    }
}

}  // namespace
}  // namespace quillet::test
