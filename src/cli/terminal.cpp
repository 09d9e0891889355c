#include "cli/terminal.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "cli/language.h"

namespace quillet {

namespace {

constexpr int kBarWidth = 40;
constexpr int kPlainLineEvery = 10;  // percent

}  // namespace

MessageButton TerminalMessageBox::Show(const std::string& text, const std::string& caption,
                                       MessageIcon, bool, WindowHandle) {
    // The core's boxes in the user's language, where quillet's catalogue has them.
    out_ << (caption.empty() ? std::string("quillet") : _(caption.c_str())) << ": "
         << _(text.c_str()) << std::endl;
    return MessageButton::Ok;
}

TerminalProgress::~TerminalProgress() {
    BreakLine();
}

void TerminalProgress::BreakLine() {
    if (lineOpen_)
        out_ << std::endl;
    lineOpen_ = false;
}

void TerminalProgress::SetRange(uint16_t lower, uint16_t upper) {
    lower_ = lower;
    upper_ = std::max<int>(lower, upper);
    position_ = std::clamp(position_, lower_, upper_);
}

void TerminalProgress::SetPos(int position) {
    position_ = std::clamp(position, lower_, upper_);
    Draw();
}

void TerminalProgress::StepIt() {
    position_ += step_;
    if (position_ > upper_)
        position_ = lower_ + (position_ - upper_);
    position_ = std::clamp(position_, lower_, upper_);
    Draw();
}

void TerminalProgress::Draw() {
    const int span = upper_ - lower_;
    const int percent = span > 0 ? (position_ - lower_) * 100 / span : 100;
    if (percent == drawn_)
        return;
    if (!inPlace_) {
        // Plain lines: the start, every tenth and the end.
        if (drawn_ >= 0 && percent / kPlainLineEvery == drawn_ / kPlainLineEvery && percent != 100)
            return;
        drawn_ = percent;
        out_ << Fill(_("progress {1}%"), {std::to_string(percent)}) << std::endl;
        return;
    }
    drawn_ = percent;
    const int filled = percent * kBarWidth / 100;
    lineOpen_ = true;
    out_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
         << percent << "%" << std::flush;
}

std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '.';
    }
    return shown;
}

bool AskYesNo(std::istream& in, std::ostream& out, const std::string& question) {
    out << question << " " << YesNoSuffix() << " " << std::flush;
    std::string answer;
    return std::getline(in, answer) && MeansYes(answer);
}

}  // namespace quillet
