// Loading a window description: the checks that stop a window's creation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "uiframework/resource_source.h"

namespace Ui {

/// Descriptions larger than this are refused.
constexpr size_t kMaxDescriptionBytes = 4u * 1024u * 1024u;

enum class DescriptionError {
    kNone,
    kMissing,  // the source has no such resource, or it can not be read
    kEmpty,
    kTooLarge,   // more than kMaxDescriptionBytes
    kMalformed,  // not well-formed XML, or the root element is not <Window>
};

/// Reads and checks description `name`; on kNone `xml` holds its bytes (a leading UTF-8
/// byte-order mark included; the parser skips it).
DescriptionError LoadDescription(ResourceSource& source, std::wstring_view name, std::string& xml);

const wchar_t* DescriptionErrorName(DescriptionError e);

}  // namespace Ui
