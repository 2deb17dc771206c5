// CMessageBoxWnd and ShowMessageBox: the installer's one dialog class.
//
// A modal box built from one of the dialog skins ("MessageBox1Wnd.xml",
// "MessageBox2Wnd.xml", "exitTipWnd.xml", "InstalledPathTipWnd.xml", "NetworkTipWnd.xml"),
// with up to two buttons and optional caption and text labels. It answers which button
// ended it as a DialogResult; the caller decides what each answer means.
#pragma once

#include <functional>

#include "ui/skin_frame.h"
#include "uiframework/control.h"

/// How a dialog ended.
enum DialogResult : int {
    kDialogOk = 0,      ///< the control named "okBtn" was clicked
    kDialogCancel = 1,  ///< "cancelBtn" was clicked, or the dialog closed without a click
    kDialogOther = 2,   ///< any other control was clicked (the title bar's "closebtn")
};

class CMessageBoxWnd : public CSkinFrame {
public:
    explicit CMessageBoxWnd(SkinSource source) : CSkinFrame(std::move(source)) {}

    int m_Result = kDialogCancel;
    Ui::Control* m_OkBtn = nullptr;
    Ui::Control* m_CancelBtn = nullptr;
    Ui::Control* m_TextLbl = nullptr;
    Ui::Control* m_CaptionLbl = nullptr;

protected:
    /// The frame's step, then the four control references (each null when the skin lacks
    /// it).
    void OnWindowReady() override;
    /// "click": okBtn -> result 0 and close; cancelBtn -> result 1 and close; any other
    /// control -> the framework's handling ("closebtn" closes, "minbtn" minimises), result 2.
    void OnNotify(Ui::Notify& notify) override;
};

/// The dialog window's title.
inline constexpr wchar_t kMessageBoxTitle[] = L"消息框";

/// Shows the dialog of `source` modally over `owner` (which is disabled meanwhile; its
/// posted messages and timers still run) and returns its DialogResult once the dialog is
/// destroyed. A non-null `text` replaces the text of "textLbl" and a non-null `caption` that
/// of "captionLbl" when the skin has them; null leaves the skin's own text. UI thread.
/// When the window can not be created (only possible when the runtime does not end the
/// process on a skin failure) the result is kDialogCancel.
int ShowMessageBox(Ui::SkinWindow* owner, const SkinSource& source, const wchar_t* text,
                   const wchar_t* caption);

/// Called by every ShowMessageBox once its labels are filled, just before the modal loop
/// starts (UI thread). Tests and tools answer dialogs through it, for example by posting a
/// click; the dialog lives until the loop ends. An empty function removes the observer.
using MessageBoxObserver = std::function<void(CMessageBoxWnd&)>;
void SetMessageBoxObserver(MessageBoxObserver observer);
