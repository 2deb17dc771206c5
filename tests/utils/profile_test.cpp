#include "utils/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/utils/temp_dir.h"

namespace {

using namespace std::string_literals;
using TestSupport::ReadFile;
using TestSupport::TempDir;

TEST(ReadProfileString, WindowsSemantics) {
    const std::string file =
        "; a comment line\n"
        "top=before any section\n"
        "[Main]\n"
        "Plain=value\n"
        "  Spaced  =   inner  blanks   \n"
        "Quoted=\"  kept blanks  \"\n"
        "Single='x'\n"
        "Half=\"open\n"
        "Mixed=\"a'\n"
        "TwoPairs=\"\"x\"\"\n"
        "Empty=\n"
        "NoEquals\n"
        "Equals=a=b\n"
        "Dup=first\n"
        "dup=second\n"
        ";Commented=yes\n"
        "Tab\t=\tt\t\r\n"
        "[ main ]\n"
        "Later=from the second section of that name\n"
        "[Other]\n"
        "Plain=other\n";
    struct Case {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* expected;  // "<default>" stands for the default
    } cases[] = {
        {L"Main", L"Plain", L"value"},
        {L"MAIN", L"PLAIN", L"value"},
        {L"Main", L"Spaced", L"inner  blanks"},
        {L"Main", L"Quoted", L"  kept blanks  "},
        {L"Main", L"Single", L"x"},
        {L"Main", L"Half", L"\"open"},
        {L"Main", L"Mixed", L"\"a'"},
        {L"Main", L"TwoPairs", L"\"x\""},
        {L"Main", L"Empty", L""},
        {L"Main", L"NoEquals", L""},
        {L"Main", L"Equals", L"a=b"},
        {L"Main", L"Dup", L"first"},
        {L"Main", L"Commented", L"<default>"},
        {L"Main", L"Tab", L"t"},
        {L"Main", L"Later", L"<default>"},
        {L"Main", L"top", L"<default>"},
        {L"Other", L"Plain", L"other"},
        {L"Missing", L"Plain", L"<default>"},
    };
    TempDir dir;
    std::string path = dir.Write("a.ini", file);
    for (const Case& c : cases) {
        std::wstring want = c.expected;
        if (want == L"<default>")
            want = L"dflt";
        EXPECT_EQ(Utils::ReadProfileString(path, c.section, c.key, L"dflt  "), want)
            << std::string(c.key, c.key + wcslen(c.key));
    }
    EXPECT_EQ(Utils::ReadProfileString(dir.File("missing.ini"), L"Main", L"Plain", L"d"), L"d");
}

TEST(ReadProfileString, BufferSizeTruncates) {
    TempDir dir;
    std::string path = dir.Write("a.ini", "[S]\nK=abcdef\n");
    struct Case {
        size_t buffer;
        const wchar_t* expected;
    } cases[] = {{0, L""}, {1, L""}, {2, L"a"}, {6, L"abcde"}, {7, L"abcdef"}, {260, L"abcdef"}};
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::ReadProfileString(path, L"S", L"K", L"", c.buffer), c.expected)
            << c.buffer;
        EXPECT_EQ(Utils::ReadProfileString(path, L"S", L"Missing", L"abcdef", c.buffer), c.expected)
            << c.buffer;
    }
}

TEST(ReadProfileString, Utf8TextAndJunk) {
    EXPECT_EQ(Utils::ReadProfileStringFromText("\xEF\xBB\xBF[S]\nName=\xE6\x96\x87\xE5\xAD\x97\n",
                                               L"S", L"Name", L""),
              L"\u6587\u5b57");
    // Invalid UTF-8 reads as replacement characters, never fails.
    EXPECT_EQ(Utils::ReadProfileStringFromText("[S]\nK=a\xff"
                                               "b",
                                               L"S", L"K", L""),
              L"a\ufffdb");
    EXPECT_EQ(Utils::ReadProfileStringFromText("[S]\nK=a\0b\n"s, L"S", L"K", L""),
              std::wstring(L"a\0b", 3));
}

TEST(ReadProfileInt, ConversionTable) {
    TempDir dir;
    std::string path = dir.Write(
        "a.ini", "[S]\nA=42\nB= -7 \nC=abc\nD=\nE=12abc\nF=2147483648\nG=\"5\"\nH=+3\nI=0x10\n");
    struct Case {
        const wchar_t* key;
        int32_t expected;
    } cases[] = {{L"A", 42}, {L"B", -7}, {L"C", 0}, {L"D", 99}, {L"E", 12},
                 {L"F", 0},  {L"G", 5},  {L"H", 3}, {L"I", 0},  {L"Missing", 99}};
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::ReadProfileInt(path, L"S", c.key, 99), c.expected)
            << std::string(c.key, c.key + wcslen(c.key));
    }
}

TEST(WriteProfileString, KeepsEveryOtherLineAsItWas) {
    struct Case {
        const char* label;
        std::string before;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
        std::string after;
    } cases[] = {
        {"replace in place, comments and odd lines kept",
         "; c\n[Main]\nA=1\n  junk line  \nB = 2 ; not a comment\n[Next]\nA=3\n", L"main", L"b",
         L"new", "; c\n[Main]\nA=1\n  junk line  \nb=new\n[Next]\nA=3\n"},
        {"add at the end of the section, before blank lines", "[Main]\nA=1\n\n[Next]\nX=1\n",
         L"Main", L"C", L"3", "[Main]\nA=1\nC=3\n\n[Next]\nX=1\n"},
        {"add the section at the end of a file without final line end", "[Main]\nA=1", L"New", L"K",
         L"v", "[Main]\nA=1\n[New]\nK=v\n"},
        {"add a key to a last section without final line end", "[Main]\nA=1", L"Main", L"B", L"2",
         "[Main]\nA=1\nB=2\n"},
        {"CRLF files get CRLF lines", "[Main]\r\nA=1\r\n", L"Main", L"B", L"2",
         "[Main]\r\nA=1\r\nB=2\r\n"},
        {"only the first section of a name is written", "[S]\nA=1\n[S]\nA=2\n", L"S", L"A", L"x",
         "[S]\nA=x\n[S]\nA=2\n"},
        {"line breaks in a value stay on one line", "", L"S", L"K", L"a\r\nb", "[S]\nK=a  b\n"},
        {"non-ASCII text as UTF-8", "", L"S", L"K", L"\u6587", "[S]\nK=\xE6\x96\x87\n"},
        {"binary junk elsewhere is kept byte for byte", "\xff\x00\x01\n[S]\nK=1\n"s, L"S", L"K",
         L"2", "\xff\x00\x01\n[S]\nK=2\n"s},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = c.before.empty() ? dir.File("a.ini") : dir.Write("a.ini", c.before);
        ASSERT_TRUE(Utils::WriteProfileString(path, c.section, c.key, c.value)) << c.label;
        EXPECT_EQ(ReadFile(path), c.after) << c.label;
        EXPECT_EQ(Utils::ReadProfileString(path, c.section, c.key, L"?"),
                  std::wstring(c.value).find(L'\n') == std::wstring::npos ? c.value : L"a  b")
            << c.label;
    }
}

TEST(WriteProfileString, FailsWithoutTheFolderAndKeepsTheMode) {
    TempDir dir;
    EXPECT_FALSE(Utils::WriteProfileString(dir.File("no/such/dir/a.ini"), L"S", L"K", L"v"));
    std::string path = dir.Write("a.ini", "[S]\nK=1\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(Utils::WriteProfileString(path, L"S", L"K", L"2"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(DeleteProfileKey, RemovesOnlyThatKey) {
    TempDir dir;
    std::string path = dir.Write("a.ini", "[S]\nA=1\nB=2\na=3\n[T]\nA=4\n");
    ASSERT_TRUE(Utils::DeleteProfileKey(path, L"s", L"A"));
    EXPECT_EQ(ReadFile(path), "[S]\nB=2\n[T]\nA=4\n");
    EXPECT_TRUE(Utils::DeleteProfileKey(path, L"S", L"Missing"));
    EXPECT_TRUE(Utils::DeleteProfileKey(dir.File("none.ini"), L"S", L"A"));
}

}  // namespace
