// The caution, completion, old-version, start-confirmation and about dialogs over the headless
// user interface, in the program's own resources: what the painting dialogs draw, where, in which
// colour and font, and which result each way of ending a dialog gives its caller.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "dialogs/about_dialog.h"
#include "dialogs/caution_dialog.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/notice_paint.h"
#include "dialogs/old_version_dialog.h"
#include "dialogs/start_confirm_dialog.h"
#include "platform/recorded_message_box.h"
#include "res/resource.h"
#include "ui/headless/headless_user_interface.h"

namespace quillet {
namespace {

using ::testing::IsEmpty;

constexpr LanguageId kJapanese = 0x0411;
constexpr LanguageId kEnglish = 0x0409;
constexpr LanguageId kGerman = 0x0407;
constexpr LanguageId kFrench = 0x040C;
constexpr LanguageId kItalian = 0x0410;
constexpr LanguageId kSpanish = 0x0C0A;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kBlack = 0x000000;
constexpr int kTransparentMode = 1;

struct Language {
    const char* name;
    LanguageId id;
};
const Language kLanguages[] = {{"Japanese", kJapanese}, {"English", kEnglish},
                               {"German", kGerman},     {"French", kFrench},
                               {"Italian", kItalian},   {"Spanish", kSpanish}};

// The font both painting dialogs ask for: only height, weight, character set and face set.
LogFont PaintFont(int height) {
    LogFont font;
    font.height = height;
    font.weight = 400;
    font.charSet = 128;
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

TEST_F(PaintedDialog, CautionPaintsThirteenLinesColouredByTheLanguagesMask) {
    struct Row {
        Language language;
        std::set<int> red;
    };
    const Row rows[] = {
        {{"English", kEnglish}, {104, 105, 106, 107}},
        {{"German", kGerman}, {104, 105, 106, 107}},
        {{"French", kFrench}, {104, 105, 106, 107}},
        {{"Italian (fourteen mask characters)", kItalian}, {104, 105, 106, 107}},
        {{"Spanish", kSpanish}, {104, 105, 106, 107}},
        {{"Japanese", kJapanese}, {112, 113}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language.name);
        Use(row.language.id);
        CautionDialog dialog(*ui);
        const DialogRecord& record = Run(dialog, kIdCancel);
        EXPECT_EQ(record.language, row.language.id);
        EXPECT_EQ(record.caption, "QUILLET");
        ASSERT_EQ(record.paints.size(), 1u);
        const std::vector<PaintedText>& lines = record.paints[0].texts;
        ASSERT_EQ(lines.size(), 13u);
        for (int i = 0; i < 13; ++i) {
            const PaintedText& line = lines[static_cast<std::size_t>(i)];
            int id = 103 + i;
            SCOPED_TRACE("string " + std::to_string(id));
            EXPECT_EQ(line.x, 60);
            EXPECT_EQ(line.y, 15 * i);
            EXPECT_EQ(line.text, ui->LoadStringResource(id));
            EXPECT_FALSE(line.text.empty());
            EXPECT_EQ(line.colour, row.red.count(id) ? kRed : kBlack);
            EXPECT_EQ(line.backgroundMode, kTransparentMode);
            EXPECT_EQ(line.font, PaintFont(-12));
        }
    }
}

TEST_F(PaintedDialog, CautionLinesWithoutAMaskCharacterAreBlack) {
    struct Row {
        const char* mask;
        std::set<int> red;
    };
    const Row rows[] = {
        {"0110", {104, 105}},
        {"", {}},
        {"1", {103}},
        {"1111111111111111", {103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("mask \"") + row.mask + "\"");
        Use(kEnglish);
        ui->ReplaceString(IDS_CAUTION_MASK, row.mask);
        CautionDialog dialog(*ui);
        const DialogRecord& record = Run(dialog, kIdCancel);
        ASSERT_EQ(record.paints.size(), 1u);
        ASSERT_EQ(record.paints[0].texts.size(), 13u);
        for (int i = 0; i < 13; ++i) {
            SCOPED_TRACE("string " + std::to_string(103 + i));
            EXPECT_EQ(record.paints[0].texts[static_cast<std::size_t>(i)].colour,
                      row.red.count(103 + i) ? kRed : kBlack);
        }
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
        EXPECT_EQ(NoticeFont(9, 96, row.codePage).faceName, row.face);
    }
}

TEST_F(PaintedDialog, FontHeightFollowsTheScreenAndLinePitchDoesNot) {
    struct Row {
        int pixelsPerInch;
        int cautionHeight;
        int completionHeight;
    };
    const Row rows[] = {{96, -12, -13}, {120, -15, -17}, {144, -18, -20}, {72, -9, -10}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.pixelsPerInch) + " pixels per inch");
        Use(kEnglish);
        ui->SetPixelsPerInch(row.pixelsPerInch);
        CautionDialog caution(*ui);
        const DialogRecord& cautionRecord = Run(caution, kIdCancel);
        ASSERT_EQ(cautionRecord.paints.size(), 1u);
        for (std::size_t i = 0; i < cautionRecord.paints[0].texts.size(); ++i) {
            EXPECT_EQ(cautionRecord.paints[0].texts[i].y, static_cast<int>(15 * i));
            EXPECT_EQ(cautionRecord.paints[0].texts[i].font, PaintFont(row.cautionHeight));
        }
        CompletionDialog completion(*ui);
        const DialogRecord& completionRecord = Run(completion, kIdOk);
        ASSERT_EQ(completionRecord.paints.size(), 1u);
        for (std::size_t i = 0; i < completionRecord.paints[0].texts.size(); ++i) {
            EXPECT_EQ(completionRecord.paints[0].texts[i].y, static_cast<int>(15 * (i + 1)));
            EXPECT_EQ(completionRecord.paints[0].texts[i].font, PaintFont(row.completionHeight));
        }
    }
}

TEST_F(PaintedDialog, EveryPaintMakesItsOwnFontAndReleasesIt) {
    Use(kEnglish);
    CautionDialog dialog(*ui);
    const DialogRecord& record = Run(dialog, kIdCancel, 2);
    ASSERT_EQ(record.paints.size(), 3u);
    EXPECT_EQ(ui->FontsCreated(), 3);
    for (const PaintRecord& paint : record.paints)
        EXPECT_EQ(paint.texts.size(), 13u);
}

TEST_F(PaintedDialog, CompletionPaintsThreeRedLinesAndNeverTheRestartNote) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        Use(language.id);
        std::string restartNote = ui->LoadStringResource(IDS_RESTART_NOTE);
        if (language.id == kEnglish) {
            // The note exists in English, so its absence below means something.
            EXPECT_FALSE(restartNote.empty());
        }
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
            EXPECT_EQ(line.text, ui->LoadStringResource(117 + i));
            EXPECT_FALSE(line.text.empty());
            EXPECT_NE(line.text, restartNote);
            EXPECT_EQ(line.colour, kRed);
            EXPECT_EQ(line.backgroundMode, kTransparentMode);
        }
    }
}

using MakeDialog = std::unique_ptr<Dialog> (*)(UserInterface&);

template <class T>
std::unique_ptr<Dialog> Make(UserInterface& ui) {
    return std::make_unique<T>(ui);
}

TEST(NoticeDialogs, EachEndingGivesTheResultItsCallerExpects) {
    enum class Ending { Click, Escape, Enter, CloseBox };
    struct Row {
        const char* name;
        MakeDialog dialog;
        int templateId;
        Ending ending;
        int button;
        int result;
    };
    const Row rows[] = {
        // The caution dialog: only "Exit" (IDOK, also the default button) ends the program.
        {"caution, Exit", Make<CautionDialog>, IDD_CAUTION, Ending::Click, 1, kIdOk},
        {"caution, continue", Make<CautionDialog>, IDD_CAUTION, Ending::Click, 2, kIdCancel},
        {"caution, Esc", Make<CautionDialog>, IDD_CAUTION, Ending::Escape, 0, kIdCancel},
        {"caution, close box", Make<CautionDialog>, IDD_CAUTION, Ending::CloseBox, 0, kIdCancel},
        {"caution, Enter", Make<CautionDialog>, IDD_CAUTION, Ending::Enter, 0, kIdOk},
        {"old version, Continue", Make<OldVersionDialog>, IDD_OLD_VERSION, Ending::Click, 1, kIdOk},
        {"old version, Cancel", Make<OldVersionDialog>, IDD_OLD_VERSION, Ending::Click, 2,
         kIdCancel},
        {"old version, Esc", Make<OldVersionDialog>, IDD_OLD_VERSION, Ending::Escape, 0, kIdCancel},
        {"start confirmation, OK", Make<StartConfirmDialog>, IDD_START_CONFIRM, Ending::Click, 1,
         kIdOk},
        {"start confirmation, Cancel", Make<StartConfirmDialog>, IDD_START_CONFIRM, Ending::Click,
         2, kIdCancel},
        {"start confirmation, Esc", Make<StartConfirmDialog>, IDD_START_CONFIRM, Ending::Escape, 0,
         kIdCancel},
        {"start confirmation, Enter", Make<StartConfirmDialog>, IDD_START_CONFIRM, Ending::Enter, 0,
         kIdOk},
        {"completion, OK", Make<CompletionDialog>, IDD_COMPLETION, Ending::Click, 1, kIdOk},
        {"about, OK", Make<AboutDialog>, IDD_ABOUTBOX, Ending::Click, 1, kIdOk},
        {"about, close box", Make<AboutDialog>, IDD_ABOUTBOX, Ending::CloseBox, 0, kIdCancel},
    };
    for (LanguageId language : {kEnglish, kJapanese}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + " in language " + std::to_string(language));
            RecordedMessageBox boxes;
            HeadlessUserInterface ui(language, boxes);
            std::unique_ptr<Dialog> dialog = row.dialog(ui);
            EXPECT_EQ(dialog->TemplateId(), row.templateId);
            switch (row.ending) {
                case Ending::Click:
                    ui.QueueClick(row.templateId, row.button);
                    break;
                case Ending::Escape:
                    ui.QueueEscape(row.templateId);
                    break;
                case Ending::Enter:
                    ui.QueueEnter(row.templateId);
                    break;
                case Ending::CloseBox:
                    ui.QueueCloseBox(row.templateId);
                    break;
            }
            EXPECT_EQ(dialog->DoModal(), row.result);
            EXPECT_THAT(ui.Errors(), IsEmpty());
            EXPECT_THAT(boxes.Boxes(), IsEmpty());
        }
    }
}

TEST(NoticeDialogs, TheAboutBoxIsTheSameInEveryLanguage) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        RecordedMessageBox boxes;
        HeadlessUserInterface ui(language.id, boxes);
        AboutDialog about(ui);
        ui.QueueCheck(IDD_ABOUTBOX, [&](HeadlessDialogView& view) {
            EXPECT_EQ(view.Caption(), "Quillet");
            EXPECT_EQ(view.Text(kIdOk), "OK");
        });
        ui.QueueClick(IDD_ABOUTBOX, kIdOk);
        EXPECT_EQ(about.DoModal(), kIdOk);
        EXPECT_EQ(ui.Dialogs().back().language, kLanguageNeutral);
        EXPECT_THAT(ui.Errors(), IsEmpty());
    }
}

}  // namespace
}  // namespace quillet
