#include "uiframework/resource_source.h"

#include <cwctype>
#include <fstream>
#include <system_error>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (c < 0x80)
        return c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    bytes = std::move(data);
    return true;
}

}  // namespace

std::wstring NormalizeResourceName(std::wstring_view name) {
    std::wstring out(name);
    for (wchar_t& c : out) {
        if (c == L'\\')
            c = L'/';
    }
    return out;
}

bool SameResourceName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i] == L'\\' ? L'/' : a[i];
        wchar_t y = b[i] == L'\\' ? L'/' : b[i];
        if (x != y && FoldCase(x) != FoldCase(y))
            return false;
    }
    return true;
}

FolderResourceSource::FolderResourceSource(std::filesystem::path root) : root_(std::move(root)) {}

bool FolderResourceSource::Read(std::wstring_view name, std::string& bytes) {
    bytes.clear();
    std::wstring normalized = NormalizeResourceName(name);
    if (normalized.empty() || normalized.front() == L'/')
        return false;
    std::filesystem::path current = root_;
    size_t start = 0;
    while (start <= normalized.size()) {
        size_t slash = normalized.find(L'/', start);
        std::wstring part = normalized.substr(
            start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        std::string narrow = Utils::ToNarrow(part, Utils::kCodePageUtf8);
        std::filesystem::path exact = current / narrow;
        std::error_code ec;
        if (std::filesystem::exists(exact, ec)) {
            current = exact;
        } else {
            bool found = false;
            for (const auto& entry : std::filesystem::directory_iterator(current, ec)) {
                std::wstring candidate =
                    Utils::ToWide(entry.path().filename().string(), Utils::kCodePageUtf8);
                if (SameResourceName(candidate, part)) {
                    current = entry.path();
                    found = true;
                    break;
                }
            }
            if (!found)
                return false;
        }
        if (slash == std::wstring::npos)
            break;
        start = slash + 1;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(current, ec))
        return false;
    if (!ReadWholeFile(current, bytes)) {
        TRACE(L"cannot read %s", current.string().c_str());
        return false;
    }
    return true;
}

std::wstring FolderResourceSource::Describe() const {
    return L"folder " + Utils::ToWide(root_.string(), Utils::kCodePageUtf8);
}

void MemoryResourceSource::Add(std::wstring_view name, std::string bytes) {
    entries_.emplace_back(NormalizeResourceName(name), std::move(bytes));
}

const std::string* MemoryResourceSource::Find(std::wstring_view name) const {
    for (const auto& [entryName, data] : entries_) {
        if (SameResourceName(entryName, name))
            return &data;
    }
    return nullptr;
}

bool MemoryResourceSource::Read(std::wstring_view name, std::string& bytes) {
    const std::string* found = Find(name);
    if (!found) {
        bytes.clear();
        return false;
    }
    bytes = *found;
    return true;
}

}  // namespace Ui
