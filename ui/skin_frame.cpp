#include "ui/skin_frame.h"

#include "ui/skin_package_source.h"
#include "uiframework/attributes.h"
#include "uiframework/message.h"
#include "utils/trace_log.h"

SkinSource SkinSource::ForFile(std::wstring skinFile) {
    SkinSource source;
    source.windowClassName = SkinClassNameOf(skinFile);
    source.skinFile = std::move(skinFile);
    return source;
}

std::wstring SkinClassNameOf(std::wstring_view skinFile) {
    const size_t dot = skinFile.rfind(L'.');
    return std::wstring(dot == std::wstring_view::npos ? skinFile : skinFile.substr(0, dot));
}

CSkinFrame::CSkinFrame(SkinSource source) : source_(std::move(source)) {
    if (source_.resourceKind == SkinSource::kKindZipResource) {
        Ui::UseEmbeddedSkinPackage(source_.resourceId);
    }
}

CSkinFrame::~CSkinFrame() {
    shadow_.Attach(nullptr);
}

void CSkinFrame::OnWindowReady() {
    ApplyShadowAttributes();
}

bool CSkinFrame::OnKeyMessage(Ui::Message& message) {
    return message.id == Ui::kMsgKeyDown && message.wParam == Ui::kVkEscape;
}

void CSkinFrame::ApplyShadowAttributes() {
    const std::wstring* show = GetCustomAttribute(L"showshadow");
    if (show == nullptr || !Ui::EqualsNoCase(*show, L"true")) {
        return;
    }
    shadow_.Attach(this);
    const std::wstring* image = GetCustomAttribute(L"shadowimage");
    const std::wstring* corner = GetCustomAttribute(L"shadowcorner");
    if (image != nullptr) {
        shadow_.SetImage(*image, corner != nullptr ? Ui::ParseRect(*corner) : Ui::Rect{});
    }
    // Each setter refuses a value outside its range and keeps its default then.
    if (const std::wstring* v = GetCustomAttribute(L"shadowsize")) {
        shadow_.SetSize(Ui::ParseInt(*v));
    }
    if (const std::wstring* v = GetCustomAttribute(L"shadowsharpness")) {
        shadow_.SetSharpness(Ui::ParseInt(*v));
    }
    if (const std::wstring* v = GetCustomAttribute(L"shadowdarkness")) {
        shadow_.SetDarkness(Ui::ParseInt(*v));
    }
    if (const std::wstring* v = GetCustomAttribute(L"shadowposition")) {
        const Ui::Point p = Ui::ParsePoint(*v);
        shadow_.SetPosition(p.x, p.y);
    }
    if (const std::wstring* v = GetCustomAttribute(L"shadowcolor")) {
        shadow_.SetColor(Ui::ParseColor(*v));
    }
    // "shadowholeoffset" is accepted by the vocabulary and has no effect.
}
