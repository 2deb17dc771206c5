#include "ui/embedded_resources.h"

#include <cstddef>

// The packed skin (build/skin.7z, made by glyphora-skinpack) is assembled into read-only data
// here; the build passes its path as GLYPHORA_SKIN_PACKAGE_PATH and rebuilds this file when the
// package changes.
#ifndef GLYPHORA_SKIN_PACKAGE_PATH
#error "GLYPHORA_SKIN_PACKAGE_PATH must name the packed skin"
#endif
__asm__(
    ".section .rodata.glyphora_skin,\"a\"\n"
    ".balign 16\n"
    ".global glyphora_skin_7z_begin\n"
    "glyphora_skin_7z_begin:\n"
    ".incbin \"" GLYPHORA_SKIN_PACKAGE_PATH
    "\"\n"
    ".global glyphora_skin_7z_end\n"
    "glyphora_skin_7z_end:\n"
    ".byte 0\n"
    ".previous\n");

extern "C" const uint8_t glyphora_skin_7z_begin[];
extern "C" const uint8_t glyphora_skin_7z_end[];

namespace Ui {

namespace {

struct ResourceRecord {
    std::wstring_view type;
    int id;
    const uint8_t* begin;
    const uint8_t* end;
};

const ResourceRecord kResources[] = {
    {kSkinResourceType, kSkinResourceId, glyphora_skin_7z_begin, glyphora_skin_7z_end},
};

}  // namespace

std::span<const uint8_t> FindEmbeddedResource(std::wstring_view type, int id) {
    for (const ResourceRecord& record : kResources) {
        if (record.id == id && record.type == type) {
            return {record.begin, static_cast<size_t>(record.end - record.begin)};
        }
    }
    return {};
}

}  // namespace Ui
