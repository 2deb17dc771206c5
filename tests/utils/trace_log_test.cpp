#include "utils/trace_log.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Format(const Utils::TraceStamp& s, const wchar_t* fn, int line, const wchar_t* fmt,
                    ...) {
    va_list args;
    va_start(args, fmt);
    std::wstring out = Utils::FormatTraceLine(s, fn, line, fmt, args);
    va_end(args);
    return out;
}

Utils::TraceStamp Stamp(unsigned pid, unsigned tid) {
    Utils::TraceStamp s;
    s.pid = pid;
    s.tid = tid;
    s.year = 2022;
    s.month = 8;
    s.day = 1;
    s.hour = 9;
    s.minute = 4;
    s.second = 7;
    s.millisecond = 45;
    return s;
}

TEST(TraceLine, PrefixLayoutWidthsAndTerminator) {
    struct Case {
        unsigned pid, tid;
        int line;
        const wchar_t* fmt;
        int arg;
        const wchar_t* expected;
    } cases[] = {
        {123, 45678, 49, L"CurlDownLoader Code=%d", 28,
         L"<P00123><T45678><2022-08-01 09:04:07.045>(CCurlDownloader::dlThreadFun)<0049>: "
         L"CurlDownLoader Code=28\r\n"},
        {123456, 7, 12345, L"x%d", 1,
         L"<P123456><T00007><2022-08-01 09:04:07.045>(CCurlDownloader::dlThreadFun)<12345>: "
         L"x1\r\n"},
        {1, 2, 3, L"DL_CODE_START\r\n", 0,
         L"<P00001><T00002><2022-08-01 09:04:07.045>(CCurlDownloader::dlThreadFun)<0003>: "
         L"DL_CODE_START\r\n"},
        {1, 2, 3, L" %dM progress:50%%  \n", 7,
         L"<P00001><T00002><2022-08-01 09:04:07.045>(CCurlDownloader::dlThreadFun)<0003>: "
         L" 7M progress:50%  \n"},
        {1, 2, 3, L"ends with cr only\r", 0,
         L"<P00001><T00002><2022-08-01 09:04:07.045>(CCurlDownloader::dlThreadFun)<0003>: "
         L"ends with cr only\r\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            Format(Stamp(c.pid, c.tid), L"CCurlDownloader::dlThreadFun", c.line, c.fmt, c.arg),
            c.expected);
    }
}

TEST(TraceLine, WideAndNarrowStringArguments) {
    std::wstring got = Format(Stamp(1, 2), L"f", 1, L"[%ls|%s]", L"\u6587\u5b57", "narrow");
    EXPECT_NE(got.find(L"[\u6587\u5b57|narrow]\r\n"), std::wstring::npos);
}

TEST(TraceLine, LongMessagesAreEmittedWhole) {
    for (size_t n : {1000u, 1023u, 1024u, 5000u, 100000u}) {
        std::wstring big(n, L'a');
        big.back() = L'Z';
        std::wstring got = Format(Stamp(1, 2), L"f", 1, L"%ls", big.c_str());
        ASSERT_GE(got.size(), n + 2) << n;
        EXPECT_EQ(got.substr(got.size() - n - 2), big + L"\r\n") << n;
    }
    // A long function name too.
    std::wstring fn(3000, L'F');
    EXPECT_NE(Format(Stamp(1, 2), fn.c_str(), 1, L"m").find(L"(" + fn + L")<0001>: m\r\n"),
              std::wstring::npos);
}

TEST(TraceLine, UnformattableLineIsDropped) {
    // A narrow argument that is not valid in the locale's encoding cannot be converted.
    std::wstring got = Format(Stamp(1, 2), L"f", 1, L"%s", "\xff\xfe bad");
    // Either the line is dropped or formatted; it must not be cut short silently.
    if (!got.empty()) {
        EXPECT_NE(got.find(L"bad"), std::wstring::npos);
    }
    EXPECT_TRUE(Format(Stamp(1, 2), L"f", 1, nullptr).empty());
}

TEST(TraceLog, MacroNamesTheFunctionAndLine) {
    std::vector<std::wstring> lines;
    Utils::SetTraceSink([&](const std::wstring& l) { lines.push_back(l); });
    TRACE(L"value=%d", 5);
    const int expectedLine = __LINE__ - 1;
    auto lambda = [] { TRACE(L"in lambda\r\n"); };
    lambda();
    Utils::SetTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    wchar_t lineText[16];
    swprintf(lineText, 16, L"<%04d>: ", expectedLine);
    EXPECT_NE(lines[0].find(std::wstring(L"TraceLog_MacroNamesTheFunctionAndLine_Test::TestBody)") +
                            lineText + L"value=5\r\n"),
              std::wstring::npos)
        << std::string(lines[0].begin(), lines[0].end());
    EXPECT_NE(lines[1].find(L"TestBody"), std::wstring::npos);
    EXPECT_NE(lines[1].find(L"lambda"), std::wstring::npos);
    // "<P" + at least 5 digits, "><T" + at least 5 digits.
    EXPECT_EQ(lines[0].substr(0, 2), L"<P");
    size_t t = lines[0].find(L"><T");
    ASSERT_NE(t, std::wstring::npos);
    EXPECT_GE(t - 2, 5u);
}

TEST(QualifiedFunctionName, DropsReturnTypeAndParameters) {
    struct Case {
        const char* pretty;
        const wchar_t* expected;
    } cases[] = {
        {"void Utils::Thread::CallBack()", L"Utils::Thread::CallBack"},
        {"static int CurlClient::Start(const std::string&, int)", L"CurlClient::Start"},
        {"int main(int, char**)", L"main"},
        {"std::map<int, std::basic_string<char> > Ns::f(std::vector<int>)", L"Ns::f"},
        {"virtual bool CMainWnd::Notify(TNotifyUI&)", L"CMainWnd::Notify"},
        {"A::run()::<lambda(int)>", L"A::run::<lambda(int)>"},
        {"void ns::f<int>()::<lambda()>::operator()() const",
         L"ns::f<int>::<lambda()>::operator()"},
        {"static void ns::Cls<T>::run() [with T = int]", L"ns::Cls<T>::run"},
        {"bool Foo::operator<(const Foo&) const", L"Foo::operator<"},
        {"bool Foo::operator<=>(const Foo&) const &", L"Foo::operator<=>"},
        {"Foo* Foo::operator->()", L"Foo::operator->"},
        {"Foo::operator bool() const", L"Foo::operator bool"},
        {"void Foo::operator()(int)", L"Foo::operator()"},
        {"ns::Foo::Foo(int)", L"ns::Foo::Foo"},
        // clang's spelling of lambdas
        {"auto main()::(anonymous class)::operator()() const",
         L"main::(anonymous class)::operator()"},
        {"auto f()::(lambda at /a b/x.cpp:3:4)::operator()(int) const",
         L"f::(lambda at /a b/x.cpp:3:4)::operator()"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::QualifiedFunctionName(c.pretty), c.expected) << c.pretty;
}

TEST(TraceLog, ConcurrentLinesStayWhole) {
    std::vector<std::wstring> lines;
    std::mutex m;
    Utils::SetTraceSink([&](const std::wstring& l) { lines.push_back(l); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                TRACE(L"thread %d line %d", t, i);
        });
    }
    for (auto& th : threads)
        th.join();
    Utils::SetTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 400u);
    for (const auto& l : lines)
        EXPECT_EQ(l.substr(l.size() - 2), L"\r\n");
}

}  // namespace
