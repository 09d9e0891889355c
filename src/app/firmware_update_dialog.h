// The main dialog: the target drives, the firmware each drive runs, the firmware the configuration
// offers for it, and the "Update" command. It owns both catalogues and the pass-through drive list
// for its whole life; the ASPI transport lives only inside the Windows 9x start-up and inside one
// update.
//
// Which transport serves the drives follows the platform identifier, asked anew by every handler: 1
// (the Windows 9x family) is ASPI with the strict IniCatalog, anything else pass-through with the
// lenient FileCatalog under the drive list. The two paths differ in what they show and check, as
// each handler says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/app_services.h"
#include "catalogue/ini_catalog.h"
#include "device/pass_through.h"
#include "device/scsi.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/serving_clock.h"

namespace quillet {

// Texts of the main dialog's own messages (the same in every language).
inline constexpr char kNoTargetDevice[] = "Not found target device !";

// One row of the Windows 9x drive table: where the ASPI search found a drive and what it reported,
// its texts at their fixed widths with any trailing blanks.
struct AspiDriveEntry {
    DriveAddress address;
    DriveIdentity identity;
};

// One row of the Windows 9x source table: the two words of a FILENAME value.
struct FileEntry {
    std::string version;
    std::string fileName;
};

class FirmwareUpdateDialog : public Dialog {
public:
    // Both tables of the dialog, and every list it fills, hold at most this many rows.
    static constexpr int kTableRows = 256;

    // Searches the current directory for images and configuration files (their warnings show here)
    // and the drive letters for the maker's drives, before any window exists.
    FirmwareUpdateDialog(UserInterface& ui, const AppServices& services);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    MessageMap GetMessageMap() const override;

private:
    // Handlers of the message map.
    void OnSysCommand(unsigned commandId, MessageLParam lParam);
    void OnPaint();
    IconHandle OnQueryDragIcon();
    void OnDriveChanged();
    void OnSourceChanged();
    void OnUpdateClicked();

    void InitForAspi();
    void InitForPassThrough();
    // Rebuilds the source table and list for drive row d from IniCatalog and enables "Update" only
    // when it offers something. At start-up the list is empty already.
    void FillSourceListAspi(int d, bool emptyFirst);
    // Rebuilds the source list for drive d from every configuration file: the raw FILENAME values
    // of every device that lists a matching product, each put on top.
    void FillSourceListPassThrough(int d);
    void UpdateOverAspi();
    void UpdateOverPassThrough();
    // "Caution" at start-up; "Exit" closes the main dialog once start-up is done.
    void RunCautionDialog();
    bool IsWindows9x() { return services_.platform.PlatformId() == kPlatformWindows9x; }
    // The selected rows of the two lists, or -1 when a list has none inside its table.
    int SelectedAspiDrive() const;
    int SelectedAspiSource() const;

    const AppServices services_;
    // Every wait of the dialog's drives and downloads, serving the window while a handler runs.
    ServingClock clock_;

    StaticText versionStatic;
    Button updateButton;
    ComboBox driveCombo;
    ProgressBar progressBar;
    ComboBox sourceCombo;
    std::string driveText;
    std::string sourceText;
    std::string currentVersion;
    IconHandle icon = 0;
    std::string firmwareFolder;
    std::array<AspiDriveEntry, kTableRows> aspiDrives;
    int aspiDriveCount = 0;
    int32_t sourceCount = 0;
    std::array<FileEntry, kTableRows> sources;
    IniCatalog catalog;
    PassThroughDriveList passThroughDrives;
};

}  // namespace quillet
