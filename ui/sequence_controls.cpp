#include "ui/sequence_controls.h"

#include <cwchar>

#include "uiframework/attributes.h"
#include "uiframework/window.h"
#include "utils/trace_log.h"

namespace {

// Frame names must fit a 260-character buffer including the terminator.
constexpr size_t kMaxFrameName = 260;

// Only "false" turns a switch off; "False", "0" and anything else mean on.
bool SwitchValue(std::wstring_view value) {
    return value != L"false";
}

// Finds the one integer conversion of a printf pattern: "%", flags, width and precision
// digits, then d, i, u, x, X or o. "%%" is a literal percent sign. Returns the conversion's
// span, or nothing when there is none, more than one, or any other conversion (a pattern
// from a skin file must never reach printf with a conversion that reads other arguments).
struct Conversion {
    size_t begin = 0;
    size_t end = 0;
};

std::optional<Conversion> FindIntegerConversion(std::wstring_view pattern) {
    std::optional<Conversion> found;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%') {
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == L'%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < pattern.size() && std::wcschr(L"-+ 0#", pattern[j]) != nullptr &&
               pattern[j] != 0) {
            ++j;
        }
        size_t digits = 0;
        while (j < pattern.size() && pattern[j] >= L'0' && pattern[j] <= L'9' && digits < 3) {
            ++j;
            ++digits;
        }
        if (j < pattern.size() && pattern[j] == L'.') {
            ++j;
            digits = 0;
            while (j < pattern.size() && pattern[j] >= L'0' && pattern[j] <= L'9' && digits < 3) {
                ++j;
                ++digits;
            }
        }
        if (j >= pattern.size() || std::wcschr(L"diuxXo", pattern[j]) == nullptr ||
            pattern[j] == 0) {
            return std::nullopt;
        }
        if (found) {
            return std::nullopt;
        }
        found = Conversion{i, j + 1};
        i = j;
    }
    return found;
}

}  // namespace

// [SECTION] FrameSequence

bool FrameSequence::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"sequencebkimage") {
        pattern_ = value;
    } else if (Ui::EqualsNoCase(name, L"sequencecount")) {
        count_ = Ui::ParseInt(value);
    } else if (Ui::EqualsNoCase(name, L"sequencespan")) {
        spanMs_ = Ui::ParseInt(value);
    } else if (Ui::EqualsNoCase(name, L"sequenceloop")) {
        loop_ = SwitchValue(value);
    } else if (Ui::EqualsNoCase(name, L"autostart")) {
        autoStart_ = SwitchValue(value);
    } else if (Ui::EqualsNoCase(name, L"sequenceround")) {
        round_ = SwitchValue(value);
    } else {
        return false;
    }
    return true;
}

bool FrameSequence::IsPlayable() const {
    if (pattern_.empty() || count_ < (round_ ? 2 : 1)) {
        return false;
    }
    // The largest frame number gives the longest name.
    return FrameName(static_cast<uint32_t>(count_ - 1)).has_value();
}

std::optional<std::wstring> FrameSequence::FrameName(uint32_t index) const {
    const std::optional<Conversion> conversion = FindIntegerConversion(pattern_);
    if (!conversion) {
        return std::nullopt;
    }
    // Format the conversion alone, then splice it between the literal parts (with "%%"
    // turned into "%"), so nothing of the pattern but one integer conversion reaches printf.
    const std::wstring conversionText =
        pattern_.substr(conversion->begin, conversion->end - conversion->begin);
    wchar_t number[64];
    const bool isSigned = conversionText.back() == L'd' || conversionText.back() == L'i';
    const int n =
        isSigned ? std::swprintf(number, 64, conversionText.c_str(), static_cast<int>(index))
                 : std::swprintf(number, 64, conversionText.c_str(), static_cast<unsigned>(index));
    if (n < 0) {
        return std::nullopt;
    }
    auto literal = [](std::wstring_view part) {
        std::wstring out;
        for (size_t i = 0; i < part.size(); ++i) {
            out += part[i];
            if (part[i] == L'%' && i + 1 < part.size() && part[i + 1] == L'%') {
                ++i;
            }
        }
        return out;
    };
    std::wstring name = literal(std::wstring_view(pattern_).substr(0, conversion->begin));
    name += number;
    name += literal(std::wstring_view(pattern_).substr(conversion->end));
    if (name.size() + 1 > kMaxFrameName) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::wstring> FrameSequence::Tick(bool& stop) {
    stop = false;
    if (pattern_.empty()) {
        return std::nullopt;  // nothing to show; the timer keeps running
    }
    if (!IsPlayable()) {
        stop = true;
        return std::nullopt;
    }
    const uint32_t count = static_cast<uint32_t>(count_);
    if (ascending_ && next_ > count - 1) {
        if (round_) {
            ascending_ = false;
            next_ = count - 2;
        } else {
            next_ = 0;
            if (!loop_) {
                stop = true;
                return std::nullopt;
            }
        }
    }
    if (!ascending_ && next_ == 0) {
        if (round_) {
            ascending_ = true;
        }
        next_ = 0;
        if (!loop_) {
            stop = true;
            return std::nullopt;
        }
    }
    const uint32_t frame = next_;
    next_ = ascending_ ? frame + 1 : frame - 1;
    return FrameName(frame);
}

// [SECTION] CSequenceLabelUI

namespace {

// One tick of `control`'s animation: show the next frame or stop the timer.
template <typename ControlT>
void StepFrame(ControlT& control, FrameSequence& sequence) {
    bool stop = false;
    std::optional<std::wstring> frame = sequence.Tick(stop);
    if (frame) {
        control.SetBkImage(*frame);  // repaints the control
    }
    if (stop) {
        control.KillTimer(TIMER_SEQUENCE_FRAME);
    }
}

uint32_t SpanOf(const FrameSequence& sequence) {
    return sequence.GetSpan() > 0 ? static_cast<uint32_t>(sequence.GetSpan()) : 1u;
}

}  // namespace

Ui::Control* CSequenceLabelUI::GetInterface(std::wstring_view name) {
    return name == L"SequenceLabel" ? this : Ui::Label::GetInterface(name);
}

void CSequenceLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!sequence_.SetAttribute(name, value)) {
        Ui::Label::SetAttribute(name, value);
    }
}

void CSequenceLabelUI::DoInit() {
    Ui::Label::DoInit();
    if (sequence_.AutoStart() && sequence_.IsPlayable()) {
        SetTimer(TIMER_SEQUENCE_FRAME, SpanOf(sequence_));
    }
}

void CSequenceLabelUI::DoEvent(Ui::Event& event) {
    Ui::Label::DoEvent(event);
    if (event.type == Ui::EventType::kTimer) {
        StepFrame(*this, sequence_);
    }
}

void CSequenceLabelUI::Start() {
    sequence_.Rewind();
    if (!sequence_.IsPlayable()) {
        TRACE(L"%ls: frame sequence not playable, not started", GetName().c_str());
        return;
    }
    SetTimer(TIMER_SEQUENCE_FRAME, SpanOf(sequence_));
}

// [SECTION] CSequenceButtonUI

Ui::Control* CSequenceButtonUI::GetInterface(std::wstring_view name) {
    return name == L"SequenceButton" ? this : Ui::Button::GetInterface(name);
}

void CSequenceButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!sequence_.SetAttribute(name, value)) {
        Ui::Button::SetAttribute(name, value);
    }
}

void CSequenceButtonUI::DoInit() {
    Ui::Button::DoInit();
    if (sequence_.AutoStart() && sequence_.IsPlayable()) {
        SetTimer(TIMER_SEQUENCE_FRAME, SpanOf(sequence_));
    }
}

void CSequenceButtonUI::DoEvent(Ui::Event& event) {
    Ui::Button::DoEvent(event);
    if (event.type == Ui::EventType::kTimer) {
        StepFrame(*this, sequence_);
    }
}

std::unique_ptr<Ui::Control> CreateSequenceControl(std::wstring_view className) {
    if (Ui::EqualsNoCase(className, L"SequenceLabel")) {
        return std::make_unique<CSequenceLabelUI>();
    }
    if (Ui::EqualsNoCase(className, L"SequenceButton")) {
        return std::make_unique<CSequenceButtonUI>();
    }
    return nullptr;
}
