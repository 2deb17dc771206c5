#include "ui/skin_package_source.h"

#include "ui/embedded_resources.h"
#include "ui/skin_package.h"
#include "uiframework/runtime.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {

// A source that answers nothing: installed when the embedded package can not be opened, so
// a window fails with the framework's resource error instead of reading loose files.
class EmptySource final : public ResourceSource {
public:
    bool Read(std::wstring_view, std::string& bytes) override {
        bytes.clear();
        return false;
    }
    std::wstring Describe() const override { return L"missing skin package"; }
};

std::wstring PackageDescription(int resourceId) {
    return L"embedded package " + std::wstring(kSkinResourceType) + L"/" +
           std::to_wstring(resourceId);
}

}  // namespace

SkinPackageSource::SkinPackageSource(std::shared_ptr<const SkinPackage> package,
                                     std::wstring description)
    : package_(std::move(package)), description_(std::move(description)) {}

bool SkinPackageSource::Read(std::wstring_view name, std::string& bytes) {
    bytes.clear();
    const SkinPackage::Entry* entry = package_ ? package_->Find(name) : nullptr;
    if (entry == nullptr) {
        return false;
    }
    bytes.assign(entry->bytes.begin(), entry->bytes.end());
    return true;
}

bool UseEmbeddedSkinPackage(int resourceId) {
    Runtime* runtime = Runtime::Current();
    if (runtime == nullptr) {
        TRACE(L"no UI runtime");
        return false;
    }
    std::shared_ptr<const SkinPackage> package = ProcessSkinPackage(resourceId);
    if (auto* current = dynamic_cast<SkinPackageSource*>(&runtime->Resources());
        current != nullptr && package && current->Package() == package.get()) {
        return true;  // already installed: nothing to reopen, image cache kept
    }
    if (!package) {
        runtime->SetResources(std::make_shared<EmptySource>());
        return false;
    }
    runtime->SetResources(
        std::make_shared<SkinPackageSource>(package, PackageDescription(resourceId)));
    return true;
}

}  // namespace Ui
