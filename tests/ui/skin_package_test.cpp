// The skin package: the embedded 7z resource, its entries, the lookup rule, the package the
// build wrote (build/skin.7z) and the descriptions' own format.
#include "ui/skin_package.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/utils/temp_dir.h"
#include "ui/embedded_resources.h"
#include "ui/skin_package_source.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;

std::string Narrow(std::wstring_view w) {
    return Utils::ToNarrow(w, Utils::kCodePageUtf8);
}
std::wstring Wide(std::string_view s) {
    return Utils::ToWide(s, Utils::kCodePageUtf8);
}

fs::path SourceRoot() {
    const char* root = std::getenv("GLYPHORA_SOURCE");
    return root != nullptr ? fs::path(root) : fs::path();
}

fs::path BinDir() {
    const char* bin = std::getenv("GLYPHORA_BIN");
    std::error_code ec;
    return bin != nullptr ? fs::path(bin) : fs::read_symlink("/proc/self/exe", ec).parent_path();
}

// Tests that read the embedded package get it decoded once for the whole test program.
class EmbeddedPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        package_ = Ui::ProcessSkinPackage();
        ASSERT_TRUE(package_) << "embedded skin package does not open";
    }
    const Ui::SkinPackage& Embedded() const { return *package_; }
    std::shared_ptr<const Ui::SkinPackage> package_;
};

// The package's entries as the installer expects them: six descriptions and every image.
std::set<std::string> ExpectedEntries() {
    std::set<std::string> names = {
        "mainWnd.xml",    "MessageBox1Wnd.xml",      "MessageBox2Wnd.xml",
        "exitTipWnd.xml", "InstalledPathTipWnd.xml", "NetworkTipWnd.xml"};
    auto series = [&](const std::string& prefix, int first, int last) {
        for (int i = first; i <= last; ++i) {
            names.insert(prefix + std::to_string(i) + ".png");
        }
    };
    series("res/common/minbtn", 1, 3);
    series("res/common/closebtn", 1, 3);
    series("res/common/closebtnM_", 1, 3);
    series("res/mainWnd/bg", 1, 4);
    for (const char* single : {"logo", "ilogo", "finished", "tipLbl", "installDirEdit",
                               "installPrg1", "installPrg2", "Cb1", "Cb2"}) {
        names.insert(std::string("res/mainWnd/") + single + ".png");
    }
    series("res/mainWnd/backBtn", 1, 4);
    for (const char* button :
         {"customeBtn", "editBtn", "chDirBtn", "experienceBtn", "installBtn"}) {
        series(std::string("res/mainWnd/") + button, 1, 3);
    }
    for (int i = 0; i < 100; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "res/mainWnd/installBtnAnimate/%03d.png", i);
        names.insert(name);
    }
    for (const char* icon : {"icoQuest", "icoWarn", "icoNetwork"}) {
        names.insert(std::string("res/MessageBoxWnd/") + icon + ".png");
    }
    for (const char* button : {"yesBtn", "noBtn", "openBtn", "latestBtn"}) {
        series(std::string("res/MessageBoxWnd/") + button, 1, 3);
    }
    return names;
}

// Width and height from a PNG's header; {0, 0} when the bytes are not a PNG.
std::pair<uint32_t, uint32_t> PngSize(std::span<const uint8_t> png) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 24 || !std::equal(kSignature, kSignature + 8, png.begin()) ||
        std::string(png.begin() + 12, png.begin() + 16) != "IHDR") {
        return {0, 0};
    }
    auto be32 = [&](size_t at) {
        return (uint32_t(png[at]) << 24) | (uint32_t(png[at + 1]) << 16) |
               (uint32_t(png[at + 2]) << 8) | uint32_t(png[at + 3]);
    };
    return {be32(16), be32(20)};
}

// Writes a 7z archive of (name, content) pairs into memory with libarchive. Writing needs a
// UTF-8 character type (else non-ASCII names are written empty), as the packer sets it; the
// caller's locale is restored afterwards so the reader is tested under whatever it was.
std::vector<uint8_t> Make7z(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string savedLocale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::vector<uint8_t> out(1 << 20);
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    archive_write_set_format_option(a, "7zip", "compression", "lzma2");
    EXPECT_EQ(archive_write_open_memory(a, out.data(), out.size(), &used), ARCHIVE_OK);
    for (const auto& [name, content] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(content.size()));
        EXPECT_EQ(archive_write_header(a, e), ARCHIVE_OK) << name;
        if (!content.empty()) {
            archive_write_data(a, content.data(), content.size());
        }
        archive_entry_free(e);
    }
    EXPECT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
    out.resize(used);
    std::setlocale(LC_CTYPE, savedLocale.c_str());
    return out;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    *status = pclose(pipe);
    return output;
}

TEST(SkinPackageTest, NameLookupRule) {
    struct Case {
        const wchar_t* requested;
        const wchar_t* stored;
        bool match;
    } cases[] = {
        {L"ExitTipWnd.xml", L"exitTipWnd.xml", true},
        {L"MainWnd.xml", L"mainWnd.xml", true},
        {L"MAINWND.XML", L"mainWnd.xml", true},
        {L"res\\MessageBoxWnd\\yesBtn1.png", L"res/MessageBoxWnd/yesBtn1.png", true},
        {L"RES\\messageboxwnd/YESBTN1.PNG", L"res/MessageBoxWnd/yesBtn1.png", true},
        {L"res\\mainWnd\\bg1.png", L"res/mainWnd/bg1.png", true},
        // Same prefix, different length: never a match in either direction.
        {L"res/mainWnd/bg1.pn", L"res/mainWnd/bg1.png", false},
        {L"res/mainWnd/bg1.pngx", L"res/mainWnd/bg1.png", false},
        {L"mainWnd.xml ", L"mainWnd.xml", false},
        {L"", L"mainWnd.xml", false},
        {L"res/mainWnd/bg2.png", L"res/mainWnd/bg1.png", false},
        // Only the requested name is normalised; "/" never stands for another character.
        {L"res/mainWnd/bg1.png", L"res-mainWnd-bg1.png", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ui::SkinPackage::NamesMatch(c.requested, c.stored), c.match)
            << Narrow(c.requested) << " vs " << Narrow(c.stored);
    }
}

TEST(SkinPackageTest, EmbeddedResourceIsA7zArchive) {
    const std::span<const uint8_t> bytes =
        Ui::FindEmbeddedResource(Ui::kSkinResourceType, Ui::kSkinResourceId);
    ASSERT_GT(bytes.size(), 32u);
    const uint8_t signature[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
    EXPECT_TRUE(std::equal(signature, signature + 6, bytes.begin()));
    EXPECT_EQ(bytes[6], 0);  // format version 0.x
    EXPECT_TRUE(Ui::FindEmbeddedResource(L"ZIPRES", 148).empty());
    EXPECT_TRUE(Ui::FindEmbeddedResource(L"PNG", 147).empty());
}

TEST_F(EmbeddedPackageTest, EmbeddedPackageHoldsExactlyTheExpectedEntries) {
    std::set<std::string> actual;
    for (const auto& entry : Embedded().Entries()) {
        EXPECT_TRUE(actual.insert(Narrow(entry.name)).second) << "duplicate " << Narrow(entry.name);
        EXPECT_FALSE(entry.bytes.empty()) << Narrow(entry.name);
    }
    const std::set<std::string> expected = ExpectedEntries();
    EXPECT_EQ(expected.size(), 162u);
    for (const std::string& name : expected) {
        EXPECT_TRUE(actual.count(name)) << "missing " << name;
    }
    for (const std::string& name : actual) {
        EXPECT_TRUE(expected.count(name)) << "unexpected " << name;
    }
}

TEST_F(EmbeddedPackageTest, LookupsFindEntriesWhateverTheSpelling) {
    const Ui::SkinPackage& package = Embedded();
    const Ui::SkinPackage::Entry* exitTip = package.Find(L"ExitTipWnd.xml");
    ASSERT_NE(exitTip, nullptr);
    EXPECT_EQ(exitTip->name, L"exitTipWnd.xml");
    ASSERT_NE(package.Find(L"MainWnd.xml"), nullptr);
    EXPECT_EQ(package.Find(L"MainWnd.xml")->name, L"mainWnd.xml");
    const auto* slash = package.Find(L"res/MessageBoxWnd/yesBtn1.png");
    const auto* backslash = package.Find(L"res\\MessageBoxWnd\\yesBtn1.png");
    ASSERT_NE(slash, nullptr);
    EXPECT_EQ(slash, backslash);
    EXPECT_EQ(package.Find(L"res\\MessageBoxWnd\\yesBtn1.pngx"), nullptr);
    EXPECT_EQ(package.Find(L"res\\MessageBoxWnd"), nullptr);  // folders are not entries
    EXPECT_EQ(package.Find(L"res/common/minbtn4.png"), nullptr);
    EXPECT_TRUE(package.Bytes(L"nothing.png").empty());
    EXPECT_EQ(package.Bytes(L"res\\mainWnd\\logo.png").size(),
              package.Find(L"res/mainWnd/logo.png")->bytes.size());
}

// Every image string of every description names an entry (the disabled images the skin
// never needs excepted), and the animation pattern yields 100 existing frames.
TEST_F(EmbeddedPackageTest, EveryImageTheDescriptionsNameExists) {
    const Ui::SkinPackage& package = Embedded();
    const std::set<std::wstring> knownAbsent = {L"res\\common\\minbtn4.png",
                                                L"res\\common\\closebtn4.png",
                                                L"res\\common\\closebtnM_4.png"};
    const char* imageAttributes[] = {"bkimage",       "normalimage",   "hotimage", "pushedimage",
                                     "disabledimage", "selectedimage", "foreimage"};
    int checked = 0;
    for (const wchar_t* file :
         {L"mainWnd.xml", L"MessageBox1Wnd.xml", L"MessageBox2Wnd.xml", L"exitTipWnd.xml",
          L"InstalledPathTipWnd.xml", L"NetworkTipWnd.xml"}) {
        const auto* entry = package.Find(file);
        ASSERT_NE(entry, nullptr) << Narrow(file);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_buffer(entry->bytes.data(), entry->bytes.size())) << Narrow(file);
        for (const pugi::xpath_node& node : doc.select_nodes("//*")) {
            for (const char* attribute : imageAttributes) {
                const pugi::xml_attribute a = node.node().attribute(attribute);
                if (!a) {
                    continue;
                }
                std::string value = a.value();
                // "file='name' dest=..." or a bare name.
                const size_t key = value.find("file='");
                if (key != std::string::npos) {
                    const size_t end = value.find('\'', key + 6);
                    value = value.substr(key + 6, end - key - 6);
                }
                const std::wstring name = Wide(value);
                if (knownAbsent.count(name)) {
                    EXPECT_EQ(package.Find(name), nullptr) << value;
                    continue;
                }
                EXPECT_NE(package.Find(name), nullptr) << Narrow(file) << ": " << value;
                ++checked;
            }
            if (const pugi::xml_attribute pattern = node.node().attribute("sequencebkimage")) {
                const int count = node.node().attribute("sequencecount").as_int();
                EXPECT_EQ(count, 100);
                for (int i = 0; i < count; ++i) {
                    wchar_t name[260];
                    std::swprintf(name, 260, Wide(pattern.value()).c_str(), i);
                    EXPECT_NE(package.Find(name), nullptr) << Narrow(name);
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 150);
}

// The artwork has the pixel sizes of the controls that show it, so nothing is stretched.
TEST_F(EmbeddedPackageTest, ImagesHaveTheSizesOfTheirControls) {
    const struct {
        const wchar_t* name;
        uint32_t width, height;
    } sizes[] = {
        {L"res/mainWnd/bg1.png", 600, 400},
        {L"res/mainWnd/bg4.png", 600, 400},
        {L"res/mainWnd/logo.png", 70, 70},
        {L"res/mainWnd/ilogo.png", 20, 20},
        {L"res/mainWnd/finished.png", 40, 40},
        {L"res/mainWnd/tipLbl.png", 116, 32},
        {L"res/mainWnd/installDirEdit.png", 340, 40},
        {L"res/mainWnd/installPrg1.png", 410, 8},
        {L"res/mainWnd/installPrg2.png", 410, 8},
        {L"res/mainWnd/Cb1.png", 16, 16},
        {L"res/mainWnd/backBtn1.png", 46, 18},
        {L"res/mainWnd/customeBtn2.png", 88, 18},
        {L"res/mainWnd/editBtn3.png", 80, 40},
        {L"res/common/closebtnM_1.png", 16, 16},
        {L"res/mainWnd/installBtnAnimate/000.png", 158, 158},
        {L"res/mainWnd/installBtnAnimate/099.png", 158, 158},
        {L"res/MessageBoxWnd/icoWarn.png", 40, 40},
        {L"res/MessageBoxWnd/yesBtn1.png", 100, 30},
        {L"res/MessageBoxWnd/latestBtn3.png", 138, 30},
    };
    for (const auto& s : sizes) {
        const auto size = PngSize(Embedded().Bytes(s.name));
        EXPECT_EQ(size.first, s.width) << Narrow(s.name);
        EXPECT_EQ(size.second, s.height) << Narrow(s.name);
    }
    for (const auto& entry : Embedded().Entries()) {
        if (entry.name.ends_with(L".png")) {
            EXPECT_NE(PngSize(entry.bytes).first, 0u) << "not a PNG: " << Narrow(entry.name);
        }
    }
}

// UTF-8 without a byte-order mark, CRLF line ends, not empty, within 4 MiB, well-formed.
TEST_F(EmbeddedPackageTest, DescriptionsKeepTheirTextFormat) {
    for (const auto& entry : Embedded().Entries()) {
        if (!entry.name.ends_with(L".xml")) {
            continue;
        }
        const std::string text(entry.bytes.begin(), entry.bytes.end());
        SCOPED_TRACE(Narrow(entry.name));
        ASSERT_FALSE(text.empty());
        EXPECT_LE(text.size(), 4194304u);
        EXPECT_NE(text.rfind("<?xml", 0), std::string::npos) << "starts with a BOM or junk";
        size_t lf = 0, crlf = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++lf;
                crlf += i > 0 && text[i - 1] == '\r';
            }
        }
        EXPECT_GT(lf, 5u);
        EXPECT_EQ(lf, crlf) << "line ends must all be CRLF";
        EXPECT_FALSE(Utils::ToWide(text, Utils::kCodePageUtf8).find(L'\uFFFD') !=
                     std::wstring::npos)
            << "not valid UTF-8";
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(text.c_str()));
    }
}

// The package embedded in this test binary is what the build packed from ui/skin.
TEST_F(EmbeddedPackageTest, EmbeddedPackageMatchesTheSourceFolder) {
    std::wstring error;
    auto folder = Ui::SkinPackage::OpenFolder(SourceRoot() / "ui" / "skin", &error);
    ASSERT_TRUE(folder) << Narrow(error);
    ASSERT_EQ(folder->Entries().size(), Embedded().Entries().size());
    for (const auto& entry : folder->Entries()) {
        const auto* packed = Embedded().Find(entry.name);
        ASSERT_NE(packed, nullptr) << Narrow(entry.name);
        EXPECT_EQ(packed->name, entry.name);
        EXPECT_TRUE(packed->bytes == entry.bytes) << Narrow(entry.name);
    }
}

// The package file the build wrote is a standard 7z archive: the reference tool tests it,
// finds one solid LZMA2 block and relative "/" names.
TEST(SkinPackageTest, BuiltPackagePassesThe7zTool) {
    const fs::path package = BinDir().parent_path() / "skin.7z";
    ASSERT_TRUE(fs::exists(package)) << package;
    int status = 0;
    const std::string test = RunCommand("7zz t '" + package.string() + "'", &status);
    EXPECT_EQ(status, 0) << test;
    EXPECT_NE(test.find("Everything is Ok"), std::string::npos) << test;
    const std::string list = RunCommand("7zz l -slt '" + package.string() + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(list.find("Solid = +"), std::string::npos);
    EXPECT_NE(list.find("Blocks = 1"), std::string::npos);
    EXPECT_NE(list.find("Method = LZMA2:21"), std::string::npos) << "LZMA2, 2 MiB dictionary";
    // Entry records follow the "----------" line; before it the archive describes itself.
    const std::string entries = list.substr(list.find("----------"));
    EXPECT_NE(entries.find("Path = res/mainWnd/installBtnAnimate/099.png"), std::string::npos);
    EXPECT_EQ(entries.find("Path = /"), std::string::npos) << "absolute names";
    EXPECT_EQ(entries.find('\\'), std::string::npos) << "backslash separators";
    auto opened = Ui::SkinPackage::OpenFile(package);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->Entries().size(), 162u);
}

TEST(SkinPackageTest, NonAsciiNamesSurviveAndLookupIgnoresCase) {
    const std::vector<uint8_t> archive =
        Make7z({{"皮肤/Über.xml", "<Window/>"}, {"res/A.png", "a"}, {"res/a.png", "second"}});
    std::wstring error;
    auto package = Ui::SkinPackage::OpenMemory(archive, &error);
    ASSERT_TRUE(package) << Narrow(error);
    ASSERT_EQ(package->Entries().size(), 3u);
    const auto* entry = package->Find(L"皮肤\\über.XML");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, L"皮肤/Über.xml");
    // Two names equal without regard to case: the first entry wins.
    ASSERT_NE(package->Find(L"RES/a.png"), nullptr);
    EXPECT_EQ(std::string(package->Find(L"RES/a.png")->bytes.begin(),
                          package->Find(L"RES/a.png")->bytes.end()),
              "a");
}

TEST(SkinPackageTest, BrokenArchivesFailCleanly) {
    const std::vector<uint8_t> good = Make7z({{"a.xml", std::string(5000, 'x')}});
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back({});                              // empty
    inputs.push_back({'n', 'o', 't', ' ', '7', 'z'});  // not an archive
    inputs.push_back(std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));  // cut
    std::vector<uint8_t> flipped = good;
    flipped[flipped.size() / 3] ^= 0xFF;  // damaged packed data or header
    inputs.push_back(flipped);
    // A start header whose archive header would lie beyond the bytes (the reader would
    // allocate its declared size first).
    std::vector<uint8_t> huge = good;
    for (size_t i = 20; i < 28; ++i) {
        huge[i] = 0x7F;
    }
    inputs.push_back(huge);
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::wstring error;
        auto package = Ui::SkinPackage::OpenMemory(inputs[i], &error);
        if (package) {
            // A flipped byte may land where 7z does not check it; then the content differs
            // but the reader must still not crash or invent entries.
            EXPECT_LE(package->Entries().size(), 1u) << "input " << i;
        } else {
            EXPECT_FALSE(error.empty()) << "input " << i;
        }
    }
    EXPECT_FALSE(Ui::SkinPackage::OpenFile("/nonexistent/skin.7z"));
    EXPECT_FALSE(Ui::SkinPackage::OpenFolder("/nonexistent/skin"));
}

TEST(SkinPackageTest, ProcessPackageIsDecodedOnce) {
    // A prefetch racing with several first users still decodes once (ctest runs this in a
    // fresh process; in a longer run an earlier test may already have decoded it).
    const unsigned start = Ui::SkinPackage::DecodeCount();
    Ui::PrefetchSkinPackage();
    std::vector<std::shared_ptr<const Ui::SkinPackage>> seen(4);
    std::vector<std::thread> users;
    for (auto& slot : seen) {
        users.emplace_back([&slot] { slot = Ui::ProcessSkinPackage(); });
    }
    for (auto& user : users) {
        user.join();
    }
    for (const auto& package : seen) {
        ASSERT_TRUE(package);
        EXPECT_EQ(package.get(), seen[0].get());
    }
    EXPECT_LE(Ui::SkinPackage::DecodeCount() - start, 1u);
    auto first = Ui::ProcessSkinPackage();
    EXPECT_EQ(first.get(), seen[0].get());
    ASSERT_TRUE(first);
    const unsigned decoded = Ui::SkinPackage::DecodeCount();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Ui::ProcessSkinPackage().get(), first.get());
    }
    EXPECT_EQ(Ui::SkinPackage::DecodeCount(), decoded);
    EXPECT_FALSE(Ui::ProcessSkinPackage(148));
}

// The packer under the plain C locale (as in CI): non-ASCII names survive, dot files are
// left out, the same folder packs to the same bytes, and a folder without files fails.
TEST(SkinPackageTest, PackerKeepsNamesAndIsReproducible) {
    const fs::path packer = BinDir() / "glyphora-skinpack";
    ASSERT_TRUE(fs::exists(packer)) << packer;
    TestSupport::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path skin = fs::path(dir.path()) / "skin";
    fs::create_directories(skin / "res" / "图片");
    fs::create_directories(skin / ".git");
    std::ofstream(skin / "mainWnd.xml", std::ios::binary) << "<Window/>\r\n";
    std::ofstream(skin / "res" / "图片" / "Über.png", std::ios::binary) << "png";
    std::ofstream(skin / ".gitattributes") << "*.xml -text";
    std::ofstream(skin / ".git" / "HEAD") << "ref";
    const std::string env = "env -u LANG -u LC_ALL -u LC_CTYPE LANGUAGE= ";
    int status = 0;
    const std::string first = (fs::path(dir.path()) / "a.7z").string();
    const std::string second = (fs::path(dir.path()) / "b.7z").string();
    std::string out = RunCommand(
        env + "'" + packer.string() + "' '" + skin.string() + "' '" + first + "'", &status);
    ASSERT_EQ(status, 0) << out;
    out = RunCommand(env + "'" + packer.string() + "' '" + skin.string() + "' '" + second + "'",
                     &status);
    ASSERT_EQ(status, 0) << out;
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read(first), read(second)) << "packing is not reproducible";
    auto package = Ui::SkinPackage::OpenFile(first);
    ASSERT_TRUE(package);
    std::set<std::wstring> names;
    for (const auto& entry : package->Entries()) {
        names.insert(entry.name);
    }
    EXPECT_EQ(names, (std::set<std::wstring>{L"mainWnd.xml", L"res/图片/Über.png"}));
    EXPECT_FALSE(fs::exists(first + ".tmp"));

    const fs::path empty = fs::path(dir.path()) / "empty";
    fs::create_directories(empty);
    RunCommand("'" + packer.string() + "' '" + empty.string() + "' '" + dir.File("c.7z") + "'",
               &status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(dir.File("c.7z")));
}

}  // namespace
