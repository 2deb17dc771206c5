// Child processes on pipes and the output pump, with real children started through
// /bin/sh.
#include "utils/child_process.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "utils/text.h"

namespace {

using namespace std::chrono_literals;
using Utils::ChildProcess;
using Utils::LineAssembler;
using Utils::PumpVariant;

std::unique_ptr<ChildProcess> StartShell(const std::string& script) {
    auto child = std::make_unique<ChildProcess>();
    child->CreateErrorPipe();
    child->CreateOutputPipe();
    child->CreateInputPipe();
    child->Launch({L"/bin/sh", L"-c", Utils::ToWide(script, Utils::kCodePageUtf8)}, L"");
    return child;
}

struct PumpResult {
    bool noFinalState;
    std::vector<std::wstring> lines;
};

// Pumps a shell script; `finalOn` makes the parser report a final state for that line.
PumpResult Pump(const std::string& script, PumpVariant variant, const std::wstring& finalOn = L"") {
    auto child = StartShell(script);
    PumpResult result;
    int32_t codePage = Utils::kCodePageUtf8;
    result.noFinalState = Utils::PumpOutput(
        *child, codePage,
        [&](const std::wstring& line) {
            result.lines.push_back(line);
            if (line == L"Encode=936")
                codePage = 936;
            return !finalOn.empty() && line == finalOn ? 1 : 0;
        },
        variant, 1ms);
    return result;
}

int CountOpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

TEST(LineAssemblerTest, ReassemblesLinesFromPieces) {
    struct {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;  // including the flushed rest
    } cases[] = {
        {{"a\nb\n"}, {"a", "b"}},
        {{"Err", "or=x\n"}, {"Error=x"}},
        {{"a\r\n", "\n"}, {"a\r", ""}},
        {{"tail"}, {"tail"}},
        {{"x\ny", "z"}, {"x", "yz"}},
        {{"\xE4\xBD", "\xA0\n"}, {"\xE4\xBD\xA0"}},
        {{""}, {}},
    };
    for (const auto& c : cases) {
        LineAssembler assembler;
        std::vector<std::string> lines;
        auto onLine = [&](std::string_view line) { lines.emplace_back(line); };
        for (const std::string& piece : c.pieces)
            assembler.Feed(piece, onLine);
        assembler.Flush(onLine);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(LineAssemblerTest, CutsOverlongLines) {
    LineAssembler assembler(4);
    std::vector<std::string> lines;
    auto onLine = [&](std::string_view line) { lines.emplace_back(line); };
    assembler.Feed("abcdefghij\nxy", onLine);
    assembler.Flush(onLine);
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "efgh", "ij", "xy"}));
}

TEST(PumpOutputTest, ChildWithoutOutputEndsWithNoFinalState) {
    PumpResult r = Pump("exit 0", PumpVariant::kUninstaller);
    EXPECT_TRUE(r.noFinalState);
    EXPECT_TRUE(r.lines.empty());
}

TEST(PumpOutputTest, LinesInOrderSplitLinesWholeLastLineWithoutLineFeed) {
    PumpResult r = Pump(
        "printf 'a\\nb\\r\\n'; sleep 0.1; printf 'Err'; sleep 0.1; "
        "printf 'or=x\\nlast'",
        PumpVariant::kUninstaller);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"a", L"b\r", L"Error=x", L"last"}));
}

TEST(PumpOutputTest, EncodeAppliesFromTheNextLineOfTheSameRead) {
    // "你好" in GBK right after the switch, in one write.
    PumpResult r = Pump("printf 'Encode=936\\n\\304\\343\\272\\303\\n'", PumpVariant::kPackage);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"Encode=936", L"你好"}));
}

TEST(PumpOutputTest, VariantsAfterAFinalState) {
    const char* script = "printf 'S\\nafter\\n'; sleep 0.3; printf 'later\\n'";
    // The uninstaller variant keeps reading; the package variant parses the rest of the
    // read that held the final state, then stops parsing but still waits for the child.
    PumpResult un = Pump(script, PumpVariant::kUninstaller, L"S");
    EXPECT_FALSE(un.noFinalState);
    EXPECT_EQ(un.lines, (std::vector<std::wstring>{L"S", L"after", L"later"}));
    auto start = std::chrono::steady_clock::now();
    PumpResult pkg = Pump(script, PumpVariant::kPackage, L"S");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
    EXPECT_FALSE(pkg.noFinalState);
    EXPECT_EQ(pkg.lines, (std::vector<std::wstring>{L"S", L"after"}));
}

TEST(PumpOutputTest, ExitCode259EndsThePump) {
    auto child = StartShell("echo x; exit 259");  // the shell reports 259 & 255 = 3
    int32_t codePage = 0;
    EXPECT_TRUE(Utils::PumpOutput(
        *child, codePage, [](const std::wstring&) { return 0; }, PumpVariant::kUninstaller, 0ms));
}

TEST(PumpOutputTest, EndsWhenTheChildEndsEvenIfAGrandchildHoldsTheOutput) {
    auto start = std::chrono::steady_clock::now();
    PumpResult r = Pump("(sleep 5) & echo gone; exit 0", PumpVariant::kUninstaller);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"gone"}));
}

TEST(PumpOutputTest, MegabytesOnStandardErrorAreDrained) {
    auto start = std::chrono::steady_clock::now();
    PumpResult r = Pump("head -c 8000000 /dev/zero >&2; echo done", PumpVariant::kPackage);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"done"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST(ChildProcessTest, OnlyTheThreeStandardStreamsReachTheChild) {
    auto start = [](const wchar_t* seconds) {
        auto child = std::make_unique<ChildProcess>();
        child->CreateErrorPipe();
        child->CreateOutputPipe();
        child->CreateInputPipe();
        child->Launch({L"/bin/sleep", seconds}, L"");
        return child;
    };
    auto first = start(L"2");
    auto second = start(L"2");  // created while the first one's pipes are open
    std::string fdDir = "/proc/" + std::to_string(second->ProcessId()) + "/fd";
    std::vector<std::string> names;
    if (DIR* dir = opendir(fdDir.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"0", "1", "2"}));
}

TEST(ChildProcessTest, MissingProgramThrowsAndLeaksNoDescriptor) {
    int before = CountOpenDescriptors();
    {
        ChildProcess child;
        child.CreateErrorPipe();
        child.CreateOutputPipe();
        child.CreateInputPipe();
        EXPECT_THROW(child.Launch(L"/nonexistent/program -x"), Utils::Exception);
        EXPECT_THROW(ChildProcess().Launch(L"/bin/true"), Utils::Exception);  // no pipes
    }
    EXPECT_EQ(CountOpenDescriptors(), before);
}

TEST(ChildProcessTest, LaunchSplitsTheCommandLine) {
    auto child = std::make_unique<ChildProcess>();
    child->CreateErrorPipe();
    child->CreateOutputPipe();
    child->CreateInputPipe();
    child->Launch(L"\"/bin/sh\" -c \"printf '%s|' \\\"$0\\\" \\\"$1\\\"\" \"a b\" c");
    std::vector<std::wstring> lines;
    int32_t codePage = 0;
    Utils::PumpOutput(
        *child, codePage,
        [&](const std::wstring& line) {
            lines.push_back(line);
            return 0;
        },
        PumpVariant::kUninstaller, 0ms);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a b|c|"}));
}

}  // namespace
