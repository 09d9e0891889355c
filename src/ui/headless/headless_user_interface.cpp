#include "ui/headless/headless_user_interface.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "res/compiled_resources.h"
#include "ui/dialog.h"
#include "ui/headless/headless_window.h"
#include "ui/paint.h"

namespace quillet {

namespace {

constexpr std::uint32_t kWsSysMenu = 0x00080000;
constexpr GdiHandle kStockFont = 0x0F00;
constexpr GdiHandle kFirstFont = 0x1000;
constexpr IconHandle kFirstIcon = 0x20000;
// A modal loop that dispatches this much without ending has a handler that keeps posting.
constexpr std::size_t kDispatchLimit = 100000;
// Dialog base units of the headless layout at 96 pixels per inch.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 12;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

HeadlessKind KindOf(const std::string& className) {
    std::string name = Lower(className);
    if (name == "button")
        return HeadlessKind::Button;
    if (name == "static")
        return HeadlessKind::Static;
    if (name == "combobox")
        return HeadlessKind::ComboBox;
    if (name == "msctls_progress32")
        return HeadlessKind::ProgressBar;
    return HeadlessKind::Other;
}

ResourceFile ProgramResources() {
    std::optional<ResourceFile> resources =
        ResourceFile::Parse(CompiledResourceData(), CompiledResourceSize());
    if (!resources)
        throw std::runtime_error("the program's compiled resources are malformed");
    return std::move(*resources);
}

std::string Named(int templateId) {
    return "dialog " + std::to_string(templateId);
}

}  // namespace

// One paint of a headless dialog, recorded into its DialogRecord.
class HeadlessPaintDevice final : public PaintDevice {
public:
    HeadlessPaintDevice(HeadlessUserInterface& ui, HeadlessWindow* window)
        : ui_(ui), window_(window) {
        if (!window_)
            return;
        ++ui_.openPaints_;
        window_->needsPaint = false;
        std::vector<PaintRecord>& paints = ui_.RecordOf(*window_).paints;
        paints.emplace_back();
        paint_ = paints.size() - 1;
    }
    ~HeadlessPaintDevice() override {
        if (!window_)
            return;
        --ui_.openPaints_;
        if (HeadlessUserInterface::FontObject* font = ui_.Font(font_))
            --font->selections;
    }

    int PixelsPerInchY() const override { return window_ ? ui_.pixelsPerInch_ : 0; }
    int SetBackgroundMode(int mode) override {
        if (!window_)
            return 0;
        std::swap(mode, backgroundMode_);
        return mode;
    }
    Colour SetTextColour(Colour colour) override {
        if (!window_)
            return 0;
        std::swap(colour, textColour_);
        return colour;
    }
    GdiHandle SelectObject(GdiHandle object) override {
        if (!window_)
            return 0;
        HeadlessUserInterface::FontObject* font = ui_.Font(object);
        if (object != kStockFont && (!font || !font->alive)) {
            ui_.errors_.push_back("a paint selected a font that does not exist");
            return 0;
        }
        if (font)
            ++font->selections;
        if (HeadlessUserInterface::FontObject* old = ui_.Font(font_))
            --old->selections;
        std::swap(object, font_);
        return object;
    }
    bool WriteText(int x, int y, const std::string& text) override {
        if (!window_)
            return false;
        PaintedText painted{x, y, text, textColour_, backgroundMode_, ui_.FontDescription(font_)};
        ui_.RecordOf(*window_).paints[paint_].texts.push_back(std::move(painted));
        return true;
    }
    bool DrawIcon(int x, int y, IconHandle icon) override {
        if (!window_ || icon == 0)
            return false;
        ui_.RecordOf(*window_).paints[paint_].icons.push_back(PaintedIcon{x, y, icon});
        return true;
    }

private:
    HeadlessUserInterface& ui_;
    HeadlessWindow* window_;
    std::size_t paint_ = 0;
    int backgroundMode_ = kOpaque;
    Colour textColour_ = Rgb(0, 0, 0);
    GdiHandle font_ = kStockFont;
};

int HeadlessDialogView::TemplateId() const {
    return ui_.RecordOf(window_).templateId;
}

WindowHandle HeadlessDialogView::Handle() const {
    return HeadlessUserInterface::HandleOf(&window_);
}

std::string HeadlessDialogView::Caption() const {
    return window_.text;
}

WindowHandle HeadlessDialogView::Item(int id) const {
    return HeadlessUserInterface::HandleOf(ui_.Child(window_, id));
}

std::string HeadlessDialogView::Text(int id) const {
    return ui_.ReceiveText(Item(id), kWmGetTextLength, kWmGetText, 0);
}

bool HeadlessDialogView::IsEnabled(int id) const {
    return ui_.IsWindowEnabled(Item(id));
}

bool HeadlessDialogView::IsDialogEnabled() const {
    return ui_.IsWindowEnabled(Handle());
}

WindowRect HeadlessDialogView::Bounds() const {
    const PixelSize size = ui_.ClientSize(Handle());
    return WindowRect{window_.x, window_.y, size.width, size.height};
}

void HeadlessDialogView::MoveTo(int x, int y) {
    window_.x = x;
    window_.y = y;
}

void HeadlessDialogView::SetIconic(bool iconic) {
    window_.iconic = iconic;
    window_.needsPaint = true;
}

HeadlessUserInterface::HeadlessUserInterface(LanguageId language, MessageBoxService& messageBoxes)
    : HeadlessUserInterface(ProgramResources(), language, messageBoxes) {}

HeadlessUserInterface::HeadlessUserInterface(ResourceFile resources, LanguageId language,
                                             MessageBoxService& messageBoxes)
    : resources_(std::move(resources)), language_(language), messageBoxes_(messageBoxes) {
    stockFont_.height = 16;
    stockFont_.weight = 700;
    stockFont_.faceName = "System";
}

HeadlessUserInterface::~HeadlessUserInterface() = default;

void HeadlessUserInterface::QueueClick(int templateId, int buttonId) {
    script_.push_back(Action{Action::Kind::Click, templateId, buttonId, 0, nullptr});
}

void HeadlessUserInterface::QueueEscape(int templateId) {
    script_.push_back(Action{Action::Kind::Escape, templateId, 0, 0, nullptr});
}

void HeadlessUserInterface::QueueEnter(int templateId) {
    script_.push_back(Action{Action::Kind::Enter, templateId, 0, 0, nullptr});
}

void HeadlessUserInterface::QueueCloseBox(int templateId) {
    script_.push_back(Action{Action::Kind::CloseBox, templateId, 0, 0, nullptr});
}

void HeadlessUserInterface::ExpectRefused() {
    if (!script_.empty())
        script_.back().refusalExpected = true;
}

MessageButton HeadlessUserInterface::OwnerDisablingBoxes::Show(const std::string& text,
                                                               const std::string& caption,
                                                               MessageIcon icon, bool taskModal,
                                                               WindowHandle owner) {
    const bool disabled = owner != 0 && ui_.IsWindowEnabled(owner);
    if (disabled)
        ui_.EnableWindow(owner, false);
    MessageButton pressed = boxes_.Show(text, caption, icon, taskModal, owner);
    if (disabled)
        ui_.EnableWindow(owner, true);
    return pressed;
}

MessageButton HeadlessUserInterface::OwnerDisablingBoxes::ShowUntitled(const std::string& text,
                                                                       MessageIcon icon,
                                                                       bool taskModal,
                                                                       WindowHandle owner) {
    const bool disabled = owner != 0 && ui_.IsWindowEnabled(owner);
    if (disabled)
        ui_.EnableWindow(owner, false);
    MessageButton pressed = boxes_.ShowUntitled(text, icon, taskModal, owner);
    if (disabled)
        ui_.EnableWindow(owner, true);
    return pressed;
}

void HeadlessUserInterface::QueueSelect(int templateId, int listId, int index) {
    script_.push_back(Action{Action::Kind::Select, templateId, listId, index, nullptr});
}

void HeadlessUserInterface::QueueRepaint(int templateId) {
    script_.push_back(Action{Action::Kind::Repaint, templateId, 0, 0, nullptr});
}

void HeadlessUserInterface::QueueCheck(int templateId,
                                       std::function<void(HeadlessDialogView&)> check) {
    script_.push_back(Action{Action::Kind::Check, templateId, 0, 0, std::move(check)});
}

int HeadlessUserInterface::LiveFonts() const {
    return static_cast<int>(std::count_if(fonts_.begin(), fonts_.end(),
                                          [](const FontObject& font) { return font.alive; }));
}

DialogRecord& HeadlessUserInterface::RecordOf(const HeadlessWindow& dialog) {
    return records_[dialog.record];
}

HeadlessWindow* HeadlessUserInterface::Window(WindowHandle handle) const {
    if (handles_.count(handle) == 0)
        return nullptr;
    return reinterpret_cast<HeadlessWindow*>(handle);
}

HeadlessWindow* HeadlessUserInterface::Child(HeadlessWindow& dialog, int id) const {
    for (HeadlessWindow* child : dialog.children) {
        if (child->id == id)
            return child;
    }
    return nullptr;
}

WindowHandle HeadlessUserInterface::HandleOf(const HeadlessWindow* window) {
    return reinterpret_cast<WindowHandle>(window);
}

HeadlessWindow& HeadlessUserInterface::MakeWindow() {
    windows_.push_back(std::make_unique<HeadlessWindow>());
    HeadlessWindow& window = *windows_.back();
    handles_.insert(HandleOf(&window));
    return window;
}

HeadlessWindow* HeadlessUserInterface::CreateDialogWindow(Dialog& dialog,
                                                          const DialogTemplate& layout) {
    HeadlessWindow& window = MakeWindow();
    window.kind = HeadlessKind::Dialog;
    window.dialog = &dialog;
    window.style = layout.style;
    window.enabled = (layout.style & kWsDisabled) == 0;
    window.text = layout.title;
    window.widthUnits = layout.width;
    window.heightUnits = layout.height;
    for (const DialogItemTemplate& item : layout.items) {
        HeadlessWindow& control = MakeWindow();
        control.className = item.ClassName();
        control.kind = KindOf(control.className);
        control.parent = &window;
        control.id = item.id;
        control.style = item.style;
        control.enabled = (item.style & kWsDisabled) == 0;
        if (!item.title.IsOrdinal())
            control.text = item.title.text;
        window.children.push_back(&control);
    }
    return &window;
}

HeadlessWindow* HeadlessUserInterface::OpenDialog(int templateId) const {
    for (auto open = modal_.rbegin(); open != modal_.rend(); ++open) {
        if (!(*open)->ended && records_[(*open)->record].templateId == templateId)
            return *open;
    }
    return nullptr;
}

void HeadlessUserInterface::PlaceDialog(HeadlessWindow& dialog) {
    const PixelSize size = ClientSize(HandleOf(&dialog));
    WindowRect area{0, 0, kScreenWidth, kScreenHeight};
    if (dialog.owner) {
        const PixelSize owner = ClientSize(HandleOf(dialog.owner));
        area = WindowRect{dialog.owner->x, dialog.owner->y, owner.width, owner.height};
    }
    dialog.x =
        std::max(0, std::min(area.x + (area.width - size.width) / 2, kScreenWidth - size.width));
    dialog.y = std::max(
        0, std::min(area.y + (area.height - size.height) / 2, kScreenHeight - size.height));
    RecordOf(dialog).openedAt = WindowRect{dialog.x, dialog.y, size.width, size.height};
}

int HeadlessUserInterface::RunModal(Dialog& dialog, WindowHandle parent) {
    int templateId = dialog.TemplateId();
    const ResourceEntry* entry =
        templateId >= 0 && templateId <= 0xFFFF
            ? resources_.FindForLanguage(kRtDialog, static_cast<std::uint16_t>(templateId),
                                         language_)
            : nullptr;
    std::optional<DialogTemplate> layout = entry ? ParseDialogTemplate(entry->data) : std::nullopt;
    if (!layout) {
        errors_.push_back("no template for " + Named(templateId));
        return kDialogFailed;
    }
    DialogRecord record;
    record.templateId = templateId;
    record.language = entry->language;
    records_.push_back(record);
    HeadlessWindow* window = CreateDialogWindow(dialog, *layout);
    window->record = records_.size() - 1;
    // As the platform: the owner is disabled while the dialog runs, unless it was already.
    HeadlessWindow* owner = Window(parent);
    if (owner && !owner->destroyed && owner->kind == HeadlessKind::Dialog) {
        window->owner = owner;
        records_.back().ownerTemplateId = RecordOf(*owner).templateId;
    }
    InputHolds::Lift lift(holds_, parent);
    const bool ownerDisabled = window->owner && window->owner->enabled;
    if (ownerDisabled)
        window->owner->enabled = false;
    PlaceDialog(*window);
    dialog.AttachWindow(HandleOf(window));
    modal_.push_back(window);

    Deliver(*window, kWmInitDialog, 0, 0);
    window->needsPaint = true;
    for (std::size_t dispatched = 0; !window->ended; ++dispatched) {
        if (dispatched == kDispatchLimit) {
            Fail(*window, Named(templateId) + " kept dispatching posted messages");
            break;
        }
        if (!posted_.empty()) {
            Posted posted = posted_.front();
            posted_.pop_front();
            if (HeadlessWindow* target = Window(posted.window))
                Deliver(*target, posted.message, posted.wParam, posted.lParam);
            continue;
        }
        if (window->needsPaint) {
            window->needsPaint = false;
            Deliver(*window, kWmPaint, 0, 0);
            continue;
        }
        if (script_.empty() && onScriptEnd_)
            onScriptEnd_(templateId);
        if (script_.empty()) {
            Fail(*window, "the script ran out while " + Named(templateId) + " was open");
            break;
        }
        HeadlessWindow* target = OpenDialog(script_.front().templateId);
        if (!target) {
            Fail(*window, "an action for " + Named(script_.front().templateId) + " came while " +
                              Named(templateId) + " was open");
            break;
        }
        Action action = std::move(script_.front());
        script_.pop_front();
        Perform(action, *target, *window);
    }

    modal_.pop_back();
    if (ownerDisabled)
        window->owner->enabled = true;
    window->destroyed = true;
    for (HeadlessWindow* child : window->children)
        child->destroyed = true;
    dialog.DetachWindow();
    DialogRecord& done = RecordOf(*window);
    done.caption = window->text;
    done.result = window->result;
    return window->result;
}

bool HeadlessUserInterface::ServeMessages() {
    if (!holds_.Any())
        return false;
    while (!posted_.empty()) {
        Posted posted = posted_.front();
        posted_.pop_front();
        if (HeadlessWindow* target = Window(posted.window))
            Deliver(*target, posted.message, posted.wParam, posted.lParam);
    }
    for (HeadlessWindow* open : modal_) {
        if (open->needsPaint && !open->ended) {
            open->needsPaint = false;
            Deliver(*open, kWmPaint, 0, 0);
        }
    }
    if (!script_.empty()) {
        if (HeadlessWindow* target = OpenDialog(script_.front().templateId)) {
            Action action = std::move(script_.front());
            script_.pop_front();
            Perform(action, *target, *target);
        }
    }
    if (onServe_)
        onServe_();
    return true;
}

void HeadlessUserInterface::Perform(const Action& action, HeadlessWindow& dialog,
                                    HeadlessWindow& running) {
    std::string where = " in " + Named(action.templateId);
    HeadlessWindow* control = Child(dialog, action.controlId);
    const bool input = action.kind != Action::Kind::Repaint && action.kind != Action::Kind::Check;
    if (input) {
        // Input reaches neither a disabled dialog nor a disabled control of it.
        std::string refusal;
        if (!dialog.enabled)
            refusal = Named(action.templateId) + " is disabled";
        else if (control && !control->enabled &&
                 (action.kind == Action::Kind::Click || action.kind == Action::Kind::Select))
            refusal = "control " + std::to_string(action.controlId) + " is disabled" + where;
        if (!refusal.empty()) {
            if (action.refusalExpected)
                refused_.push_back(refusal);
            else
                Fail(running, refusal);
            return;
        }
        if (action.refusalExpected)
            errors_.push_back("an action" + where + " was not refused");
    }
    switch (action.kind) {
        case Action::Kind::Click:
            if (!control || control->kind != HeadlessKind::Button)
                return Fail(running, "no button " + std::to_string(action.controlId) + where);
            return Command(dialog, action.controlId, kBnClicked);
        case Action::Kind::Escape:
            return Command(dialog, kIdCancel, kBnClicked);
        case Action::Kind::Enter: {
            for (HeadlessWindow* child : dialog.children) {
                if (child->kind == HeadlessKind::Button &&
                    (child->style & kBsTypeMask) == kBsDefPushButton) {
                    if (child->enabled)
                        Command(dialog, child->id, kBnClicked);
                    return;
                }
            }
            return Command(dialog, kIdOk, kBnClicked);
        }
        case Action::Kind::CloseBox:
            if ((dialog.style & kWsSysMenu) == 0)
                return Fail(running, "no close box" + where);
            Deliver(dialog, kWmSysCommand, kScClose, 0);
            return;
        case Action::Kind::Select:
            if (!control || control->kind != HeadlessKind::ComboBox)
                return Fail(running, "no list " + std::to_string(action.controlId) + where);
            if (action.index < 0 || action.index >= static_cast<int>(control->entries.size()))
                return Fail(running, "list " + std::to_string(action.controlId) + " has no entry " +
                                         std::to_string(action.index) + where);
            control->selection = action.index;
            return Command(dialog, action.controlId, kCbnSelChange);
        case Action::Kind::Repaint:
            dialog.needsPaint = true;
            return;
        case Action::Kind::Check: {
            HeadlessDialogView view(*this, dialog);
            action.check(view);
            return;
        }
    }
}

void HeadlessUserInterface::Command(HeadlessWindow& dialog, int id, int notification) {
    Deliver(dialog, kWmCommand,
            MakeWParam(static_cast<unsigned>(id), static_cast<unsigned>(notification)),
            static_cast<MessageLParam>(HandleOf(Child(dialog, id))));
}

void HeadlessUserInterface::Fail(HeadlessWindow& dialog, const std::string& error) {
    errors_.push_back(error);
    dialog.ended = true;
    dialog.result = kDialogFailed;
}

MessageResult HeadlessUserInterface::Deliver(HeadlessWindow& window, unsigned message,
                                             MessageWParam wParam, MessageLParam lParam,
                                             const std::string* textIn, std::string* textOut) {
    if (window.destroyed)
        return 0;
    if (window.kind != HeadlessKind::Dialog)
        return ControlMessage(window, message, wParam, lParam, textIn, textOut);
    // Text messages carry a pointer on the platform; the dialog object never maps them.
    if (!textIn && !textOut && window.dialog) {
        MessageResult result = 0;
        if (window.dialog->HandleMessage(message, wParam, lParam, result))
            return result;
    }
    return DefaultDialogMessage(window, message, wParam, lParam, textIn, textOut);
}

MessageResult HeadlessUserInterface::DefaultDialogMessage(HeadlessWindow& dialog, unsigned message,
                                                          MessageWParam wParam,
                                                          MessageLParam lParam,
                                                          const std::string* textIn,
                                                          std::string* textOut) {
    switch (message) {
        case kWmSetText:
        case kWmGetText:
        case kWmGetTextLength:
            return WindowTextMessage(dialog, message, wParam, textIn, textOut);
        case kWmSetIcon: {
            DialogRecord& record = RecordOf(dialog);
            IconHandle& slot = wParam == kIconBig ? record.bigIcon : record.smallIcon;
            IconHandle previous = slot;
            slot = static_cast<IconHandle>(lParam);
            return static_cast<MessageResult>(previous);
        }
        case kWmClose: {
            // As the platform's dialogs: "Cancel" is pressed, unless it is disabled.
            HeadlessWindow* cancel = Child(dialog, kIdCancel);
            if (cancel && !cancel->enabled) {
                MessageBeep(kBeepDefault);
                return 0;
            }
            Post(HandleOf(&dialog), kWmCommand, MakeWParam(kIdCancel, kBnClicked),
                 static_cast<MessageLParam>(HandleOf(cancel)));
            return 0;
        }
        case kWmSysCommand:
            if ((wParam & 0xFFF0u) == kScClose)
                return Deliver(dialog, kWmClose, 0, 0);
            return 0;
        case kWmPaint:
            dialog.needsPaint = false;
            return 0;
        default:
            return 0;
    }
}

void HeadlessUserInterface::EndDialog(WindowHandle handle, int result) {
    HeadlessWindow* window = Window(handle);
    if (!window || window->kind != HeadlessKind::Dialog || window->destroyed)
        return;
    window->ended = true;
    window->result = result;
}

WindowHandle HeadlessUserInterface::GetDlgItem(WindowHandle dialog, int id) {
    HeadlessWindow* window = Window(dialog);
    if (!window || window->destroyed)
        return 0;
    return HandleOf(Child(*window, id));
}

MessageResult HeadlessUserInterface::Send(WindowHandle handle, unsigned message,
                                          MessageWParam wParam, MessageLParam lParam) {
    HeadlessWindow* window = Window(handle);
    return window ? Deliver(*window, message, wParam, lParam) : 0;
}

MessageResult HeadlessUserInterface::SendText(WindowHandle handle, unsigned message,
                                              MessageWParam wParam, const std::string& text) {
    HeadlessWindow* window = Window(handle);
    if (!window)
        return 0;
    return Deliver(*window, message, wParam, 0, &text, nullptr);
}

std::string HeadlessUserInterface::ReceiveText(WindowHandle handle, unsigned lengthMessage,
                                               unsigned textMessage, MessageWParam wParam) {
    HeadlessWindow* window = Window(handle);
    if (!window)
        return std::string();
    MessageResult length = Deliver(*window, lengthMessage, wParam, 0);
    if (length < 0)
        return std::string();
    MessageWParam textParam =
        textMessage == kWmGetText ? static_cast<MessageWParam>(length) + 1 : wParam;
    std::string text;
    MessageResult copied = Deliver(*window, textMessage, textParam, 0, nullptr, &text);
    if (copied < 0)
        return std::string();
    if (text.size() > static_cast<std::size_t>(copied))
        text.resize(static_cast<std::size_t>(copied));
    return text;
}

bool HeadlessUserInterface::Post(WindowHandle handle, unsigned message, MessageWParam wParam,
                                 MessageLParam lParam) {
    HeadlessWindow* window = Window(handle);
    if (!window || window->destroyed)
        return false;
    posted_.push_back(Posted{handle, message, wParam, lParam});
    return true;
}

bool HeadlessUserInterface::EnableWindow(WindowHandle handle, bool enable) {
    HeadlessWindow* window = Window(handle);
    if (!window || window->destroyed)
        return false;
    bool wasDisabled = !window->enabled;
    window->enabled = enable;
    return wasDisabled;
}

bool HeadlessUserInterface::IsWindowEnabled(WindowHandle handle) {
    HeadlessWindow* window = Window(handle);
    return window && !window->destroyed && window->enabled;
}

bool HeadlessUserInterface::IsIconic(WindowHandle handle) {
    HeadlessWindow* window = Window(handle);
    return window && !window->destroyed && window->iconic;
}

PixelSize HeadlessUserInterface::ClientSize(WindowHandle handle) {
    HeadlessWindow* window = Window(handle);
    if (!window || window->destroyed || window->kind != HeadlessKind::Dialog)
        return PixelSize{};
    int unitX = MultiplyDivide(kBaseUnitX, pixelsPerInch_, 96);
    int unitY = MultiplyDivide(kBaseUnitY, pixelsPerInch_, 96);
    return PixelSize{MultiplyDivide(window->widthUnits, unitX, 4),
                     MultiplyDivide(window->heightUnits, unitY, 8)};
}

bool HeadlessUserInterface::AppendSystemMenuSeparator(WindowHandle handle) {
    return AppendSystemMenuItem(handle, 0, std::string());
}

bool HeadlessUserInterface::AppendSystemMenuItem(WindowHandle handle, unsigned commandId,
                                                 const std::string& text) {
    HeadlessWindow* window = Window(handle);
    if (!window || window->destroyed || window->kind != HeadlessKind::Dialog ||
        (window->style & kWsSysMenu) == 0)
        return false;
    RecordOf(*window).systemMenu.push_back(SystemMenuItem{commandId, text});
    return true;
}

std::unique_ptr<PaintDevice> HeadlessUserInterface::BeginPaint(WindowHandle handle) {
    HeadlessWindow* window = Window(handle);
    if (window && (window->destroyed || window->kind != HeadlessKind::Dialog))
        window = nullptr;
    return std::make_unique<HeadlessPaintDevice>(*this, window);
}

GdiHandle HeadlessUserInterface::CreateFontObject(const LogFont& font) {
    fonts_.push_back(FontObject{font, true, 0});
    return kFirstFont + fonts_.size() - 1;
}

bool HeadlessUserInterface::DeleteObject(GdiHandle object) {
    FontObject* font = Font(object);
    if (!font || !font->alive) {
        errors_.push_back("a font was deleted that does not exist");
        return false;
    }
    if (font->selections > 0) {
        errors_.push_back("a font was deleted while selected into a paint");
        return false;
    }
    font->alive = false;
    return true;
}

HeadlessUserInterface::FontObject* HeadlessUserInterface::Font(GdiHandle handle) {
    if (handle < kFirstFont || handle - kFirstFont >= fonts_.size())
        return nullptr;
    return &fonts_[handle - kFirstFont];
}

const LogFont& HeadlessUserInterface::FontDescription(GdiHandle handle) {
    FontObject* font = Font(handle);
    return font ? font->font : stockFont_;
}

std::string HeadlessUserInterface::LoadStringResource(int id) {
    auto replaced = replacedStrings_.find(id);
    if (replaced != replacedStrings_.end())
        return replaced->second;
    return resources_.FindString(id, language_).value_or(std::string());
}

LanguageId HeadlessUserInterface::StringLanguage(int id) {
    if (id < 0 || id > 0xFFFF)
        return 0;
    const ResourceEntry* block =
        resources_.FindForLanguage(kRtString, static_cast<std::uint16_t>(id / 16 + 1), language_);
    return block ? block->language : 0;
}

IconHandle HeadlessUserInterface::LoadIconResource(int id) {
    if (id < 0 || id > 0xFFFF ||
        resources_.Languages(kRtGroupIcon, static_cast<std::uint16_t>(id)).empty())
        return 0;
    return kFirstIcon + static_cast<IconHandle>(id);
}

void HeadlessUserInterface::BeginWaitCursor() {
    ++waitCursorDepth_;
    ++waitCursorShown_;
}

void HeadlessUserInterface::EndWaitCursor() {
    if (waitCursorDepth_ == 0) {
        errors_.push_back("the wait cursor ended more often than it began");
        return;
    }
    --waitCursorDepth_;
}

void HeadlessUserInterface::ReportHandlerFailure(WindowHandle dialog, const std::string& what) {
    HeadlessWindow* window = Window(dialog);
    int templateId =
        window && window->kind == HeadlessKind::Dialog ? RecordOf(*window).templateId : 0;
    errors_.push_back("a handler of " + Named(templateId) + " failed: " + what);
}

}  // namespace quillet
