// CSkinFrame: the common base of every window of the installer.
//
// A frame knows where its skin comes from (SkinSource), names its window class after its
// skin file, applies the drop shadow its skin's root element describes and swallows the
// Escape key, so no window of the installer closes on Escape.
#pragma once

#include <string>

#include "uiframework/shadow.h"
#include "uiframework/window.h"

/// Where a window's skin comes from. Every window of the installer uses a zipped resource:
/// kind 4, id 147, empty folder, its own description file.
struct SkinSource {
    /// Resource kinds: 1 = files in a folder, 4 = a 7z package stored as a resource of the
    /// executable (the only kind that opens a package itself; the others use the runtime's
    /// current resource source).
    static constexpr int kKindFolder = 1;
    static constexpr int kKindZipResource = 4;

    int resourceKind = kKindZipResource;
    int resourceId = 147;
    std::wstring skinFolder;
    std::wstring skinFile;
    std::wstring windowClassName;

    /// The installer's source for `skinFile`: kind 4, id 147, no folder, class name = the
    /// file name up to its last "." ("MessageBox1Wnd.xml" -> "MessageBox1Wnd").
    static SkinSource ForFile(std::wstring skinFile);
};

/// The file name up to its last "." (the whole name when it has none).
std::wstring SkinClassNameOf(std::wstring_view skinFile);

class CSkinFrame : public Ui::SkinWindow {
public:
    /// Copies the record. For a zipped-resource source the process's embedded package is
    /// opened (once per process) and made the framework's resource source here, before the
    /// window is created from it.
    explicit CSkinFrame(SkinSource source);
    ~CSkinFrame() override;

    const SkinSource& Source() const { return source_; }
    std::wstring GetSkinFile() const override { return source_.skinFile; }
    std::wstring GetWindowClassName() const override { return source_.windowClassName; }
    std::wstring GetSkinFolder() const { return source_.skinFolder; }
    int GetResourceKind() const { return source_.resourceKind; }
    int GetResourceId() const { return source_.resourceId; }

    /// The window's drop shadow (attached only when the skin says "showshadow").
    const Ui::WindowShadow& Shadow() const { return shadow_; }

protected:
    /// The frame's window-ready step. Derived windows call it first from their own
    /// OnWindowReady. (The original platform also strips the caption and maximise styles
    /// here; this framework's frames never have them.)
    void OnWindowReady() override;
    /// Swallows key-down of Escape; everything else goes to the framework.
    bool OnKeyMessage(Ui::Message& message) override;

private:
    void ApplyShadowAttributes();

    SkinSource source_;
    Ui::WindowShadow shadow_;
};
