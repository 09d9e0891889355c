// The compiled resources checked against the layouts and texts the program must carry. The tables
// here are typed from the description of the user interface, not from Quillet.rc, so that a slip
// in either one shows up as a difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "res/compiled_resources.h"
#include "ui/resource_data.h"

namespace quillet {
namespace {

constexpr LanguageId kJapanese = 0x0411;
constexpr LanguageId kEnglish = 0x0409;
constexpr LanguageId kGerman = 0x0407;
constexpr LanguageId kFrench = 0x040C;
constexpr LanguageId kItalian = 0x0410;
constexpr LanguageId kSpanish = 0x0C0A;

// Window, dialog and control styles as the platform numbers them.
constexpr std::uint32_t kWsPopup = 0x80000000;
constexpr std::uint32_t kWsChild = 0x40000000;
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsCaption = 0x00C00000;
constexpr std::uint32_t kWsBorder = 0x00800000;
constexpr std::uint32_t kWsVScroll = 0x00200000;
constexpr std::uint32_t kWsSysMenu = 0x00080000;
constexpr std::uint32_t kWsMinimizeBox = 0x00020000;
constexpr std::uint32_t kWsGroup = 0x00020000;
constexpr std::uint32_t kWsTabStop = 0x00010000;
constexpr std::uint32_t kDsModalFrame = 0x80;
constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint32_t kWsExAppWindow = 0x00040000;
constexpr std::uint32_t kBsPushButton = 0x0;
constexpr std::uint32_t kBsDefPushButton = 0x1;
constexpr std::uint32_t kSsLeft = 0x0;
constexpr std::uint32_t kSsCenter = 0x1;
constexpr std::uint32_t kSsIcon = 0x3;
constexpr std::uint32_t kSsNoPrefix = 0x80;
constexpr std::uint32_t kSsSunken = 0x1000;
constexpr std::uint32_t kCbsDropDownList = 0x3;

constexpr std::uint32_t kControl = kWsChild | kWsVisible;
constexpr std::uint32_t kPushButton = kControl | kWsTabStop | kBsPushButton;
constexpr std::uint32_t kDefaultButton = kControl | kWsTabStop | kBsDefPushButton;
constexpr std::uint32_t kLeftText = kControl | kWsGroup | kSsLeft;
constexpr std::uint32_t kIconStatic = kControl | kSsIcon;
constexpr std::uint32_t kNoticeStyle = kWsPopup | kDsModalFrame | kDsSetFont;
constexpr std::uint32_t kCaptionedStyle = kNoticeStyle | kWsCaption | kWsSysMenu;

const char kGothic[] = "ＭＳ Ｐゴシック";
const char kMincho[] = "ＭＳ Ｐ明朝";

std::string Ideographic(int count) {
    std::string spaces;
    for (int i = 0; i < count; ++i)
        spaces += "\u3000";
    return spaces;
}

// One control: a width or height of -1 is not compared (an icon sizes itself); `icon` names the
// icon an icon static shows instead of a text.
struct ControlRow {
    int id;
    const char* className;
    int x, y, width, height;
    std::uint32_t style;
    std::string text;
    int icon = 0;
};

// A dialog as the program must carry it; every dialog sits at 0, 0 in a 9-point face.
struct DialogLayout {
    DialogLayout(int width, int height, std::uint32_t style, std::string caption = "")
        : width(width), height(height), style(style), caption(std::move(caption)) {}

    int width;
    int height;
    std::uint32_t style;
    std::string caption;
    bool extended = false;
    std::uint32_t exStyle = 0;
    std::string face = kGothic;
    std::vector<ControlRow> controls;
};

const ResourceFile& Resources() {
    static const ResourceFile resources =
        ResourceFile::Parse(CompiledResourceData(), CompiledResourceSize()).value();
    return resources;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void ExpectLayout(int id, LanguageId language, const DialogLayout& want) {
    SCOPED_TRACE("dialog " + std::to_string(id) + ", language " + std::to_string(language));
    const ResourceEntry* entry =
        Resources().Find(kRtDialog, static_cast<std::uint16_t>(id), language);
    ASSERT_NE(entry, nullptr) << "no template";
    std::optional<DialogTemplate> got = ParseDialogTemplate(entry->data);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->extended, want.extended);
    EXPECT_EQ(got->x, 0);
    EXPECT_EQ(got->y, 0);
    EXPECT_EQ(got->width, want.width);
    EXPECT_EQ(got->height, want.height);
    EXPECT_EQ(got->style, want.style);
    EXPECT_EQ(got->exStyle, want.exStyle);
    EXPECT_EQ(got->title, want.caption);
    EXPECT_TRUE(got->hasFont);
    EXPECT_EQ(got->pointSize, 9);
    EXPECT_EQ(got->typeface, want.face);
    ASSERT_EQ(got->items.size(), want.controls.size());
    for (std::size_t i = 0; i < want.controls.size(); ++i) {
        const ControlRow& row = want.controls[i];
        const DialogItemTemplate& item = got->items[i];
        SCOPED_TRACE("control " + std::to_string(row.id) + " (position " + std::to_string(i) + ")");
        EXPECT_EQ(item.id, row.id);
        EXPECT_EQ(Lower(item.ClassName()), Lower(row.className));
        EXPECT_EQ(item.x, row.x);
        EXPECT_EQ(item.y, row.y);
        if (row.width >= 0) {
            EXPECT_EQ(item.width, row.width);
        }
        if (row.height >= 0) {
            EXPECT_EQ(item.height, row.height);
        }
        EXPECT_EQ(item.style, row.style) << std::hex << item.style << " != " << row.style;
        EXPECT_EQ(item.exStyle, 0u);
        if (row.icon != 0) {
            EXPECT_TRUE(item.title.Is(static_cast<std::uint16_t>(row.icon)));
        } else {
            EXPECT_EQ(item.title.text, row.text);
        }
    }
}

TEST(CompiledResources, MainDialogInEachLanguage) {
    struct Labels {
        LanguageId language;
        std::string drive, current, source;
    };
    const Labels labels[] = {
        {kEnglish, "Target Drive[ENGLISH]", "Current Firmware Version", "Source Firmware Version"},
        {kGerman, "Ziel-Laufwerk", "Aktuelle Firmware Version", "Neue-Firmware Version"},
        {kFrench, "Graveur cible", "Firmware actuel", "Nouveau firmware"},
        {kItalian, "Drive di destinazione", "Versione Firmware attuale",
         "Versione Firmware aggiornamento"},
        {kSpanish, "Unidad Destino", "Versión Actual del Firmware", "Versión Origen del Firmware"},
        {kJapanese, "アップデートするドライブ", "現在のファームウェアのバージョン",
         "新しいファームウェアのバージョン"},
    };
    const std::uint32_t sunkenLabel = kLeftText | kSsSunken;
    const std::uint32_t list = kControl | kWsTabStop | kWsVScroll | kCbsDropDownList;
    const std::uint32_t style = kWsPopup | kWsVisible | kWsCaption | kWsSysMenu | kWsMinimizeBox |
                                kDsModalFrame | kDsSetFont;
    for (const Labels& row : labels) {
        DialogLayout layout(267, 151, style,
                            "KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model");
        layout.extended = true;
        layout.exStyle = kWsExAppWindow;
        layout.face = row.language == kGerman ? kMincho : kGothic;
        layout.controls = {
            {2, "Button", 210, 130, 50, 14, kPushButton, "Close"},
            {1000, "Static", 7, 7, 83, 12, sunkenLabel, row.drive},
            {1001, "msctls_progress32", 7, 97, 253, 14, kControl | kWsBorder, ""},
            {1002, "Static", 7, 37, 129, 12, sunkenLabel, row.current},
            {1003, "Static", 7, 67, 129, 12, sunkenLabel, row.source},
            {1004, "Static", 147, 36, 38, 12, kControl | kWsGroup | kSsSunken | kSsCenter, "1.0q"},
            {1006, "ComboBox", 105, 7, 155, 53, list, ""},
            {1007, "ComboBox", 147, 67, 113, 50, list, ""},
            {1008, "Button", 138, 130, 50, 14, kPushButton, "Update"},
        };
        ExpectLayout(102, row.language, layout);
    }
}

TEST(CompiledResources, StartConfirmationInEachLanguage) {
    struct Row {
        LanguageId language;
        int width, height, okX, okY, cancelX, cancelY, textWidth;
        std::string text;
    };
    const Row rows[] = {
        {kEnglish, 223, 67, 52, 46, 121, 46, 157,
         "Press [OK] to start installation.\n\nDo not turn off computer while the LEDs blinking."},
        {kGerman, 227, 67, 54, 46, 123, 46, 161,
         "Drücken Sie [OK], um die Installation zu beginnen\n\nSchalten Sie den Computer nicht "
         "aus, solange die LEDs blinken."},
        {kFrench, 223, 71, 52, 50, 121, 50, 157,
         "Sélectionner [OK] pour commencer l’installation.\n\nN’eteignez pas l’ordinateur tant "
         "que la procédure de mise jour n’est pas terminée."},
        {kItalian, 243, 67, 62, 46, 131, 46, 177,
         "Premere [OK] per cominciare l’installazione.\n\nNon spegnere il computer sino al "
         "termine dell’installazione."},
        {kSpanish, 231, 67, 55, 46, 124, 46, 165,
         "Presione [OK] para comenzar la instalación.\n\nNo apague el ordenador hasta completar "
         "la instalación."},
        {kJapanese, 223, 67, 52, 46, 121, 46, 157,
         "[OK]ボタンをクリックするとアップデートを実行します。\n\nアップデートが終了するまで、"
         "PC及びドライブの電源は切らないで下さい。"},
    };
    for (const Row& row : rows) {
        DialogLayout layout(row.width, row.height, kNoticeStyle);
        layout.controls = {
            {1, "Button", row.okX, row.okY, 50, 14, kDefaultButton, "OK"},
            {2, "Button", row.cancelX, row.cancelY, 50, 14, kPushButton, "Cancel"},
            {1009, "Static", 59, 7, row.textWidth, 36, kLeftText, row.text},
            {1010, "Static", 23, 14, -1, -1, kIconStatic, "", 130},
        };
        ExpectLayout(129, row.language, layout);
    }
}

TEST(CompiledResources, CompletionNoticeInEachLanguage) {
    struct Row {
        LanguageId language;
        int width, height, okX, okY, okWidth, okHeight;
    };
    const Row rows[] = {
        {kEnglish, 157, 57, 53, 37, 50, 13}, {kFrench, 157, 57, 53, 36, 50, 14},
        {kItalian, 157, 57, 53, 36, 50, 14}, {kSpanish, 157, 57, 53, 36, 50, 14},
        {kGerman, 187, 57, 68, 36, 50, 14},  {kJapanese, 187, 70, 68, 49, 50, 14},
    };
    for (const Row& row : rows) {
        DialogLayout layout(row.width, row.height, kNoticeStyle);
        layout.controls = {
            {1, "Button", row.okX, row.okY, row.okWidth, row.okHeight, kDefaultButton, "OK"}};
        ExpectLayout(131, row.language, layout);
    }
}

TEST(CompiledResources, OldVersionQuestionInEachLanguage) {
    struct Row {
        LanguageId language;
        int textY, textHeight;
        std::string text;
    };
    const Row rows[] = {
        {kEnglish, 13, 23, "The version is old.\n\nDo you still want to continue?"},
        {kGerman, 13, 23, "Die Firmware - Version ist veraltet.\n\nMöchten Sie fortfahren ?"},
        {kFrench, 10, 31,
         "La version du firmware est antérieur à la version actuelle.\n\nVoulez vous continuer?"},
        {kItalian, 13, 23, "La versione è vecchia.\n\nSi vuole ancora continuare?"},
        {kSpanish, 13, 23, "La versión es antigua.\n\n¿Desea continuar ?"},
        {kJapanese, 13, 23, "古いバージョンのファームウェアです。\n\n続けますか？"},
    };
    for (const Row& row : rows) {
        DialogLayout layout(187, 68, kNoticeStyle);
        layout.controls = {
            {1, "Button", 39, 47, 50, 14, kDefaultButton, "Continue"},
            {2, "Button", 107, 47, 50, 14, kPushButton, "Cancel"},
            {1011, "Static", 45, row.textY, 135, row.textHeight, kLeftText, row.text},
        };
        ExpectLayout(132, row.language, layout);
    }
}

TEST(CompiledResources, CautionInEachLanguage) {
    struct Row {
        LanguageId language;
        int width, height, exitX, exitY, continueX, continueY;
    };
    const Row rows[] = {
        {kEnglish, 283, 117, 175, 96, 61, 96},  {kGerman, 311, 143, 191, 122, 63, 122},
        {kFrench, 299, 133, 186, 112, 66, 112}, {kItalian, 299, 129, 203, 108, 51, 108},
        {kSpanish, 311, 119, 195, 98, 67, 98},  {kJapanese, 291, 165, 181, 144, 50, 144},
    };
    for (const Row& row : rows) {
        DialogLayout layout(row.width, row.height, kCaptionedStyle, "QUILLET");
        layout.controls = {
            {1, "Button", row.exitX, row.exitY, 50, 14, kDefaultButton, "Exit"},
            {2, "Button", row.continueX, row.continueY, 50, 14, kPushButton, "continue"},
            {-1, "Static", 8, 7, -1, -1, kIconStatic, "", 134},
        };
        ExpectLayout(133, row.language, layout);
    }
}

TEST(CompiledResources, AboutBox) {
    std::vector<LanguageId> languages = Resources().Languages(kRtDialog, 100);
    ASSERT_EQ(languages.size(), 1u);
    const ResourceEntry* entry = Resources().Find(kRtDialog, 100, languages[0]);
    ASSERT_NE(entry, nullptr);
    std::optional<DialogTemplate> about = ParseDialogTemplate(entry->data);
    ASSERT_TRUE(about.has_value());
    ASSERT_EQ(about->items.size(), 4u);
    // The second line's text is the program's own choice; only that there is one is checked.
    std::string secondLine = about->items[2].title.text;
    EXPECT_FALSE(secondLine.empty());
    DialogLayout layout(217, 55, kCaptionedStyle, "Quillet");
    layout.controls = {
        {-1, "Static", 11, 17, -1, -1, kIconStatic, "", 128},
        {-1, "Static", 40, 10, 119, 8, kLeftText | kSsNoPrefix, "Quillet Version 3.0"},
        {-1, "Static", 40, 25, 119, 8, kLeftText, secondLine},
        {1, "Button", 178, 7, 32, 14, kDefaultButton | kWsGroup, "OK"},
    };
    ExpectLayout(100, languages[0], layout);
}

TEST(CompiledResources, VersionRecord) {
    std::vector<LanguageId> languages = Resources().Languages(kRtVersion, 1);
    ASSERT_EQ(languages.size(), 1u);
    std::optional<VersionRecord> record =
        ParseVersionRecord(Resources().Find(kRtVersion, 1, languages[0])->data);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->fileVersionHigh, 0x00030000u);
    EXPECT_EQ(record->fileVersionLow, 0x00000006u);
    EXPECT_EQ(record->productVersionHigh, 0x00030000u);
    EXPECT_EQ(record->productVersionLow, 0x00000006u);
    ASSERT_EQ(record->stringTables.size(), 1u);
    EXPECT_EQ(record->stringTables[0].key, "041104B0");
    std::map<std::string, std::string> values(record->stringTables[0].values.begin(),
                                              record->stringTables[0].values.end());
    const std::map<std::string, std::string> expected = {
        {"FileVersion", "3, 0, 0, 6"},
        {"ProductVersion", "3, 0, 0, 6"},
        {"InternalName", "Quillet"},
        {"OriginalFilename", "Quillet.EXE"},
        {"ProductName", "Quillet Application"},
        {"FileDescription", "Quillet MFC Application"},
        {"SpecialBuild", "2002/06/18"},
    };
    EXPECT_EQ(values, expected);
    ASSERT_EQ(record->translations.size(), 1u);
    EXPECT_EQ(record->translations[0].first, 0x0411);
    EXPECT_EQ(record->translations[0].second, 1200);
}

TEST(CompiledResources, IconsAreOne32By32PictureIn16Colours) {
    for (std::uint16_t id : {128, 130, 134}) {
        SCOPED_TRACE("icon " + std::to_string(id));
        std::vector<LanguageId> languages = Resources().Languages(kRtGroupIcon, id);
        ASSERT_EQ(languages.size(), 1u);
        std::optional<std::vector<IconGroupEntry>> group =
            ParseIconGroup(Resources().Find(kRtGroupIcon, id, languages[0])->data);
        ASSERT_TRUE(group.has_value());
        ASSERT_EQ(group->size(), 1u);
        const IconGroupEntry& entry = group->front();
        EXPECT_EQ(entry.width, 32);
        EXPECT_EQ(entry.height, 32);
        EXPECT_EQ(entry.colourCount, 16);
        EXPECT_EQ(entry.bitCount, 4);
        // The picture itself: a bitmap header of 32 x (32 colour + 32 mask) rows at 4 bits.
        const ResourceEntry* image = Resources().Find(kRtIcon, entry.iconId, languages[0]);
        ASSERT_NE(image, nullptr);
        ASSERT_GE(image->data.size(), 16u);
        auto u32 = [&](std::size_t at) {
            return static_cast<std::uint32_t>(image->data[at] | image->data[at + 1] << 8 |
                                              image->data[at + 2] << 16 |
                                              image->data[at + 3] << 24);
        };
        EXPECT_EQ(u32(0), 40u);
        EXPECT_EQ(u32(4), 32u);
        EXPECT_EQ(u32(8), 64u);
        EXPECT_EQ(image->data[14], 4);
        EXPECT_EQ(image->data.size(), entry.bytes);
    }
}

TEST(CompiledResources, ManifestAsksForAdministratorRights) {
    std::vector<LanguageId> languages = Resources().Languages(kRtManifest, 1);
    ASSERT_EQ(languages.size(), 1u);
    const std::vector<std::uint8_t>& data = Resources().Find(kRtManifest, 1, languages[0])->data;
    std::string manifest(data.begin(), data.end());
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
}

struct StringTable {
    const char* name;
    LanguageId language;
    std::map<int, std::string> strings;
};

// The texts of each language, strings 101 to 120; 116, which no dialog shows, only in English.
const StringTable kTables[] = {
    {"Japanese",
     kJapanese,
     {
         {101, "ﾊﾞｰｼﾞｮﾝ情報(Quillet) (&A)..."},
         {102,
          "ディスクが入っています。\n[OK]"
          "ボタンをクリックし、ドライブからディスクを取り出してください。"},
         {103, Ideographic(14) + "コルヴィンドライブの設定について"},
         {104, " "},
         {105, "安全にファームウェアをアップデートするために"},
         {106, "Readmeをご参照のうえコルヴィンドライブの設定をご確認ください"},
         {107, " "},
         {108, "IDE(ATAPI)モデル" + Ideographic(4) + " " + Ideographic(1) + "→" + Ideographic(1) +
                   "[挿入の自動通知]と[DMA]が無効であること"},
         {109, " "},
         {110, "SCSI, IEEE1394, USBモデル" + Ideographic(3) + "→" + Ideographic(1) +
                   "[挿入の自動通知]が無効であること"},
         {111, " "},
         {112, Ideographic(4) + "＊" + Ideographic(1) +
                   "WindowsNT4.0/2000/XPでは[挿入の自動通知]の確認は不要です"},
         {113, Ideographic(4) + "＊" + Ideographic(1) + "WindowsNT4.0では[DMA]の確認は不要です"},
         {114, " "},
         {115, "[continue]ボタンを押すと次に進みます" + Ideographic(1) +
                   "[Exit]ボタンを押すと終了します"},
         {117, "ファームウェアのアップデートが完了しました。"},
         {118, "無効にした[挿入の自動通知]と[DMA]の設定を元に戻し、"},
         {119, "PC及びドライブを再起動してください。"},
         {120, "0000000001100"},
     }},
    {"English",
     kEnglish,
     {
         {101, "Version(Quillet) (&A)..."},
         {102, "Eject the disc from the drive."},
         {103, "Caution:"},
         {104, "In order to upgrade the firmware securely,"},
         {105, "disable “Auto insert notification” (Win95, 98, 98SE and Me)"},
         {106, "and “DMA”: IDE(ATAPI) (Win95, 98, 98SE, Me, 2000 and XP)"},
         {107, "in properties of the target Korvin drive and reboot the system before action."},
         {108, "After reboot the system,"},
         {109, "choose [continue] to start installation."},
         {110, "In case you do not disable them choose [Exit] to exit the installer."},
         {111, "After the process has completed,"},
         {112, "go to properties of the drive and enable those options as before."},
         {113, " "},
         {114, " "},
         {115, " "},
         {116, "The system will start automatically by clicking [OK]."},
         {117, "The firmware has installed successfully."},
         {118, "Power down the PC & the drive and then"},
         {119, "reboot them to complete the upgrade process."},
         {120, "0111100000000"},
     }},
    {"German",
     kGerman,
     {
         {101, "Version(Quillet) (&A)..."},
         {102, "Entfernen Sie die Disc aus dem Laufwerk."},
         {103, "Achtung:"},
         {104, "Um eine sichere Aktualisierung der Firmware zu gewährleisten,"},
         {105,
          "deaktivieren Sie bitte \"Automatische Benachrichtigung beim Wechsel\" (Win 95, 98, 98SE "
          "und Me)"},
         {106, "und “DMA” : IDE(ATAPI) (Win 95, 98, 98SE, Me, 2000 und XP)"},
         {107,
          "in den Einstellungen des Korvin Ziel-Laufwerks und starten Ihr System erneut bevor Sie "
          "fortfahren."},
         {108, "Nach dem Neustart des Systems wählen Sie bitte [weiter],"},
         {109, "um die Installation zu beginnen."},
         {110, "Sollten Sie \" Automatische Benachrichtigung beim Wechsel \""},
         {111, "und “DMA” nicht deaktiviert haben, wählen Sie bitte [Abbrechen],"},
         {112, "um die Installation zu beenden."},
         {113, "Nach Beendigung des Vorgangs aktivieren Sie bitte das Wahl wieder"},
         {114, "in den Einstellungen des Laufwerks."},
         {115, " "},
         {117, "Die Firmware wurde erfolgreich installiert."},
         {118, "Schalten Sie den Computer und das Laufwerk aus und starten"},
         {119, "Sie das System erneut, um die Aktualisierung zu beenden."},
         {120, "0111100000000"},
     }},
    {"French",
     kFrench,
     {
         {101, "Version(Quillet) (&A)..."},
         {102, "Ejecter le CD du graveur."},
         {103, "Attention:"},
         {104, "Avant de procéder à la mise à jour du firmware en toute sécurité,"},
         {105,
          "désactiver “la notification d’insertion automatique” (Win 95, 98, 98SE et Me) et “DMA” "
          ": IDE(ATAPI)"},
         {106, "(Win95, 98, 98SE, Me, 2000 et XP) dans les propriétés du graveur Korvin"},
         {107, "(voir gestionnaire de péripheriques dans système) et redémarrer ensuite votre PC."},
         {108, "Après avoir redémarrer,"},
         {109, "choisissez l’option [continue] pour commencer la mise à jour."},
         {110,
          "Dans le cas ou vous n’avez pas désactivé “la notification d’insertion automatique” et "
          "“DMA”,"},
         {111, "choisissez [Exit]."},
         {112, "Une fois la procédure de mise à jour terminé,"},
         {113, "activez de nouveau ces options dans les propriétés du graveur Korvin."},
         {114, " "},
         {115, " "},
         {117, "La mise à jour du firmware est terminée,"},
         {118, "relancez votre ordinateur afin de valider"},
         {119, "les nouveaux para mètres de votre graveur."},
         {120, "0111100000000"},
     }},
    {"Italian",
     kItalian,
     {
         {101, "Version(Quillet) (&A)..."},
         {102, "Espellere il disco dal drive."},
         {103, "Attenzione:"},
         {104, "Per aggiornare il Firmware in modo sicuro,"},
         {105, "disabilitare la “Notifica inserimento automatico” (Win 95, 98, 98SE e Me)"},
         {106, "e “DMA” : IDE(ATAPI) (Win 95, 98, 98SE, Me, 2000 e XP)"},
         {107, "nelle proprietà del drive Korvin e riaccendere il sistema."},
         {108, "Dopo la riaccensione del sistema,"},
         {109, "scegliere [continua] per cominciare l’installazione."},
         {110, "Nel caso non venga disabilitata la “Notifica inserimento automatico” e “DMA”,"},
         {111, "scegliere [esci] per uscire dall’installazione."},
         {112, "Una volta terminato il processo,"},
         {113, "andare nelle proprietà del drive ed abilitare quelli scelta come in origine."},
         {114, " "},
         {115, " "},
         {117, "Il Firmware è stato installato con successo."},
         {118, "Spegnere il PC ed il drive e riaccenderli per"},
         {119, "completare il processo di aggiornamento."},
         {120, "01111000000000"},
     }},
    {"Spanish",
     kSpanish,
     {
         {101, "Version(Quillet) (&A)..."},
         {102, "Retire el disco de la unidad."},
         {103, "Precaución:"},
         {104, "Con el fin de realizar el cambio del firmware de manera segura,"},
         {105, "desconecte “Notificación de inserción automática” (Win95, 98, 98SE y Me)"},
         {106, "y “DMA” : IDE(ATAPI) (Win95, 98, 98SE, Me, 2000 y XP)"},
         {107, "en las Propiedades de la unidad Korvin y reinicie el sistema antes de actuar."},
         {108, "Después de reiniciar el sistema,"},
         {109, "elija [continue] para comenzar la instalación."},
         {110, "En caso de no haber desconectado la “Notificación” y “DMA”,"},
         {111, "elija [Exit] para salir del instalador."},
         {112, "Despues de completar el proceso,"},
         {113, "vaya a Propiedades de la unidad y conecte de nuevo la “Notificación” y “DMA”."},
         {114, " "},
         {115, " "},
         {117, "El firmware se ha instalado con éxito."},
         {118, "Apague el PC y la unidad y reinicie ambos para"},
         {119, "completar el proceso de cambio de firmware."},
         {120, "0111100000000"},
     }},
};

TEST(CompiledResources, StringTablesHoldExactlyTheTextsOfEachLanguage) {
    for (const StringTable& table : kTables) {
        SCOPED_TRACE(table.name);
        // Strings 96 to 127 make up the two blocks the program uses.
        for (std::uint16_t block : {7, 8}) {
            const ResourceEntry* entry = Resources().Find(kRtString, block, table.language);
            ASSERT_NE(entry, nullptr) << "no string block " << block;
            std::optional<std::array<std::string, 16>> strings = ParseStringBlock(entry->data);
            ASSERT_TRUE(strings.has_value());
            for (int k = 0; k < 16; ++k) {
                int id = (block - 1) * 16 + k;
                auto expected = table.strings.find(id);
                SCOPED_TRACE("string " + std::to_string(id));
                EXPECT_EQ((*strings)[k], expected == table.strings.end() ? "" : expected->second);
            }
        }
    }
    EXPECT_EQ(Resources().Languages(kRtString, 7).size(), 6u);
    EXPECT_EQ(Resources().Languages(kRtString, 8).size(), 6u);
}

}  // namespace
}  // namespace quillet
