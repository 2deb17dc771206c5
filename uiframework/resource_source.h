// Where a window's XML description and its images come from: name -> bytes.
//
// Markup names resources the way the skin package stores them, relative to the package
// root, with "\" or "/" as separator and in any letter case ("res\mainWnd\bg1.png" names
// the entry "res/mainWnd/bg1.png"). Every source applies the same rule, implemented once in
// SameResourceName: "\" becomes "/", then the names must have the same length and be equal
// without regard to letter case. Folders are not resources.
//
// Sources in the tree:
//  - FolderResourceSource: files below a folder (tests, skin authors).
//  - MemoryResourceSource: entries held in memory, looked up in insertion order (first
//    match wins); an archive reader fills one after decompressing every entry once.
//  Other sources (the embedded 7z package) derive from ResourceSource themselves.
//
// A source is installed for the whole process with Ui::Runtime (runtime.h) and is read on
// the UI thread only; implementations need no locking unless they share state elsewhere.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Ui {

class ResourceSource {
public:
    virtual ~ResourceSource() = default;
    /// Copies the whole resource `name` (as written in markup) into `bytes`. False, with
    /// `bytes` left empty, when there is no such resource or it cannot be read.
    virtual bool Read(std::wstring_view name, std::string& bytes) = 0;
    /// A short description for trace lines ("folder /x/skin", "package skin.7z").
    virtual std::wstring Describe() const = 0;
};

/// `name` with every "\" replaced by "/".
std::wstring NormalizeResourceName(std::wstring_view name);

/// The lookup rule: after normalising both, equal length and equal without regard to case.
bool SameResourceName(std::wstring_view a, std::wstring_view b);

/// Resources are files below `root`. Each path component is matched without regard to case
/// (an exact-case file is preferred), so markup written for a case-insensitive package
/// finds the same files here. Names with "." or ".." components or an absolute path are
/// refused: a description can not read outside its folder.
class FolderResourceSource final : public ResourceSource {
public:
    explicit FolderResourceSource(std::filesystem::path root);
    bool Read(std::wstring_view name, std::string& bytes) override;
    std::wstring Describe() const override;
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

/// Entries held in memory in insertion order; the first entry with the same name wins.
class MemoryResourceSource final : public ResourceSource {
public:
    explicit MemoryResourceSource(std::wstring description = L"memory")
        : description_(std::move(description)) {}
    /// Adds an entry (its name stored normalised). Duplicates are kept; lookups see the first.
    void Add(std::wstring_view name, std::string bytes);
    bool Read(std::wstring_view name, std::string& bytes) override;
    std::wstring Describe() const override { return description_; }
    /// The stored entry, or null. The pointer stays valid until the next Add.
    const std::string* Find(std::wstring_view name) const;
    size_t Count() const { return entries_.size(); }

private:
    std::wstring description_;
    std::vector<std::pair<std::wstring, std::string>> entries_;
};

}  // namespace Ui
