#include "ui/message_box_wnd.h"

#include "utils/trace_log.h"

namespace {

MessageBoxObserver& Observer() {
    static MessageBoxObserver observer;
    return observer;
}

}  // namespace

void SetMessageBoxObserver(MessageBoxObserver observer) {
    Observer() = std::move(observer);
}

void CMessageBoxWnd::OnWindowReady() {
    CSkinFrame::OnWindowReady();
    m_OkBtn = FindControl(L"okBtn");
    m_CancelBtn = FindControl(L"cancelBtn");
    m_TextLbl = FindControl(L"textLbl");
    m_CaptionLbl = FindControl(L"captionLbl");
}

void CMessageBoxWnd::OnNotify(Ui::Notify& notify) {
    if (notify.type != L"click") {
        CSkinFrame::OnNotify(notify);
        return;
    }
    if (notify.sender != nullptr && notify.sender == m_OkBtn) {
        m_Result = kDialogOk;
        Close(kDialogOk);
        return;
    }
    if (notify.sender != nullptr && notify.sender == m_CancelBtn) {
        m_Result = kDialogCancel;
        Close(kDialogCancel);
        return;
    }
    CSkinFrame::OnNotify(notify);
    m_Result = kDialogOther;
}

int ShowMessageBox(Ui::SkinWindow* owner, const SkinSource& source, const wchar_t* text,
                   const wchar_t* caption) {
    CMessageBoxWnd dialog(source);
    if (!dialog.Create(owner, kMessageBoxTitle)) {
        TRACE(L"dialog %ls can not be created", source.skinFile.c_str());
        return kDialogCancel;
    }
    if (text != nullptr && dialog.m_TextLbl != nullptr) {
        dialog.m_TextLbl->SetText(text);
    }
    if (caption != nullptr && dialog.m_CaptionLbl != nullptr) {
        dialog.m_CaptionLbl->SetText(caption);
    }
    dialog.CenterWindow();
    if (Observer()) {
        Observer()(dialog);
    }
    dialog.ShowModal();
    TRACE(L"dialog %ls ended with %d", source.skinFile.c_str(), dialog.m_Result);
    return dialog.m_Result;
}
