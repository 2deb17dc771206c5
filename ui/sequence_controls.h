// Frame-sequence animation controls: a label and a button whose background image steps
// through numbered images of the skin package on a timer.
//
// Markup attributes (both controls):
//   sequencebkimage  name pattern with one integer conversion, e.g.
//                    "res\mainWnd\installBtnAnimate\%.3d.png" (attribute name exact)
//   sequencecount    number of frames, numbered from 0 (leading digits; none = 0)
//   sequencespan     milliseconds between frames
//   sequenceloop     start again after the last frame; false only for exactly "false"
//   sequenceround    ping-pong: run back down instead of jumping to frame 0 (same rule)
//   autostart        start when the window is built (same rule)
// (attribute names from "sequencecount" on compared without regard to case.)
//
// Frames shown for a count of N:
//   loop, no ping-pong     0, 1, ..., N-1, 0, 1, ...
//   no loop, no ping-pong  0, 1, ..., N-1, then the timer stops on N-1
//   loop, ping-pong        0, 1, ..., N-1, N-2, ..., 1, 0, 1, ...
//   no loop, ping-pong     0, 1, ..., N-1, N-2, ..., 1, then stops on 1
//
// A sequence is playable only with a non-empty pattern holding exactly one integer
// conversion, a count of at least 1 (at least 2 with ping-pong) and frame names shorter
// than 260 characters. Anything else means no animation at all: the timer is never armed
// and the background never changes (an unchecked pattern would be handed to printf, and
// counts below the limits would step through frame numbers that do not exist).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "uiframework/controls.h"

/// Timer id of the frame timer.
inline constexpr uint32_t TIMER_SEQUENCE_FRAME = 2100;

/// The animation state both controls share, and its pure stepping rule.
class FrameSequence {
public:
    explicit FrameSequence(int defaultSpanMs, bool defaultRound)
        : spanMs_(defaultSpanMs), round_(defaultRound) {}

    /// Applies one of the attributes above; false for any other name.
    bool SetAttribute(std::wstring_view name, std::wstring_view value);

    void SetPattern(std::wstring_view pattern) { pattern_ = pattern; }
    const std::wstring& GetPattern() const { return pattern_; }
    void SetCount(int count) { count_ = count; }
    int GetCount() const { return count_; }
    void SetSpan(int spanMs) { spanMs_ = spanMs; }
    int GetSpan() const { return spanMs_; }
    bool Loop() const { return loop_; }
    bool Round() const { return round_; }
    bool AutoStart() const { return autoStart_; }
    bool Ascending() const { return ascending_; }
    uint32_t NextIndex() const { return next_; }

    /// Whether the settings describe an animation (see the header comment).
    bool IsPlayable() const;
    /// Back to frame 0 for the next tick; direction and settings stay as they are.
    void Rewind() { next_ = 0; }

    /// One tick. Returns the frame name to show, or nothing when nothing changes; sets
    /// `stop` when the timer must be killed (a non-looping sequence has ended, or the
    /// sequence is not playable).
    std::optional<std::wstring> Tick(bool& stop);

    /// The pattern formatted with `index`, or nothing when the pattern is not a single
    /// integer conversion or the name would not fit in 260 characters with its terminator.
    std::optional<std::wstring> FrameName(uint32_t index) const;

private:
    std::wstring pattern_;
    int count_ = 0;
    int spanMs_;
    bool loop_ = true;
    bool round_;
    bool autoStart_ = false;
    bool ascending_ = true;
    uint32_t next_ = 0;
};

/// A label animated by a frame sequence (markup element "SequenceLabel"). Defaults: span
/// 30 ms, loop, no ping-pong, no auto start.
class CSequenceLabelUI : public Ui::Label {
public:
    CSequenceLabelUI() : sequence_(30, false) {}

    std::wstring_view GetClass() const override { return L"SequenceLabel"; }
    Ui::Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoInit() override;
    void DoEvent(Ui::Event& event) override;
    void PaintStatusImage(Ui::Painter&) override {}

    void SetSequenceBkImage(std::wstring_view pattern) { sequence_.SetPattern(pattern); }
    const std::wstring& GetSequenceBkImage() const { return sequence_.GetPattern(); }
    void SetSequenceCount(int count) { sequence_.SetCount(count); }
    int GetSequenceCount() const { return sequence_.GetCount(); }
    void SetSequenceSpan(int spanMs) { sequence_.SetSpan(spanMs); }
    int GetSequenceSpan() const { return sequence_.GetSpan(); }

    /// Restarts from frame 0: arms the frame timer (re-arming a running one, never a second
    /// timer). Nothing happens when the sequence is not playable.
    void Start();
    const FrameSequence& Sequence() const { return sequence_; }

private:
    FrameSequence sequence_;
};

/// A button animated by a frame sequence (markup element "SequenceButton"); its normal,
/// hot and pushed images are painted over the current frame. Defaults: span 60 ms, loop,
/// ping-pong, no auto start.
class CSequenceButtonUI : public Ui::Button {
public:
    CSequenceButtonUI() : sequence_(60, true) {}

    std::wstring_view GetClass() const override { return L"SequenceButton"; }
    Ui::Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoInit() override;
    void DoEvent(Ui::Event& event) override;

    void SetSequenceBkImage(std::wstring_view pattern) { sequence_.SetPattern(pattern); }
    const std::wstring& GetSequenceBkImage() const { return sequence_.GetPattern(); }
    void SetSequenceCount(int count) { sequence_.SetCount(count); }
    int GetSequenceCount() const { return sequence_.GetCount(); }
    void SetSequenceSpan(int spanMs) { sequence_.SetSpan(spanMs); }
    int GetSequenceSpan() const { return sequence_.GetSpan(); }

    const FrameSequence& Sequence() const { return sequence_; }

private:
    FrameSequence sequence_;
};

/// The factory the main window (and the skin viewer) offer the markup builder:
/// "SequenceLabel" and "SequenceButton", compared without regard to case; null otherwise.
std::unique_ptr<Ui::Control> CreateSequenceControl(std::wstring_view className);
