// The caution and completion notices over the headless user interface, in the program's own
// resources: what they paint, where, in which colour and font. (Their buttons are the templates';
// the resource tables and the dialog framework's tests hold those.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialogs/caution_dialog.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/notice_paint.h"
#include "platform/recorded_message_box.h"
#include "res/resource.h"
#include "ui/headless/headless_user_interface.h"

namespace quillet {
namespace {

using ::testing::IsEmpty;

constexpr LanguageId kJapanese = 0x0411;
constexpr LanguageId kEnglish = 0x0409;
constexpr int kShiftJis = 128;
constexpr int kUsersOwn = 1;  // the system default: the character set of the user's code page
constexpr Colour kRed = 0x0000FF;
constexpr Colour kBlack = 0x000000;
constexpr int kTransparentMode = 1;

struct Language {
    const char* name;
    LanguageId id;
};

// The font both painting dialogs ask for: only height, weight, character set and face set.
LogFont PaintFont(int height, int charSet = kUsersOwn) {
    LogFont font;
    font.height = height;
    font.weight = 400;
    font.charSet = charSet;
    font.faceName = "ＭＳ Ｐゴシック";
    return font;
}

// Runs a dialog of `language` that the user ends with "continue" after `extraPaints` repaints,
// and returns its record.
class PaintedDialog : public ::testing::Test {
protected:
    const DialogRecord& Run(Dialog& dialog, int endingButton, int extraPaints = 0) {
        for (int i = 0; i < extraPaints; ++i)
            ui->QueueRepaint(dialog.TemplateId());
        ui->QueueClick(dialog.TemplateId(), endingButton);
        dialog.DoModal();
        EXPECT_THAT(ui->Errors(), IsEmpty());
        EXPECT_EQ(ui->LiveFonts(), 0) << "every font is released";
        EXPECT_EQ(ui->OpenPaints(), 0) << "every paint has ended";
        return ui->Dialogs().back();
    }
    void Use(LanguageId language) { ui = std::make_unique<HeadlessUserInterface>(language, boxes); }

    RecordedMessageBox boxes;
    std::unique_ptr<HeadlessUserInterface> ui;
};

// Line i is string 103 + i, 15 pixels below the one before whatever the screen, red where
// character i of the language's mask is "1"; a mask too short for a line leaves it black. The
// font is 9 points high on the screen, made anew for every paint. (Each language's texts and mask
// are the resource tables'; two languages show the mask is the user's own.)
TEST_F(PaintedDialog, CautionPaintsThirteenLinesColouredByTheMask) {
    const std::set<int> warnings = {104, 105, 106, 107};
    struct Row {
        Language language;
        const char* mask;  // replaces the language's own, unless null
        std::set<int> red;
        int pixelsPerInch = 96;
        int fontHeight = -12;
        int charSet = kUsersOwn;
    };
    const Row rows[] = {
        {{"English", kEnglish}, nullptr, warnings},
        {{"Japanese", kJapanese}, nullptr, {112, 113}, 96, -12, kShiftJis},
        {{"mask 0110, 120 pixels per inch", kEnglish}, "0110", {104, 105}, 120, -15},
        {{"empty mask, 144 pixels per inch", kEnglish}, "", {}, 144, -18},
        {{"mask 1, 72 pixels per inch", kEnglish}, "1", {103}, 72, -9},
        {{"mask longer than the lines", kEnglish},
         "1111111111111111",
         {103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language.name);
        Use(row.language.id);
        if (row.mask != nullptr)
            ui->ReplaceString(IDS_CAUTION_MASK, row.mask);
        ui->SetPixelsPerInch(row.pixelsPerInch);
        CautionDialog dialog(*ui);
        const DialogRecord& record = Run(dialog, kIdCancel, 2);
        EXPECT_EQ(record.language, row.language.id);
        EXPECT_EQ(record.caption, "QUILLET");
        ASSERT_EQ(record.paints.size(), 3u);
        EXPECT_EQ(ui->FontsCreated(), 3) << "every paint makes its own font";
        const std::vector<PaintedText>& lines = record.paints[2].texts;
        ASSERT_EQ(lines.size(), 13u);
        for (int i = 0; i < 13; ++i) {
            const PaintedText& line = lines[static_cast<std::size_t>(i)];
            int id = 103 + i;
            SCOPED_TRACE("string " + std::to_string(id));
            EXPECT_EQ(line.x, 60);
            EXPECT_EQ(line.y, 15 * i);
            EXPECT_EQ(line.font, PaintFont(row.fontHeight, row.charSet));
            EXPECT_EQ(line.text, ui->LoadStringResource(id));
            EXPECT_FALSE(line.text.empty());
            EXPECT_EQ(line.colour, row.red.count(id) ? kRed : kBlack);
            EXPECT_EQ(line.backgroundMode, kTransparentMode);
        }
    }
}

// Each language's notices are painted in a character set that reads its string table's texts as
// they are meant: Shift-JIS would show the curly quotes and accents of the Western texts as
// Japanese characters. The user's language picks the tables, a variant of it included.
TEST_F(PaintedDialog, EachLanguageIsReadInItsOwnCharacterSet) {
    const struct {
        Language language;
        int charSet;
    } rows[] = {
        {{"Japanese", kJapanese}, kShiftJis},
        {{"English", kEnglish}, kUsersOwn},
        {{"German", 0x0407}, kUsersOwn},
        {{"French", 0x040C}, kUsersOwn},
        {{"Italian", 0x0410}, kUsersOwn},
        {{"Spanish", 0x0C0A}, kUsersOwn},
        {{"English (United Kingdom)", 0x0809}, kUsersOwn},
        {{"German (Switzerland)", 0x0807}, kUsersOwn},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.language.name);
        Use(row.language.id);
        CautionDialog caution(*ui);
        const DialogRecord cautionRecord =
            Run(caution, kIdCancel);  // a copy: the next run adds one
        CompletionDialog completion(*ui);
        const DialogRecord& completionRecord = Run(completion, kIdOk);
        for (const DialogRecord* record : {&cautionRecord, &completionRecord}) {
            ASSERT_EQ(record->paints.size(), 1u);
            for (const PaintedText& line : record->paints[0].texts)
                EXPECT_EQ(line.font.charSet, row.charSet) << line.text;
        }
        EXPECT_EQ(cautionRecord.paints[0].texts[0].font, PaintFont(-12, row.charSet));
        EXPECT_EQ(completionRecord.paints[0].texts[0].font, PaintFont(-13, row.charSet));
    }
}

// The face reaches the platform in the user's code page, or by its other name where that code page
// cannot write the Japanese one.
TEST(NoticeFace, IsNamedInTheUsersCodePage) {
    const struct {
        unsigned codePage;
        const char* face;
    } rows[] = {{932, "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"},
                {65001,
                 "\xef\xbc\xad\xef\xbc\xb3\x20\xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7"
                 "\xe3\x83\x83\xe3\x82\xaf"},
                {1252, "MS PGothic"},
                {1250, "MS PGothic"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.codePage);
        EXPECT_EQ(NoticeFont(9, 96, row.codePage, kJapanese).faceName, row.face);
    }
}

// Line i is string 117 + i, 15 pixels below the one before whatever the screen, in red; the font
// is 10 points high on the screen. English is the language that has the restart note.
TEST_F(PaintedDialog, CompletionPaintsThreeRedLinesAndNeverTheRestartNote) {
    struct Row {
        Language language;
        int pixelsPerInch;
        int fontHeight;
    };
    const Row rows[] = {{{"96 pixels per inch", kEnglish}, 96, -13},
                        {{"120 pixels per inch", kEnglish}, 120, -17}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language.name);
        Use(row.language.id);
        ui->SetPixelsPerInch(row.pixelsPerInch);
        const std::string restartNote = ui->LoadStringResource(IDS_RESTART_NOTE);
        EXPECT_FALSE(restartNote.empty()) << "so that its absence below means something";
        CompletionDialog dialog(*ui);
        const DialogRecord& record = Run(dialog, kIdOk);
        EXPECT_EQ(record.result, kIdOk);
        ASSERT_EQ(record.paints.size(), 1u);
        const std::vector<PaintedText>& lines = record.paints[0].texts;
        ASSERT_EQ(lines.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const PaintedText& line = lines[static_cast<std::size_t>(i)];
            SCOPED_TRACE("string " + std::to_string(117 + i));
            EXPECT_EQ(line.x, 10);
            EXPECT_EQ(line.y, 15 * (i + 1));
            EXPECT_EQ(line.font, PaintFont(row.fontHeight));
            EXPECT_EQ(line.text, ui->LoadStringResource(117 + i));
            EXPECT_FALSE(line.text.empty());
            EXPECT_NE(line.text, restartNote);
            EXPECT_EQ(line.colour, kRed);
            EXPECT_EQ(line.backgroundMode, kTransparentMode);
        }
    }
}

}  // namespace
}  // namespace quillet
