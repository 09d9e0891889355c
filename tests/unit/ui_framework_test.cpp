// The dialog framework over the headless user interface: message maps, the framework's OK and
// Cancel, data exchange, painting bookkeeping, the script of user actions and its mistakes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/recorded_message_box.h"
#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/headless/headless_user_interface.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/wait_cursor.h"
#include "unit/ui_control_cases.h"

namespace quillet {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr LanguageId kEnglish = 0x0409;

// A dialog over the main template that logs what reaches its handlers and exposes the
// framework's protected operations to the checks.
class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(UserInterface& ui, bool mapped = true)
        : Dialog(ui, IDD_MAIN), mapped_(mapped) {}

    std::vector<std::string> log;
    std::string driveText;
    std::string versionText;
    ComboBox drives;
    bool closeDuringInit = false;
    bool throwOnUpdate = false;
    bool defaultSysCommands = true;

    bool Load() { return UpdateData(false); }
    bool Save() { return UpdateData(true); }

protected:
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        if (closeDuringInit)
            Send(kWmClose);
        return true;
    }
    void DoDataExchange(DataExchange& exchange) override {
        exchange.BindControl(IDC_DRIVE_COMBO, drives);
        exchange.ExchangeComboText(IDC_DRIVE_COMBO, driveText);
        exchange.ExchangeText(IDC_CURRENT_VERSION, versionText);
    }
    MessageMap GetMessageMap() const override {
        static const MessageMapEntry entries[] = {
            OnCommandEntry(IDC_DRIVE_COMBO, kCbnSelChange, &ProbeDialog::OnDriveChanged),
            OnCommandEntry(IDC_UPDATE, kBnClicked, &ProbeDialog::OnUpdateClicked),
            OnPaintEntry(&ProbeDialog::OnPaint),
            OnSysCommandEntry(&ProbeDialog::OnSysCommand),
        };
        return mapped_ ? MessageMap(entries) : MessageMap();
    }

private:
    void OnDriveChanged() { log.push_back("drive " + std::to_string(drives.GetCurSel())); }
    void OnUpdateClicked() {
        if (throwOnUpdate)
            throw std::runtime_error("update failed");
        log.push_back("update");
    }
    void OnPaint() {
        PaintContext context(*this);
        log.push_back("paint");
    }
    void OnSysCommand(unsigned commandId, MessageLParam) {
        log.push_back("system command " + std::to_string(commandId & 0xFFF0));
        if (defaultSysCommands)
            Default();
    }

    bool mapped_;
};

class DialogFramework : public ::testing::Test {
protected:
    RecordedMessageBox boxes;
    HeadlessUserInterface ui{kEnglish, boxes};
};

// Once the dialog has ended, its controls answer nothing.
TEST_F(DialogFramework, CommandsReachTheHandlersTheirMapNames) {
    ProbeDialog dialog(ui);
    WindowHandle list = 0;
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) {
        list = view.Item(IDC_DRIVE_COMBO);
        dialog.drives.AddString("E:  KORVIN");
        dialog.drives.AddString("F:  KORVIN");
    });
    ui.QueueSelect(IDD_MAIN, IDC_DRIVE_COMBO, 1);
    ui.QueueClick(IDD_MAIN, IDC_UPDATE);
    ui.QueueClick(IDD_MAIN, kIdCancel);
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_THAT(dialog.log, ElementsAre("paint", "drive 1", "update"));
    EXPECT_THAT(ui.Errors(), IsEmpty());
    EXPECT_EQ(dialog.Handle(), 0u);
    ASSERT_NE(list, 0u);
    EXPECT_EQ(dialog.drives.GetCount(), 0);
    EXPECT_EQ(ui.Send(list, kCbGetCount, 0, 0), 0);
    EXPECT_FALSE(ui.IsWindowEnabled(list));
}

TEST_F(DialogFramework, OkAndCancelEndTheDialogFromEveryWayTheUserHas) {
    struct Row {
        const char* name;
        void (HeadlessUserInterface::*action)(int);
        int result;
    };
    // The main template has no default button, so Enter gives IDOK.
    const Row rows[] = {
        {"Enter", &HeadlessUserInterface::QueueEnter, kIdOk},
        {"Esc", &HeadlessUserInterface::QueueEscape, kIdCancel},
        {"close box", &HeadlessUserInterface::QueueCloseBox, kIdCancel},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProbeDialog dialog(ui, false);
        (ui.*row.action)(IDD_MAIN);
        EXPECT_EQ(dialog.DoModal(), row.result);
        EXPECT_EQ(ui.PendingActions(), 0u);
    }
    EXPECT_THAT(ui.Errors(), IsEmpty());
}

// A handler that asks for it gets the platform's processing (the main dialog's close command
// shows that); one that does not keeps the dialog open.
TEST_F(DialogFramework, MappedSystemCommandsGetDefaultProcessingOnlyWhenTheyAskForIt) {
    ProbeDialog keeps(ui);
    keeps.defaultSysCommands = false;
    ui.QueueCloseBox(IDD_MAIN);
    ui.QueueClick(IDD_MAIN, kIdCancel);
    EXPECT_EQ(keeps.DoModal(), kIdCancel);
    EXPECT_THAT(keeps.log, ElementsAre("paint", "system command 61536"));
    EXPECT_EQ(ui.PendingActions(), 0u);
    EXPECT_THAT(ui.Errors(), IsEmpty());
}

// Mapped, they reach the handlers (the main dialog's tests show its drag icon and its paints).
TEST_F(DialogFramework, DragIconAndPaintUnmappedAreThePlatforms) {
    ProbeDialog dialog(ui, false);
    MessageResult dragIcon = -1;
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) {
        dragIcon = ui.Send(view.Handle(), kWmQueryDragIcon, 0, 0);
    });
    ui.QueueClick(IDD_MAIN, kIdCancel);
    dialog.DoModal();
    EXPECT_EQ(dragIcon, 0);
    EXPECT_THAT(ui.Dialogs().back().paints, IsEmpty());
}

TEST_F(DialogFramework, CloseSentDuringInitialisationEndsTheDialogBeforeAnythingElse) {
    // As "Exit" in the caution dialog does to the main dialog that is still starting.
    ProbeDialog dialog(ui);
    dialog.closeDuringInit = true;
    ui.QueueClick(IDD_MAIN, IDC_UPDATE);
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_THAT(dialog.log, IsEmpty());
    EXPECT_EQ(ui.PendingActions(), 1u);
    EXPECT_THAT(ui.Errors(), IsEmpty());
}

// The user is told in a box owned by the dialog, the script's log notes it too.
TEST_F(DialogFramework, AFailingHandlerEndsTheDialogAndIsReported) {
    ProbeDialog dialog(ui);
    dialog.throwOnUpdate = true;
    WindowHandle handle = 0;
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) { handle = view.Handle(); });
    ui.QueueClick(IDD_MAIN, IDC_UPDATE);
    EXPECT_EQ(dialog.DoModal(), kDialogFailed);
    ASSERT_EQ(ui.Errors().size(), 1u);
    EXPECT_THAT(ui.Errors()[0], HasSubstr("update failed"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_THAT(boxes.Boxes()[0].text, ::testing::StartsWith(kHandlerFailureText));
    EXPECT_THAT(boxes.Boxes()[0].text, HasSubstr("update failed"));
    EXPECT_EQ(boxes.Boxes()[0].owner, handle);
}

TEST_F(DialogFramework, StartBindsLoadingLeavesTheListSelectionAndSavingReads) {
    ProbeDialog dialog(ui);
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) {
        // The start bound the list but wrote no field: the version shows its template text.
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "1.0q");
        for (const char* entry : {"E:  first", "F:  second", "G:  third"})
            dialog.drives.AddString(entry);
        dialog.drives.SetCurSel(1);
        dialog.versionText = "1.0p";
        dialog.Load();
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "1.0p");
        EXPECT_EQ(dialog.drives.GetCurSel(), 1);

        dialog.Save();
        EXPECT_EQ(dialog.driveText, "F:  second");

        struct Row {
            const char* text;
            int selection;
        };
        // An exact text selects its entry; one that no entry has changes nothing.
        const Row rows[] = {{"G:  third", 2}, {"G:", 2}, {"E:  first", 0}, {"", 0}};
        for (const Row& row : rows) {
            SCOPED_TRACE(row.text);
            dialog.driveText = row.text;
            dialog.Load();
            EXPECT_EQ(dialog.drives.GetCurSel(), row.selection);
        }
        dialog.drives.SetCurSel(2);
        dialog.driveText.clear();
    });
    // OK reads the controls back before it ends the dialog.
    ui.QueueEnter(IDD_MAIN);
    EXPECT_EQ(dialog.DoModal(), kIdOk);
    EXPECT_EQ(dialog.driveText, "G:  third");
    EXPECT_THAT(ui.Errors(), IsEmpty());
}

TEST_F(DialogFramework, HeadlessControlsAnswerAsThePlatformsDo) {
    ProbeDialog dialog(ui, false);
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) {
        test::CheckComboBoxSemantics(ui, view.Item(IDC_SOURCE_COMBO));
        test::CheckProgressBarSemantics(ui, view.Item(IDC_PROGRESS));
    });
    ui.QueueClick(IDD_MAIN, kIdCancel);
    dialog.DoModal();
    EXPECT_THAT(ui.Errors(), IsEmpty());
}

TEST_F(DialogFramework, ScriptMistakesEndTheDialogWithAnErrorRatherThanHang) {
    struct Row {
        const char* name;
        int templateId;
        void (*script)(HeadlessUserInterface&);
        const char* error;
    };
    const Row rows[] = {
        {"nothing scripted", IDD_MAIN, [](HeadlessUserInterface&) {}, "ran out"},
        {"an action for another dialog", IDD_MAIN,
         [](HeadlessUserInterface& ui) { ui.QueueClick(IDD_CAUTION, kIdOk); }, "dialog 133"},
        {"an entry the list does not have", IDD_MAIN,
         [](HeadlessUserInterface& ui) { ui.QueueSelect(IDD_MAIN, IDC_DRIVE_COMBO, 0); },
         "no entry 0"},
        {"a template that does not exist", 4711, [](HeadlessUserInterface&) {}, "no template"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordedMessageBox rowBoxes;
        HeadlessUserInterface rowUi(kEnglish, rowBoxes);
        row.script(rowUi);
        Dialog dialog(rowUi, row.templateId);
        EXPECT_EQ(dialog.DoModal(), kDialogFailed);
        ASSERT_EQ(rowUi.Errors().size(), 1u);
        EXPECT_THAT(rowUi.Errors()[0], HasSubstr(row.error));
    }
}

// A test that answers whatever comes is asked, with the dialog's template, when the script runs
// out; what it queues then is performed, and only a script still empty is the error.
TEST_F(DialogFramework, AnEmptyScriptAsksTheTestFirst) {
    std::vector<int> asked;
    ui.SetOnScriptEnd([&](int templateId) {
        asked.push_back(templateId);
        if (asked.size() == 1)
            ui.QueueClick(templateId, kIdOk);
    });
    Dialog first(ui, IDD_COMPLETION);
    EXPECT_EQ(first.DoModal(), kIdOk);
    EXPECT_THAT(ui.Errors(), IsEmpty());
    Dialog second(ui, IDD_COMPLETION);
    EXPECT_EQ(second.DoModal(), kDialogFailed);
    EXPECT_THAT(asked, ElementsAre(IDD_COMPLETION, IDD_COMPLETION));
    ASSERT_EQ(ui.Errors().size(), 1u);
    EXPECT_THAT(ui.Errors()[0], HasSubstr("ran out"));
}

TEST_F(DialogFramework, ADisabledButtonCannotBePressed) {
    ProbeDialog dialog(ui);
    ui.QueueCheck(IDD_MAIN, [&](HeadlessDialogView& view) {
        Button update;
        update.Attach(ui, view.Item(IDC_UPDATE));
        EXPECT_FALSE(update.EnableWindow(false));
        EXPECT_FALSE(view.IsEnabled(IDC_UPDATE));
    });
    ui.QueueClick(IDD_MAIN, IDC_UPDATE);
    EXPECT_EQ(dialog.DoModal(), kDialogFailed);
    EXPECT_THAT(dialog.log, ElementsAre("paint"));
    ASSERT_EQ(ui.Errors().size(), 1u);
    EXPECT_THAT(ui.Errors()[0], HasSubstr("disabled"));
}

TEST_F(DialogFramework, AFontDeletedWhileSelectedIsAnError) {
    struct Misuse : Dialog {
        using Dialog::Dialog;
        MessageMap GetMessageMap() const override {
            static const MessageMapEntry entries[] = {OnPaintEntry(&Misuse::OnPaint)};
            return entries;
        }
        void OnPaint() {
            PaintContext context(*this);
            GdiHandle font = Ui().CreateFontObject(LogFont());
            context.SelectObject(font);
            deleted = Ui().DeleteObject(font);
        }
        bool deleted = true;
    };
    Misuse dialog(ui, IDD_COMPLETION);
    ui.QueueClick(IDD_COMPLETION, kIdOk);
    dialog.DoModal();
    EXPECT_FALSE(dialog.deleted);
    EXPECT_EQ(ui.LiveFonts(), 1);
    EXPECT_THAT(ui.Errors(), ElementsAre(HasSubstr("while selected")));
}

// The update restores the cursor itself (its tests check that); the end of the object is what
// restores it on any other way out.
TEST_F(DialogFramework, WaitCursorGoesWithItsObject) {
    {
        WaitCursor cursor(ui);
        EXPECT_EQ(ui.WaitCursorDepth(), 1);
    }
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
}

TEST(MultiplyDivide, RoundsToTheNearestAsThePlatformDoes) {
    struct Row {
        int number, numerator, denominator, result;
    };
    const Row rows[] = {
        {9, -96, 72, -12},  {10, -96, 72, -13},  {9, -120, 72, -15},       {10, -120, 72, -17},
        {9, -144, 72, -18}, {1, 1, 2, 1},        {-1, 1, 2, -1},           {3, 1, -2, -2},
        {5, 7, 0, -1},      {INT_MAX, 2, 1, -1}, {INT_MAX, 2, 2, INT_MAX}, {INT_MIN, 1, 1, INT_MIN},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.number) + " * " + std::to_string(row.numerator) + " / " +
                     std::to_string(row.denominator));
        EXPECT_EQ(MultiplyDivide(row.number, row.numerator, row.denominator), row.result);
    }
}

TEST(Utf, RoundTripsAndReplacesMalformedInput) {
    struct Row {
        const char* name;
        std::string utf8;
        std::u16string utf16;
        bool valid;
    };
    const Row rows[] = {
        {"ascii", "Exit", u"Exit", true},
        {"curly quotes", "“DMA”", u"\u201CDMA\u201D", true},
        {"ideographic space", "\u3000→", u"\u3000\u2192", true},
        {"outside the basic plane", "\U0001F4BF", u"\U0001F4BF", true},
        {"a lone continuation byte", "a\x80z", u"a\uFFFDz", false},
        {"a truncated sequence", "\xE3\x81", u"\uFFFD\uFFFD", false},
        {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
        {"an encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Utf8ToUtf16(row.utf8), row.utf16);
        EXPECT_EQ(IsValidUtf8(row.utf8), row.valid);
        if (row.valid) {
            EXPECT_EQ(Utf16ToUtf8(row.utf16), row.utf8);
        }
    }
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800z"), "a\uFFFDz");
}

}  // namespace
}  // namespace quillet
