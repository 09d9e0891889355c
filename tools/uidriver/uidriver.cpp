// uidriver: drives a Windows program's dialogs for the end-to-end tests (run under Wine).
//
// Usage: uidriver STEP [STEP ...]
//
// The steps run in order within one invocation, so one call can start a program, wait for its
// dialog, read it and press a button. Steps that read something print one line to stdout in UTF-8
// (line breaks inside a text are printed as "\n"); "controls" prints one line per control.
//
//   start PROGRAM FOLDER   start PROGRAM with FOLDER as its current directory
//   start-with PROGRAM ARGUMENTS FOLDER
//                          the same, with ARGUMENTS after the program on its command line
//   window TITLE SECONDS   wait for a visible top-level window whose caption is exactly TITLE
//   dialog IDS SECONDS     wait for a visible top-level window holding every control id of the
//                          comma-separated list IDS
//   caption                print the current window's caption
//   text ID                print the text of control ID of the current window
//   click ID               press button ID (BM_CLICK is posted, so a modal dialog that the press
//                          opens does not block the driver); fails, as the user's click would
//                          go nowhere, if the button or its window is disabled
//   controls               print "client W H", then for each child control in template order
//                          "ID CLASS X Y W H STYLE TEXT" (tab-separated; position relative to
//                          the client area in pixels, STYLE in hexadecimal)
//   shot FILE              save the current window as a 24-bit BMP file
//   ink X Y W H            print "RED DARK" (tab-separated): how many pixels of the rectangle
//                          at X, Y (client-area pixels), W wide and H high are red (red at
//                          least 0xC0, green and blue at most 0x40) and how many dark (all three
//                          at most 0x40), as the screen shows them now; take a shot first, which
//                          waits for the window to paint
//   painted PROGRAM FIRST COUNT X Y PITCH POINTS
//                          print "DIFFERENT INK" (tab-separated) for the lines a notice paints:
//                          strings FIRST to FIRST + COUNT - 1 of PROGRAM's string table in the
//                          user's language, read as the table holds them (Unicode) and drawn in
//                          the notices' face POINTS high at X, Y + PITCH * i, make a reference;
//                          DIFFERENT counts the pixels of the band right of X from Y to the last
//                          line's end, outside the controls, where the screen and the reference
//                          disagree about ink (red or dark), INK the reference's inked pixels
//   select ID INDEX        select entry INDEX (from 0) of drop-down list ID as the user's choice
//                          does, telling the dialog (CBN_SELCHANGE), and wait until the dialog
//                          has handled it; the dialog must not open a modal window meanwhile;
//                          fails if the list or its window is disabled
//   entries ID             print the number of entries of drop-down list ID, then each entry
//                          on a line of its own
//   position ID            print the position of progress bar ID
//   snap FILE              save the current window's area as the screen shows it now, without
//                          waiting for the window to paint: for a window that is busy
//   escape                 press the Esc key in the current window
//   close                  press the current window's close box (also what the taskbar's
//                          "Close" does; it reaches a disabled window too)
//   input SECONDS          wait until the current window takes input: enabled, and still so after
//                          its program has handled what was sent to it and a pause (a closing
//                          dialog enables its owner for a moment even while a command handler
//                          of the owner still runs and holds it)
//   responds               fail unless the current window answers within 1 s and the system
//                          does not call it hung (IsHungAppWindow)
//   rect                   print "X Y W H" (tab-separated): the current window's place on the
//                          screen in pixels
//   move X Y               move the current window's top left corner to X, Y (screen pixels)
//   end-session            ask the current window whether the session may end
//                          (WM_QUERYENDSESSION) and print its answer, 1 or 0
//   screen FILE            save the whole screen as a 24-bit BMP file
//   wait-exit SECONDS      wait for the program to end and print its exit code
//
// "window" and "dialog" look only at the started program's windows when a "start" came first,
// and fail at once if that program ends while they wait; otherwise at the windows of programs
// that still run. "wait-exit" waits for the started program, or else for the program that owns
// the current window.
//
// Exit codes: 0 when every step succeeded; 1 when a step failed (window not found in time,
// control missing or disabled, program did not end, file not written); 2 for a malformed command
// line. Every failure prints one line to stderr.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMilliseconds = 50;
// How long a message to the driven program may take before it counts as hung.
constexpr UINT kMessageTimeoutMilliseconds = 5000;
// How long a window may take to answer before the user would see it as not responding.
constexpr UINT kResponseMilliseconds = 1000;
// How long a dialog may take to handle a list choice (it may read files or ask drives).
constexpr UINT kHandlerTimeoutMilliseconds = 30000;
// How often a start that failed with an internal error is tried, and the pause between tries.
constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryMilliseconds = 500;
// Time for the window's picture to reach the screen after it has painted.
constexpr DWORD kPaintSettleMilliseconds = 300;

enum ExitCode { kSuccess = 0, kStepFailed = 1, kUsage = 2 };

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                        nullptr, nullptr);
    return result;
}

void WriteLine(DWORD stream, const std::wstring& line) {
    // Raw bytes rather than the C runtime's text mode: no CR is added and UTF-8 passes unchanged.
    std::string bytes = ToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

void Print(const std::wstring& line) {
    WriteLine(STD_OUTPUT_HANDLE, line);
}

[[noreturn]] void Exit(ExitCode code, const std::wstring& message) {
    WriteLine(STD_ERROR_HANDLE, L"uidriver: " + message);
    ExitProcess(code);
}

[[noreturn]] void Fail(const std::wstring& message) {
    Exit(kStepFailed, message);
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring SecondsText(DWORD milliseconds) {
    std::wstring text = std::to_wstring(milliseconds / 1000);
    if (DWORD fraction = milliseconds % 1000) {
        std::wstring digits = std::to_wstring(1000 + fraction).substr(1);
        text += L"." + digits.substr(0, digits.find_last_not_of(L'0') + 1);
    }
    return text + L" s";
}

std::wstring Hex(unsigned long value) {
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) {
        text[static_cast<size_t>(i)] = L"0123456789ABCDEF"[value & 0xF];
    }
    return text;
}

// Keeps a text on one output line.
std::wstring EscapeLineBreaks(const std::wstring& text) {
    std::wstring result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            continue;
        }
        if (text[i] == L'\n') {
            result += L"\\n";
        } else if (text[i] == L'\r') {
            result += L"\\r";
        } else {
            result += text[i];
        }
    }
    return result;
}

int ParseId(const std::wstring& text) {
    wchar_t* end = nullptr;
    long value = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || value < 0 || value > 0xFFFF) {
        Exit(kUsage, L"not a control id: " + Quoted(text));
    }
    return static_cast<int>(value);
}

int ParseIndex(const std::wstring& text) {
    wchar_t* end = nullptr;
    long value = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || value < 0 || value > 0xFFFF) {
        Exit(kUsage, L"not a list index: " + Quoted(text));
    }
    return static_cast<int>(value);
}

int ParseNumber(const std::wstring& text) {
    wchar_t* end = nullptr;
    long value = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || value < 0 || value > 100000) {
        Exit(kUsage, L"not a number of pixels: " + Quoted(text));
    }
    return static_cast<int>(value);
}

std::vector<int> ParseIdList(const std::wstring& text) {
    std::vector<int> ids;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        if (comma == std::wstring::npos) {
            comma = text.size();
        }
        ids.push_back(ParseId(text.substr(start, comma - start)));
        start = comma + 1;
    }
    return ids;
}

DWORD ParseSeconds(const std::wstring& text) {
    wchar_t* end = nullptr;
    double seconds = std::wcstod(text.c_str(), &end);
    if (text.empty() || *end != L'\0' || !(seconds >= 0.0) || seconds > 3600.0) {
        Exit(kUsage, L"not a time limit in seconds: " + Quoted(text));
    }
    return static_cast<DWORD>(seconds * 1000.0);
}

std::wstring WindowCaption(HWND window) {
    // GetWindowTextW reads another process's caption without sending it a message.
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// What a window step looks for, and what it found.
struct WindowQuery {
    DWORD processId;  // 0: any process
    const std::wstring* title;
    const std::vector<int>* ids;
    HWND found;
};

// Whether the process that owns a window still runs: under Wine a program's window can stay
// listed for a moment after the program has ended.
bool OwnerRuns(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, owner);
    if (!process) {
        return false;
    }
    bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* query = reinterpret_cast<WindowQuery*>(parameter);
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    if (query->processId != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != query->processId) {
            return TRUE;
        }
    } else if (!OwnerRuns(window)) {
        return TRUE;
    }
    if (query->title && WindowCaption(window) != *query->title) {
        return TRUE;
    }
    if (query->ids) {
        for (int id : *query->ids) {
            if (!GetDlgItem(window, id)) {
                return TRUE;
            }
        }
    }
    query->found = window;
    return FALSE;
}

// A copy of part of the screen: 24-bit pixels in bottom-up rows, as a BMP file stores them.
struct ScreenPicture {
    BITMAPINFOHEADER header = {};
    DWORD stride = 0;
    std::vector<BYTE> bits;
};

class Driver {
public:
    ~Driver() {
        if (process) {
            CloseHandle(process);
        }
    }

    void Start(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& folder) {
        std::wstring commandLine = Quoted(program);
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        // No standard handles: under Wine the program would otherwise keep the driver's output
        // open, and a shell reading it would wait until the program ended.
        startup.dwFlags = STARTF_USESTDHANDLES;
        PROCESS_INFORMATION started = {};
        // Under Wine on a busy machine a start has been seen to fail at once with an internal
        // error; such a start is tried again.
        BOOL created = FALSE;
        for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
            created = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                     nullptr, folder.c_str(), &startup, &started);
            if (created || GetLastError() != ERROR_INTERNAL_ERROR) {
                break;
            }
            Sleep(kStartRetryMilliseconds);
        }
        if (!created) {
            Fail(L"cannot start " + Quoted(program) + L" in " + Quoted(folder) + L" (error " +
                 std::to_wstring(GetLastError()) + L")");
        }
        CloseHandle(started.hThread);
        if (process) {
            CloseHandle(process);
        }
        process = started.hProcess;
        processId = started.dwProcessId;
        programName = program;
    }

    void WaitForWindow(const std::wstring* title, const std::vector<int>* ids, DWORD limit,
                       const std::wstring& what) {
        WindowQuery query = {processId, title, ids, nullptr};
        DWORD begin = GetTickCount();
        for (;;) {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
            if (query.found) {
                window = query.found;
                return;
            }
            if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
                Fail(Quoted(programName) + L" ended before " + what + L" appeared");
            }
            if (GetTickCount() - begin >= limit) {
                Fail(L"no " + what + L" within " + SecondsText(limit));
            }
            Sleep(kPollMilliseconds);
        }
    }

    void PrintCaption() { Print(EscapeLineBreaks(WindowCaption(CurrentWindow()))); }

    void PrintText(int id) { Print(EscapeLineBreaks(ControlText(Control(id)))); }

    void Click(int id) {
        HWND button = Control(id);
        if (!TakesInput(button) || !IsWindowVisible(button)) {
            Fail(L"control " + std::to_wstring(id) + L" is disabled or hidden");
        }
        if (!PostMessageW(button, BM_CLICK, 0, 0)) {
            Fail(L"cannot press control " + std::to_wstring(id));
        }
    }

    void PrintControls() {
        HWND dialog = CurrentWindow();
        RECT client = {};
        GetClientRect(dialog, &client);
        Print(L"client\t" + std::to_wstring(client.right) + L"\t" + std::to_wstring(client.bottom));
        for (HWND child = GetWindow(dialog, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT area = {};
            GetWindowRect(child, &area);
            MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&area), 2);
            Print(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + ClassName(child) + L"\t" +
                  std::to_wstring(area.left) + L"\t" + std::to_wstring(area.top) + L"\t" +
                  std::to_wstring(area.right - area.left) + L"\t" +
                  std::to_wstring(area.bottom - area.top) + L"\t" +
                  Hex(static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE))) + L"\t" +
                  EscapeLineBreaks(ControlText(child)));
        }
    }

    void SaveWindowPicture(const std::wstring& file) {
        HWND target = CurrentWindow();
        RepaintAndSettle(target);
        RECT area = {};
        GetWindowRect(target, &area);
        SaveScreenArea(area, file);
    }

    // Counts the red and the dark pixels of a rectangle of the client area as the screen shows it
    // now: red has red at least 0xC0 and green and blue at most 0x40; dark has all three at most
    // 0x40.
    void PrintInk(int x, int y, int width, int height) {
        HWND target = CurrentWindow();
        Ping(target);
        POINT origin = {x, y};
        ClientToScreen(target, &origin);
        RECT area = {origin.x, origin.y, origin.x + width, origin.y + height};
        ScreenPicture picture = CopyScreen(area);
        unsigned long red = 0;
        unsigned long dark = 0;
        for (LONG row = 0; row < picture.header.biHeight; ++row) {
            const BYTE* pixel = picture.bits.data() + picture.stride * static_cast<DWORD>(row);
            for (LONG column = 0; column < picture.header.biWidth; ++column, pixel += 3) {
                if (IsRed(pixel)) {
                    ++red;
                } else if (IsDark(pixel)) {
                    ++dark;
                }
            }
        }
        Print(std::to_wstring(red) + L"\t" + std::to_wstring(dark));
    }

    void PrintPaintedLinesDifference(const std::wstring& program, int first, int count, int x,
                                     int y, int pitch, int points) {
        std::vector<std::wstring> lines = StringTableLines(program, first, count);
        HWND target = CurrentWindow();
        RepaintAndSettle(target);
        RECT client = {};
        GetClientRect(target, &client);
        int width = client.right - x;
        int height = (pitch * count < client.bottom - y) ? pitch * count : client.bottom - y;
        if (width <= 0 || height <= 0) {
            Fail(L"the lines lie outside the window");
        }
        POINT origin = {x, y};
        ClientToScreen(target, &origin);
        ScreenPicture screen =
            CopyScreen(RECT{origin.x, origin.y, origin.x + width, origin.y + height});
        ScreenPicture reference =
            DrawLines(lines, width, height, pitch, points, MostCommonColour(screen));
        // The controls (the buttons below the lines) are not painted lines.
        std::vector<RECT> controls;
        for (HWND child = GetWindow(target, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT area = {};
            if (IsWindowVisible(child) && GetWindowRect(child, &area)) {
                MapWindowPoints(HWND_DESKTOP, target, reinterpret_cast<POINT*>(&area), 2);
                controls.push_back(area);
            }
        }
        unsigned long different = 0;
        unsigned long ink = 0;
        for (LONG row = 0; row < screen.header.biHeight; ++row) {
            // Bottom-up rows: the last row of the picture is the band's first.
            LONG clientY = y + screen.header.biHeight - 1 - row;
            const BYTE* shown = screen.bits.data() + screen.stride * static_cast<DWORD>(row);
            const BYTE* meant = reference.bits.data() + reference.stride * static_cast<DWORD>(row);
            for (LONG column = 0; column < screen.header.biWidth; ++column) {
                POINT point = {x + column, clientY};
                if (std::any_of(controls.begin(), controls.end(),
                                [point](const RECT& area) { return PtInRect(&area, point); })) {
                    continue;
                }
                bool shownInk = IsRed(shown + column * 3) || IsDark(shown + column * 3);
                bool meantInk = IsDark(meant + column * 3);
                ink += meantInk;
                different += shownInk != meantInk;
            }
        }
        Print(std::to_wstring(different) + L"\t" + std::to_wstring(ink));
    }

    void Select(int id, int index) {
        HWND list = Control(id);
        if (!TakesInput(list)) {
            Fail(L"list " + std::to_wstring(id) + L" is disabled");
        }
        LRESULT selected = static_cast<LRESULT>(
            Query(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0, kMessageTimeoutMilliseconds));
        if (selected != index) {
            Fail(L"list " + std::to_wstring(id) + L" has no entry " + std::to_wstring(index));
        }
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(CurrentWindow(), WM_COMMAND,
                                 MAKEWPARAM(static_cast<WORD>(id), CBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(list), SMTO_ABORTIFHUNG,
                                 kHandlerTimeoutMilliseconds, &result)) {
            Fail(L"the window did not handle the choice in list " + std::to_wstring(id));
        }
    }

    void PrintEntries(int id) {
        HWND list = Control(id);
        LRESULT count = static_cast<LRESULT>(Query(list, CB_GETCOUNT, 0, 0));
        if (count < 0) {
            Fail(L"control " + std::to_wstring(id) + L" is not a list");
        }
        Print(std::to_wstring(count));
        for (LRESULT i = 0; i < count; ++i) {
            WPARAM index = static_cast<WPARAM>(i);
            LRESULT length = static_cast<LRESULT>(Query(list, CB_GETLBTEXTLEN, index, 0));
            std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
            LRESULT copied = static_cast<LRESULT>(
                Query(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0])));
            text.resize(copied > 0 && copied < length + 1 ? static_cast<size_t>(copied) : 0);
            Print(EscapeLineBreaks(text));
        }
    }

    void PrintPosition(int id) {
        Print(std::to_wstring(static_cast<LRESULT>(Query(Control(id), PBM_GETPOS, 0, 0))));
    }

    void SaveWindowAsShown(const std::wstring& file) {
        RECT area = {};
        GetWindowRect(CurrentWindow(), &area);
        SaveScreenArea(area, file);
    }

    // What the Esc key and the close box do to a dialog.
    void PressEscape() {
        HWND target = CurrentWindow();
        if (!PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1) ||
            !PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0000001)) {
            Fail(L"cannot press Esc");
        }
    }

    void PressCloseBox() {
        if (!PostMessageW(CurrentWindow(), WM_SYSCOMMAND, SC_CLOSE, 0)) {
            Fail(L"cannot close the window");
        }
    }

    void WaitForInput(DWORD limit) {
        HWND target = CurrentWindow();
        DWORD begin = GetTickCount();
        // Enabled before and after a ping and a pause: the moment of a closing dialog is over.
        // A handler that keeps the window's thread busy for long (a slow machine, an emulated
        // one) answers the ping late; that is part of the wait, not a failure.
        int enabledInARow = 0;
        for (;;) {
            DWORD waited = GetTickCount() - begin;
            if (waited >= limit) {
                Fail(L"the window took no input within " + SecondsText(limit));
            }
            if (!IsWindow(target)) {
                Fail(L"the window closed while waiting for it to take input");
            }
            if (IsWindowEnabled(target) && Answers(target, limit - waited) &&
                IsWindowEnabled(target)) {
                if (++enabledInARow == 2) {
                    return;
                }
            } else {
                enabledInARow = 0;
            }
            Sleep(kPollMilliseconds);
        }
    }

    void CheckResponds() {
        HWND target = CurrentWindow();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kResponseMilliseconds,
                                 &result)) {
            Fail(L"the window did not answer within " + SecondsText(kResponseMilliseconds));
        }
        if (IsHungAppWindow(target)) {
            Fail(L"the system calls the window hung");
        }
    }

    void PrintRect() {
        RECT area = {};
        GetWindowRect(CurrentWindow(), &area);
        Print(std::to_wstring(area.left) + L"\t" + std::to_wstring(area.top) + L"\t" +
              std::to_wstring(area.right - area.left) + L"\t" +
              std::to_wstring(area.bottom - area.top));
    }

    void Move(int x, int y) {
        if (!SetWindowPos(CurrentWindow(), nullptr, x, y, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
            Fail(L"cannot move the window");
        }
    }

    void PrintEndSessionAnswer() {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(CurrentWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMilliseconds, &answer)) {
            Fail(L"the window did not answer the end of the session");
        }
        Print(answer ? L"1" : L"0");
    }

    void SaveScreenPicture(const std::wstring& file) {
        RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SaveScreenArea(area, file);
    }

    void WaitForExit(DWORD limit) {
        HANDLE target = process;
        bool opened = false;
        if (!target) {
            DWORD owner = 0;
            GetWindowThreadProcessId(CurrentWindow(), &owner);
            target = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, owner);
            if (!target) {
                Fail(L"cannot open the process of the current window");
            }
            opened = true;
        }
        DWORD waited = WaitForSingleObject(target, limit);
        DWORD code = 0;
        GetExitCodeProcess(target, &code);
        if (opened) {
            CloseHandle(target);
        }
        if (waited != WAIT_OBJECT_0) {
            Fail(L"the program did not end within " + SecondsText(limit));
        }
        Print(std::to_wstring(code));
    }

private:
    HWND CurrentWindow() {
        if (!window || !IsWindow(window)) {
            Fail(L"no current window (a window or dialog step must find one first)");
        }
        return window;
    }

    // A control takes the user's input only when it and its top-level window are enabled.
    static bool TakesInput(HWND control) {
        return IsWindowEnabled(control) && IsWindowEnabled(GetAncestor(control, GA_ROOT));
    }

    HWND Control(int id) {
        HWND control = GetDlgItem(CurrentWindow(), id);
        if (!control) {
            Fail(L"no control " + std::to_wstring(id) + L" in window " +
                 Quoted(WindowCaption(window)));
        }
        return control;
    }

    // Whether the window's thread handles everything sent to it so far within `limit`.
    static bool Answers(HWND target, DWORD limit) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, limit, &result) != 0;
    }

    // Red text of the notices: red at least 0xC0, green and blue at most 0x40.
    static bool IsRed(const BYTE* bgr) {
        return bgr[2] >= 0xC0 && bgr[1] <= 0x40 && bgr[0] <= 0x40;
    }

    // Dark (black) text: all three at most 0x40.
    static bool IsDark(const BYTE* bgr) {
        return bgr[2] <= 0x40 && bgr[1] <= 0x40 && bgr[0] <= 0x40;
    }

    // Lets the program finish what it is doing and paint afresh, and the picture reach the screen.
    static void RepaintAndSettle(HWND target) {
        Ping(target);
        RedrawWindow(target, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Ping(target);
        Sleep(kPaintSettleMilliseconds);
    }

    // Strings FIRST.. of PROGRAM's string table as the system's lookup picks them for the user.
    static std::vector<std::wstring> StringTableLines(const std::wstring& program, int first,
                                                      int count) {
        HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) {
            Fail(L"cannot read the resources of " + Quoted(program));
        }
        std::vector<std::wstring> lines;
        for (int id = first; id < first + count; ++id) {
            wchar_t text[1024] = {};
            int length = LoadStringW(module, static_cast<UINT>(id), text, 1024);
            lines.emplace_back(text, static_cast<size_t>(length > 0 ? length : 0));
        }
        FreeLibrary(module);
        return lines;
    }

    static COLORREF MostCommonColour(const ScreenPicture& picture) {
        std::vector<std::pair<COLORREF, unsigned long>> counts;
        for (LONG row = 0; row < picture.header.biHeight; ++row) {
            const BYTE* pixel = picture.bits.data() + picture.stride * static_cast<DWORD>(row);
            for (LONG column = 0; column < picture.header.biWidth; ++column, pixel += 3) {
                COLORREF colour = RGB(pixel[2], pixel[1], pixel[0]);
                auto found = std::find_if(counts.begin(), counts.end(),
                                          [colour](const auto& c) { return c.first == colour; });
                if (found == counts.end()) {
                    counts.emplace_back(colour, 1);
                } else {
                    ++found->second;
                }
            }
        }
        auto most =
            std::max_element(counts.begin(), counts.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        return most == counts.end() ? RGB(0xFF, 0xFF, 0xFF) : most->first;
    }

    // The lines in black over `background`, in the notices' face ("ＭＳ Ｐゴシック") and the
    // system's default character set, from Unicode: no code page stands between table and glyph.
    static ScreenPicture DrawLines(const std::vector<std::wstring>& lines, int width, int height,
                                   int pitch, int points, COLORREF background) {
        return Paint(
            width, height, L"cannot draw the reference lines", [&](HDC memory, HDC screen) {
                LOGFONTW description = {};
                description.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
                description.lfWeight = FW_NORMAL;
                description.lfCharSet = DEFAULT_CHARSET;
                wcscpy(description.lfFaceName, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
                HFONT font = CreateFontIndirectW(&description);
                HBRUSH fill = CreateSolidBrush(background);
                bool drawn = font && fill;
                if (drawn) {
                    HGDIOBJ previous = SelectObject(memory, font);
                    RECT all = {0, 0, width, height};
                    FillRect(memory, &all, fill);
                    SetBkMode(memory, TRANSPARENT);
                    SetTextColor(memory, RGB(0, 0, 0));
                    for (size_t i = 0; i < lines.size(); ++i) {
                        drawn = TextOutW(memory, 0, pitch * static_cast<int>(i), lines[i].c_str(),
                                         static_cast<int>(lines[i].size())) &&
                                drawn;
                    }
                    SelectObject(memory, previous);
                }
                if (fill) {
                    DeleteObject(fill);
                }
                if (font) {
                    DeleteObject(font);
                }
                return drawn;
            });
    }

    // Waits until the window's thread has handled everything sent to it so far.
    static void Ping(HWND target) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMilliseconds, &result)) {
            Fail(L"the window does not respond");
        }
    }

    // One message to a control of the driven program and its answer.
    static DWORD_PTR Query(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                           UINT limit = kMessageTimeoutMilliseconds) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, limit,
                                 &result)) {
            Fail(L"control " + std::to_wstring(GetDlgCtrlID(control)) + L" does not respond");
        }
        return result;
    }

    // WM_GETTEXT rather than GetWindowText: only the message gives a control's text across
    // processes (and a drop-down list's selected entry).
    static std::wstring ControlText(HWND control) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMilliseconds, &length)) {
            Fail(L"control " + std::to_wstring(GetDlgCtrlID(control)) + L" does not respond");
        }
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(control, WM_GETTEXT, length + 1,
                                 reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMilliseconds, &copied)) {
            Fail(L"control " + std::to_wstring(GetDlgCtrlID(control)) + L" does not respond");
        }
        text.resize(copied < length ? copied : length);
        return text;
    }

    static ScreenPicture CopyScreen(RECT area) {
        area.left = area.left > 0 ? area.left : 0;
        area.top = area.top > 0 ? area.top : 0;
        int width = area.right - area.left;
        int height = area.bottom - area.top;
        if (width <= 0 || height <= 0) {
            Fail(L"nothing to take a picture of");
        }
        return Paint(width, height, L"cannot copy the screen", [&](HDC memory, HDC screen) {
            return BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) !=
                   FALSE;
        });
    }

    // A picture of WIDTH x HEIGHT that `draw` makes in a memory device over the screen's;
    // fails with `failure` when it cannot.
    template <typename Draw>
    static ScreenPicture Paint(int width, int height, const wchar_t* failure, Draw draw) {
        ScreenPicture picture;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        picture.header = info.bmiHeader;
        picture.stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;

        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bool drawn = false;
        if (memory && bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            drawn = draw(memory, screen);
            SelectObject(memory, previous);
            GdiFlush();
        }
        if (drawn) {
            const BYTE* first = static_cast<const BYTE*>(bits);
            picture.bits.assign(first, first + picture.stride * static_cast<DWORD>(height));
        }
        if (bitmap) {
            DeleteObject(bitmap);
        }
        if (memory) {
            DeleteDC(memory);
        }
        ReleaseDC(nullptr, screen);
        if (!drawn) {
            Fail(failure);
        }
        return picture;
    }

    static void SaveScreenArea(RECT area, const std::wstring& file) {
        ScreenPicture picture = CopyScreen(area);
        DWORD imageSize = static_cast<DWORD>(picture.bits.size());
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof(header) + sizeof(picture.header);
        header.bfSize = header.bfOffBits + imageSize;
        bool written = false;
        HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD count = 0;
            written = WriteFile(out, &header, sizeof(header), &count, nullptr) &&
                      WriteFile(out, &picture.header, sizeof(picture.header), &count, nullptr) &&
                      WriteFile(out, picture.bits.data(), imageSize, &count, nullptr);
            written = CloseHandle(out) && written;
        }
        if (!written) {
            Fail(L"cannot write " + Quoted(file));
        }
    }

    HANDLE process = nullptr;
    DWORD processId = 0;
    std::wstring programName;
    HWND window = nullptr;
};

// Consumes the arguments of one step, naming the step when they run out.
class Arguments {
public:
    Arguments(int argc, wchar_t** argv) : count(argc), values(argv) {}

    bool Done() const { return next >= count; }

    std::wstring Take(const std::wstring& step) {
        if (next >= count) {
            Exit(kUsage, L"step " + Quoted(step) + L" needs more arguments");
        }
        return values[next++];
    }

private:
    int count;
    wchar_t** values;
    int next = 1;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        Exit(kUsage, L"usage: uidriver STEP [STEP ...] (the steps are listed in uidriver.cpp)");
    }
    Driver driver;
    Arguments arguments(argc, argv);
    while (!arguments.Done()) {
        std::wstring step = arguments.Take(L"");
        if (step == L"start") {
            std::wstring program = arguments.Take(step);
            driver.Start(program, L"", arguments.Take(step));
        } else if (step == L"start-with") {
            std::wstring program = arguments.Take(step);
            std::wstring programArguments = arguments.Take(step);
            driver.Start(program, programArguments, arguments.Take(step));
        } else if (step == L"window") {
            std::wstring title = arguments.Take(step);
            DWORD limit = ParseSeconds(arguments.Take(step));
            driver.WaitForWindow(&title, nullptr, limit, L"window titled " + Quoted(title));
        } else if (step == L"dialog") {
            std::wstring list = arguments.Take(step);
            std::vector<int> ids = ParseIdList(list);
            DWORD limit = ParseSeconds(arguments.Take(step));
            driver.WaitForWindow(nullptr, &ids, limit, L"window with controls " + list);
        } else if (step == L"caption") {
            driver.PrintCaption();
        } else if (step == L"text") {
            driver.PrintText(ParseId(arguments.Take(step)));
        } else if (step == L"click") {
            driver.Click(ParseId(arguments.Take(step)));
        } else if (step == L"controls") {
            driver.PrintControls();
        } else if (step == L"ink") {
            int x = ParseNumber(arguments.Take(step));
            int y = ParseNumber(arguments.Take(step));
            int width = ParseNumber(arguments.Take(step));
            driver.PrintInk(x, y, width, ParseNumber(arguments.Take(step)));
        } else if (step == L"painted") {
            std::wstring program = arguments.Take(step);
            int first = ParseId(arguments.Take(step));
            int count = ParseNumber(arguments.Take(step));
            int x = ParseNumber(arguments.Take(step));
            int y = ParseNumber(arguments.Take(step));
            int pitch = ParseNumber(arguments.Take(step));
            driver.PrintPaintedLinesDifference(program, first, count, x, y, pitch,
                                               ParseNumber(arguments.Take(step)));
        } else if (step == L"select") {
            int id = ParseId(arguments.Take(step));
            driver.Select(id, ParseIndex(arguments.Take(step)));
        } else if (step == L"entries") {
            driver.PrintEntries(ParseId(arguments.Take(step)));
        } else if (step == L"position") {
            driver.PrintPosition(ParseId(arguments.Take(step)));
        } else if (step == L"snap") {
            driver.SaveWindowAsShown(arguments.Take(step));
        } else if (step == L"escape") {
            driver.PressEscape();
        } else if (step == L"close") {
            driver.PressCloseBox();
        } else if (step == L"input") {
            driver.WaitForInput(ParseSeconds(arguments.Take(step)));
        } else if (step == L"responds") {
            driver.CheckResponds();
        } else if (step == L"rect") {
            driver.PrintRect();
        } else if (step == L"move") {
            int x = ParseNumber(arguments.Take(step));
            driver.Move(x, ParseNumber(arguments.Take(step)));
        } else if (step == L"end-session") {
            driver.PrintEndSessionAnswer();
        } else if (step == L"shot") {
            driver.SaveWindowPicture(arguments.Take(step));
        } else if (step == L"screen") {
            driver.SaveScreenPicture(arguments.Take(step));
        } else if (step == L"wait-exit") {
            driver.WaitForExit(ParseSeconds(arguments.Take(step)));
        } else {
            Exit(kUsage, L"unknown step " + Quoted(step));
        }
    }
    return kSuccess;
}
