// The process's skin package as the UI framework's resource source.
//
// The first window whose skin is a zipped resource (SkinSource kind 4, see skin_frame.h)
// opens the embedded package: the resource's bytes are decoded once (SkinPackage) and the
// result is installed as the runtime's resource source. Later windows find it open and
// reuse it; the package stays in memory until the process ends. Once it is installed,
// descriptions and images come from the package only, never from the disk.
#pragma once

#include <memory>
#include <string>

#include "ui/skin_package.h"
#include "uiframework/resource_source.h"

namespace Ui {

/// Serves descriptions and images from a decoded package.
class SkinPackageSource final : public ResourceSource {
public:
    SkinPackageSource(std::shared_ptr<const SkinPackage> package, std::wstring description);
    bool Read(std::wstring_view name, std::string& bytes) override;
    std::wstring Describe() const override { return description_; }
    const SkinPackage* Package() const { return package_.get(); }

private:
    std::shared_ptr<const SkinPackage> package_;
    std::wstring description_;
};

/// Makes the embedded package the runtime's resource source unless it already is. Returns
/// false when there is no runtime or the package can not be opened; the runtime then gets a
/// source that finds nothing, so no description or image is read from anywhere else.
bool UseEmbeddedSkinPackage(int resourceId = 147);

}  // namespace Ui
