// Window messages: what the message queue carries and the hooks of a window see.
//
// Message numbers keep the Windows values the installer's code speaks of (WM_CLOSE 0x0010,
// WM_USER 0x0400, key codes VK_*), so code written against those numbers reads the same.
// Custom messages use kMsgUser and above, up to 0xBFFF; 0xC000 and above are the
// framework's own.
//
// Ownership: a message may carry a `payload` (any heap object, shared_ptr<void>). The queue
// owns it while the message waits; a message that can not be delivered (its window is
// gone, the runtime shuts down) frees its payload with it, so posting a heap object never
// leaks. A handler that wants the object reads it with PayloadAs<T>().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Ui {

/// Identifies a native window of this process; 0 = none (a message for the thread).
/// Handles are never reused within a run, so a stale handle simply finds no window.
using WindowHandle = uint64_t;

enum : uint32_t {
    kMsgClose = 0x0010,        // wParam: the result ShowModal returns (Close(result))
    kMsgQuit = 0x0012,         // wParam: the exit code (PostQuitMessage)
    kMsgKeyDown = 0x0100,      // wParam: virtual key (kVk*), lParam: kMod* bits
    kMsgKeyUp = 0x0101,        // wParam: virtual key, lParam: kMod* bits
    kMsgChar = 0x0102,         // text input; payload: std::wstring (may be several characters)
    kMsgTimer = 0x0113,        // wParam: timer id; lParam: the Control* it belongs to
    kMsgMouseMove = 0x0200,    // lParam: MakePointParam(x, y) in client pixels
    kMsgLButtonDown = 0x0201,  // lParam: point
    kMsgLButtonUp = 0x0202,    // lParam: point
    kMsgMouseLeave = 0x02A3,   // the pointer left the window
    kMsgUser = 0x0400,         // first custom message number
    kMsgFrameworkFirst = 0xC000,
    kMsgNotify = 0xC001,       // a posted notification (payload: the notification)
    kMsgTask = 0xC002,         // a posted function (payload: std::function<void()>)
    kMsgWake = 0xC003,         // wakes a loop; dispatches nothing
    kMsgComposition = 0xC005,  // payload: std::wstring the input method is composing
};

/// Virtual key codes (the Windows numbers).
enum : uint32_t {
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkShift = 0x10,
    kVkControl = 0x11,
    kVkMenu = 0x12,  // Alt
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
    kVkDelete = 0x2E,
    kVkA = 0x41,  // letters are their upper-case ASCII codes 0x41..0x5A
    kVkC = 0x43,
    kVkV = 0x56,
    kVkX = 0x58,
    kVkF4 = 0x73,
};

/// Modifier bits in the lParam of key messages.
enum : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

inline intptr_t MakePointParam(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(x))) |
                                 (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline int PointParamX(intptr_t lParam) {
    return static_cast<int16_t>(lParam & 0xFFFF);
}
inline int PointParamY(intptr_t lParam) {
    return static_cast<int16_t>((lParam >> 16) & 0xFFFF);
}

struct Message {
    WindowHandle window = 0;
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::shared_ptr<void> payload;

    template <typename T>
    T* PayloadAs() const {
        return static_cast<T*>(payload.get());
    }
};

}  // namespace Ui
