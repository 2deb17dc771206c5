// Resources linked into the executable, looked up by type and id.
//
// On the original platform the skin package is a resource of the executable (type
// "ZIPRES", id 147). Here the build links the packed file into every program that uses
// glyphora_ui, and this table answers the same (type, id) question. The bytes live for the
// whole process and are read-only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace Ui {

/// Type and id under which the skin package is stored.
inline constexpr std::wstring_view kSkinResourceType = L"ZIPRES";
inline constexpr int kSkinResourceId = 147;

/// The bytes of the resource (type compared exactly, as resource type names are), or an
/// empty span when the executable has no such resource.
std::span<const uint8_t> FindEmbeddedResource(std::wstring_view type, int id);

}  // namespace Ui
