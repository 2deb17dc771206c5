// glyphora-skinpack: packs a skin folder into the 7z package the installer embeds.
//
//   glyphora-skinpack SKIN_FOLDER OUTPUT.7z
//
// Every regular file under SKIN_FOLDER (names starting with "." skipped) becomes one entry
// named by its path relative to the folder with "/" separators, in sorted order, in one
// solid LZMA2 block (2 MiB dictionary). No times or owners are stored, so the same folder
// always packs to the same bytes. The output is written to a temporary file and renamed into
// place, so an interrupted build never leaves a truncated package behind.
#include <archive.h>
#include <archive_entry.h>

#include <langinfo.h>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool Pack(const fs::path& folder, const fs::path& output) {
    std::vector<fs::path> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string leaf = it->path().filename().string();
        if (!leaf.empty() && leaf[0] == '.') {
            if (it->is_directory(ec)) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (it->is_regular_file(ec)) {
            files.push_back(it->path().lexically_relative(folder));
        }
    }
    if (ec) {
        std::fprintf(stderr, "skinpack: cannot list %s: %s\n", folder.c_str(),
                     ec.message().c_str());
        return false;
    }
    if (files.empty()) {
        std::fprintf(stderr, "skinpack: no files under %s\n", folder.c_str());
        return false;
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return a.generic_string() < b.generic_string();
    });

    const fs::path temp = output.string() + ".tmp";
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    // Level 2 gives LZMA2 with a 2 MiB dictionary: the package's PNG data hardly compresses
    // further at higher levels, and the decoder then needs only 2 MiB for its dictionary.
    bool ok = archive_write_set_format_option(a, "7zip", "compression", "lzma2") == ARCHIVE_OK &&
              archive_write_set_format_option(a, "7zip", "compression-level", "2") == ARCHIVE_OK &&
              archive_write_open_filename(a, temp.c_str()) == ARCHIVE_OK;
    uint64_t total = 0;
    for (size_t i = 0; ok && i < files.size(); ++i) {
        const fs::path full = folder / files[i];
        std::ifstream in(full, std::ios::binary);
        std::vector<char> data((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        if (!in.eof() && !in.good()) {
            std::fprintf(stderr, "skinpack: cannot read %s\n", full.c_str());
            ok = false;
            break;
        }
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, files[i].generic_string().c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
        ok = archive_write_header(a, entry) == ARCHIVE_OK &&
             (data.empty() || archive_write_data(a, data.data(), data.size()) ==
                                  static_cast<la_ssize_t>(data.size()));
        archive_entry_free(entry);
        total += data.size();
    }
    if (!ok) {
        std::fprintf(stderr, "skinpack: %s\n",
                     archive_error_string(a) ? archive_error_string(a) : "write failed");
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    if (!ok) {
        fs::remove(temp, ec);
        return false;
    }
    fs::rename(temp, output, ec);
    if (ec) {
        std::fprintf(stderr, "skinpack: cannot write %s: %s\n", output.c_str(),
                     ec.message().c_str());
        fs::remove(temp, ec);
        return false;
    }
    std::printf("skinpack: %zu files, %llu bytes -> %s (%llu bytes)\n", files.size(),
                static_cast<unsigned long long>(total), output.c_str(),
                static_cast<unsigned long long>(fs::file_size(output, ec)));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // libarchive converts entry names through the locale; without a UTF-8 locale non-ASCII
    // names would be written empty.
    std::setlocale(LC_ALL, "");
    if (std::string(nl_langinfo(CODESET)) != "UTF-8") {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: glyphora-skinpack SKIN_FOLDER OUTPUT.7z\n");
        return 2;
    }
    return Pack(argv[1], argv[2]) ? 0 : 1;
}
