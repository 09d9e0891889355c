#include "app/firmware_update_dialog.h"

#include <algorithm>
#include <cstdint>

#include "app/ui_adapters.h"
#include "catalogue/config_values.h"
#include "catalogue/firmware_version.h"
#include "device/aspi_transport.h"
#include "dialogs/about_dialog.h"
#include "dialogs/caution_dialog.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/old_version_dialog.h"
#include "dialogs/start_confirm_dialog.h"
#include "res/resource.h"
#include "ui/paint.h"
#include "ui/wait_cursor.h"
#include "update/download.h"

namespace quillet {

namespace {

constexpr unsigned kWmIconEraseBackground = 0x0027;
constexpr unsigned kSystemCommandMask = 0xFFF0;

// "HA#1 ID#3:" then vendor, a blank and product, both at their full widths.
std::string AspiDriveText(const AspiDriveEntry& drive) {
    return "HA#" + std::to_string(drive.address.hostAdapter) + " ID#" +
           std::to_string(drive.address.target) + ":" + drive.identity.vendor + " " +
           drive.identity.product;
}

}  // namespace

FirmwareUpdateDialog::FirmwareUpdateDialog(UserInterface& ui, const AppServices& services)
    : Dialog(ui, IDD_MAIN),
      services_(services),
      clock_(services.clock, ui),
      catalog(services.directory, services.files, services.profile, ui.MessageBoxes()),
      passThroughDrives(services.directory, services.files, services.profile, ui.MessageBoxes(),
                        services.volumes, clock_) {
    // Loaded after the searches, as the last step of construction.
    icon = ui.LoadIconResource(IDR_MAINFRAME);
}

void FirmwareUpdateDialog::DoDataExchange(DataExchange& exchange) {
    exchange.BindControl(IDC_CURRENT_VERSION, versionStatic);
    exchange.BindControl(IDC_UPDATE, updateButton);
    exchange.BindControl(IDC_DRIVE_COMBO, driveCombo);
    exchange.BindControl(IDC_PROGRESS, progressBar);
    exchange.BindControl(IDC_SOURCE_COMBO, sourceCombo);
    exchange.ExchangeComboText(IDC_DRIVE_COMBO, driveText);
    exchange.ExchangeComboText(IDC_SOURCE_COMBO, sourceText);
    exchange.ExchangeText(IDC_CURRENT_VERSION, currentVersion);
}

MessageMap FirmwareUpdateDialog::GetMessageMap() const {
    static const MessageMapEntry entries[] = {
        OnSysCommandEntry(&FirmwareUpdateDialog::OnSysCommand),
        OnPaintEntry(&FirmwareUpdateDialog::OnPaint),
        OnQueryDragIconEntry(&FirmwareUpdateDialog::OnQueryDragIcon),
        OnCommandEntry(IDC_DRIVE_COMBO, kCbnSelChange, &FirmwareUpdateDialog::OnDriveChanged),
        OnCommandEntry(IDC_SOURCE_COMBO, kCbnSelChange, &FirmwareUpdateDialog::OnSourceChanged),
        OnCommandEntry(IDC_UPDATE, kBnClicked, &FirmwareUpdateDialog::OnUpdateClicked),
    };
    return entries;
}

bool FirmwareUpdateDialog::OnInitDialog() {
    Dialog::OnInitDialog();

    const std::string aboutText = Ui().LoadStringResource(IDS_ABOUTBOX);
    if (!aboutText.empty()) {
        Ui().AppendSystemMenuSeparator(Handle());
        Ui().AppendSystemMenuItem(Handle(), IDM_ABOUTBOX, aboutText);
    }
    SetIcon(icon, true);
    SetIcon(icon, false);

    if (IsWindows9x())
        InitForAspi();
    else
        InitForPassThrough();
    return true;
}

void FirmwareUpdateDialog::RunCautionDialog() {
    // Shown while the main window is not yet on the screen: it has no owner.
    CautionDialog caution(Ui());
    // "Exit" only marks the main dialog to close: the close comes once start-up is done.
    if (caution.DoModal() == kIdOk)
        Send(kWmClose);
}

void FirmwareUpdateDialog::InitForAspi() {
    if (!catalog.Load())
        return;

    // The library is loaded only for the search; a failed load has shown its message and finds no
    // drive.
    AspiTransport transport(services_.aspi, services_.events, clock_, Ui().MessageBoxes(),
                            services_.keep);
    transport.LoadAspi();
    transport.ScanAdapters();
    const int n = std::min(transport.DriveCount(), kTableRows);

    TextTable products;
    const int productCount = catalog.ProductsForFile(catalog.firmwareName(), products);

    int defaultIndex = -1;
    for (int i = 0; i < n; ++i) {
        AspiDriveEntry& drive = aspiDrives[i];
        drive.address = transport.Address(i);
        drive.identity = transport.Identity(i);
        driveCombo.InsertString(-1, AspiDriveText(drive));
        // The first drive that the firmware image's device names is the default.
        for (int k = 0; defaultIndex == -1 && k < productCount; ++k) {
            if (ProductMatches(products[k], drive.identity.product))
                defaultIndex = i;
        }
    }
    aspiDriveCount = n;

    if (n == 0) {
        updateButton.EnableWindow(false);
        ShowMessage(kNoTargetDevice, std::string(), MessageIcon::Exclamation);
        return;
    }

    if (IsWindows9x())
        RunCautionDialog();

    driveCombo.SetCurSel(defaultIndex == -1 ? 0 : defaultIndex);
    const int d = SelectedAspiDrive();
    if (d < 0)
        return;
    FillSourceListAspi(d, false);
    versionStatic.SetText(transport.Revision(d));
}

void FirmwareUpdateDialog::InitForPassThrough() {
    RunCautionDialog();

    const int n = passThroughDrives.DriveCount();
    if (n == 0)
        return;
    for (int i = 0; i < n; ++i) {
        driveCombo.AddString(std::string(1, passThroughDrives.DriveLetter(i)) + ":  " +
                             passThroughDrives.Vendor(i) + passThroughDrives.Product(i));
    }
    driveCombo.SetCurSel(0);
    currentVersion = passThroughDrives.Revision(0);
    FillSourceListPassThrough(0);
    UpdateData(false);
}

void FirmwareUpdateDialog::OnSysCommand(unsigned commandId, MessageLParam) {
    if ((commandId & kSystemCommandMask) == IDM_ABOUTBOX) {
        AboutDialog about(Ui(), Handle());
        about.DoModal();
        return;
    }
    Default();
}

void FirmwareUpdateDialog::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    PaintContext context(*this);
    Send(kWmIconEraseBackground, context.DeviceContext());
    const PixelSize client = ClientSize();
    const PixelSize iconSize = Ui().SystemIconSize();
    context.DrawIcon((client.width - iconSize.width + 1) / 2,
                     (client.height - iconSize.height + 1) / 2, icon);
}

IconHandle FirmwareUpdateDialog::OnQueryDragIcon() {
    return icon;
}

void FirmwareUpdateDialog::OnDriveChanged() {
    if (IsWindows9x()) {
        const int d = SelectedAspiDrive();
        if (d < 0)
            return;
        FillSourceListAspi(d, true);
        versionStatic.SetText(aspiDrives[d].identity.revision);
        return;
    }
    const int d = driveCombo.GetCurSel();
    if (d < 0 || d >= passThroughDrives.DriveCount())
        return;
    currentVersion = passThroughDrives.Revision(d);
    FillSourceListPassThrough(d);
    UpdateData(false);
}

void FirmwareUpdateDialog::OnSourceChanged() {
    // The chosen entry is read when "Update" is pressed.
}

void FirmwareUpdateDialog::FillSourceListAspi(int d, bool emptyFirst) {
    TextTable versions;
    TextTable names;
    const int n = catalog.FilesForProduct(aspiDrives[d].identity.product, versions, names);
    sourceCount = n;
    firmwareFolder = catalog.firmwareFolder();
    if (emptyFirst)
        sourceCombo.ResetContent();
    if (n < 1 || n > kTableRows) {
        updateButton.EnableWindow(false);
        return;
    }
    for (int j = 0; j < n; ++j) {
        sources[j] = FileEntry{versions[j], names[j]};
        sourceCombo.InsertString(-1, versions[j] + " " + names[j]);
    }
    sourceCombo.SetCurSel(0);
    updateButton.EnableWindow(true);
}

void FirmwareUpdateDialog::FillSourceListPassThrough(int d) {
    sourceCombo.ResetContent();
    if (passThroughDrives.DriveCount() == 0)
        return;
    for (const std::string& entry :
         passThroughDrives.SourceEntries(passThroughDrives.Product(d), kTableRows))
        sourceCombo.InsertString(-1, entry);
    sourceCombo.SetCurSel(0);
}

int FirmwareUpdateDialog::SelectedAspiDrive() const {
    const int d = driveCombo.GetCurSel();
    return d >= 0 && d < aspiDriveCount ? d : -1;
}

int FirmwareUpdateDialog::SelectedAspiSource() const {
    const int s = sourceCombo.GetCurSel();
    return s >= 0 && s < sourceCount && s < kTableRows ? s : -1;
}

void FirmwareUpdateDialog::OnUpdateClicked() {
    if (IsWindows9x())
        UpdateOverAspi();
    else
        UpdateOverPassThrough();
}

void FirmwareUpdateDialog::UpdateOverPassThrough() {
    const int s = sourceCombo.GetCurSel();
    const int d = driveCombo.GetCurSel();
    // Without a drive or an entry there is nothing to update.
    if (s < 0 || d < 0 || d >= passThroughDrives.DriveCount())
        return;
    const SourceEntry entry = SplitSourceEntry(sourceCombo.GetLBText(s));
    const std::string& fileName = entry.fileName;

    if (CompareFirmwareVersions(currentVersion, entry.version, kEntryVersionLength) > 0) {
        OldVersionDialog question(Ui(), Handle());
        if (question.DoModal() == kIdCancel)
            return;
    }
    StartConfirmDialog confirmation(Ui(), Handle());
    if (confirmation.DoModal() != kIdOk)
        return;
    uint32_t productCode = 0;
    if (!passThroughDrives.ProductIdForProduct(passThroughDrives.Product(d), productCode))
        return;

    WaitCursor waitCursor(Ui());
    ProgressBarControl progress(progressBar);
    ResourceStrings strings(Ui());
    FirmwareDownload download(clock_, Ui().MessageBoxes(), services_.firmwareFiles, strings);
    const int result =
        download.DownloadFirmware(passThroughDrives, d, fileName, Handle(), productCode, progress);
    Ui().MessageBeep(kBeepDefault);
    waitCursor.Restore();
    if (result == 1) {
        CompletionDialog completion(Ui(), Handle());
        completion.DoModal();
    } else {
        ShowMessage(kOperationStopped, kOperationStoppedCaption, MessageIcon::Stop);
    }
    progressBar.SetPos(0);
}

void FirmwareUpdateDialog::UpdateOverAspi() {
    const int d = SelectedAspiDrive();
    const int s = SelectedAspiSource();
    // Without a drive or an entry there is nothing to update.
    if (d < 0 || s < 0)
        return;
    const AspiDriveEntry& drive = aspiDrives[d];
    const FileEntry& source = sources[s];

    if (CompareFirmwareVersions(drive.identity.revision, source.version, source.version.size()) >
        0) {
        OldVersionDialog question(Ui(), Handle());
        if (question.DoModal() == kIdCancel)
            return;
    }
    const std::string imagePath = IniCatalog::MakeFirmwarePath(firmwareFolder, source.fileName);
    StartConfirmDialog confirmation(Ui(), Handle());
    if (confirmation.DoModal() != kIdOk)
        return;

    // The drive is not searched again: its stored address is used. Without the library's entry
    // points no download can be sent; the load has shown why.
    AspiTransport transport(services_.aspi, services_.events, clock_, Ui().MessageBoxes(),
                            services_.keep);
    if (!transport.LoadAspi())
        return;
    const int32_t productCode = catalog.ProductIdForProduct(drive.identity.product);
    if (productCode == -1)
        return;

    WaitCursor waitCursor(Ui());
    ProgressBarControl progress(progressBar);
    ResourceStrings strings(Ui());
    FirmwareDownload download(clock_, Ui().MessageBoxes(), services_.firmwareFiles, strings);
    const int result = download.DownloadFirmware(
        transport, drive.address.hostAdapter, drive.address.target, drive.address.lun,
        drive.identity.product, static_cast<uint32_t>(productCode), imagePath, progress, Handle());
    Ui().MessageBeep(kBeepDefault);
    waitCursor.Restore();
    if (result == 1) {
        CompletionDialog completion(Ui(), Handle());
        completion.DoModal();
    }
    progressBar.SetPos(0);
}

}  // namespace quillet
