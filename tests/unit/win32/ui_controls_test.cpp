// The platform's own drop-down list and progress bar, driven through the win32 user interface by
// the same steps the headless controls are checked with: where the two disagree, the headless
// controls are wrong.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/recorded_message_box.h"
#include "ui/win32/win32_user_interface.h"
#include "unit/ui_control_cases.h"

namespace quillet {
namespace {

class PlatformControls : public ::testing::Test {
protected:
    void SetUp() override {
        owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
        if (!owner)
            GTEST_SKIP() << "no window can be made here (no display)";
    }
    void TearDown() override {
        if (owner)
            ::DestroyWindow(owner);
    }
    WindowHandle Make(const char* className, DWORD style) {
        HWND control = ::CreateWindowExA(0, className, "", WS_CHILD | style, 0, 0, 150, 100, owner,
                                         nullptr, ::GetModuleHandleA(nullptr), nullptr);
        return reinterpret_cast<WindowHandle>(control);
    }

    RecordedMessageBox boxes;
    // Registers the progress bar's window class.
    Win32UserInterface ui{::GetModuleHandleA(nullptr), boxes};
    HWND owner = nullptr;
};

TEST_F(PlatformControls, DropDownListAnswersAsTheHeadlessOne) {
    WindowHandle list = Make("ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL);
    ASSERT_NE(list, 0u);
    test::CheckComboBoxSemantics(ui, list);
}

TEST_F(PlatformControls, ProgressBarAnswersAsTheHeadlessOne) {
    WindowHandle bar = Make(PROGRESS_CLASSA, 0);
    ASSERT_NE(bar, 0u);
    test::CheckProgressBarSemantics(ui, bar);
}

}  // namespace
}  // namespace quillet
