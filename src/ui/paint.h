// Painting a dialog: the paint context of one WM_PAINT, fonts, and the platform's rounding
// multiply-divide that font heights use.
#pragma once

#include <memory>
#include <string>

#include "ui/dialog.h"
#include "ui/user_interface.h"

namespace quillet {

// number * numerator / denominator with a 64-bit intermediate, rounded to the nearest integer
// (halves away from zero); -1 when the denominator is 0 or the result does not fit in an int.
int MultiplyDivide(int number, int numerator, int denominator);

// BeginPaint on construction, EndPaint on destruction.
class PaintContext {
public:
    explicit PaintContext(Dialog& window) : device_(window.Ui().BeginPaint(window.Handle())) {}
    PaintContext(const PaintContext&) = delete;
    PaintContext& operator=(const PaintContext&) = delete;

    int PixelsPerInchY() const { return device_ ? device_->PixelsPerInchY() : 0; }
    int SetBackgroundMode(int mode) { return device_ ? device_->SetBackgroundMode(mode) : 0; }
    Colour SetTextColour(Colour colour) { return device_ ? device_->SetTextColour(colour) : 0; }
    GdiHandle SelectObject(GdiHandle object) { return device_ ? device_->SelectObject(object) : 0; }
    bool WriteText(int x, int y, const std::string& text) {
        return device_ && device_->WriteText(x, y, text);
    }
    bool DrawIcon(int x, int y, IconHandle icon) {
        return device_ && device_->DrawIcon(x, y, icon);
    }
    MessageWParam DeviceContext() const { return device_ ? device_->DeviceContext() : 0; }

private:
    std::unique_ptr<PaintDevice> device_;
};

// A font the program creates and deletes again when the object ends.
class Font {
public:
    Font(UserInterface& ui, const LogFont& description)
        : ui_(ui), handle_(ui.CreateFontObject(description)) {}
    ~Font() {
        if (handle_ != 0)
            ui_.DeleteObject(handle_);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    GdiHandle Handle() const { return handle_; }

private:
    UserInterface& ui_;
    GdiHandle handle_;
};

// Selects a font into a paint context and puts the previous one back when it ends, so that the
// font is no longer selected when it is deleted. Declare it after the Font it selects.
class FontSelection {
public:
    FontSelection(PaintContext& context, const Font& font)
        : context_(context),
          previous_(font.Handle() != 0 ? context.SelectObject(font.Handle()) : 0) {}
    ~FontSelection() {
        if (previous_ != 0)
            context_.SelectObject(previous_);
    }
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;

private:
    PaintContext& context_;
    GdiHandle previous_;
};

}  // namespace quillet
