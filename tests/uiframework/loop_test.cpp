#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/pump_messages.h"

namespace {

using uitest::UiTest;

const char kLoopXml[] = R"(<Window size="120,60">
  <HorizontalLayout name="root">
    <Label name="anim" width="40"/><Label name="other" width="40"/>
    <Button name="okBtn" width="20"/><Button name="closebtn" width="20"/>
  </HorizontalLayout></Window>)";

int Count(const uitest::TestWindow& w, const std::wstring& type, const std::wstring& sender) {
    int n = 0;
    for (const auto& note : w.notes)
        n += note.type == type && note.sender == sender;
    return n;
}

TEST_F(UiTest, TimersOnTheVirtualClock) {
    auto w = Open(L"loop.xml", kLoopXml);
    Ui::TestDriver d(*w);
    Ui::Control* anim = w->FindControl(L"anim");
    Ui::Control* other = w->FindControl(L"other");
    ASSERT_TRUE(anim->SetTimer(2100, 30));
    ASSERT_TRUE(other->SetTimer(7, 50));
    d.Advance(29);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 0);
    d.Advance(1);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 1);
    d.Advance(270);  // t = 300
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 10);
    EXPECT_EQ(Count(*w, L"timer", L"other"), 6);
    // Ticks arrive in time order: at t = 150 "other" (due 150) was armed earlier... check the
    // first ticks: 30 anim, 50 other, 60 anim, 90 anim, 100 other.
    std::vector<std::wstring> first;
    for (size_t i = 0; i < 5; ++i)
        first.push_back(w->notes[i].sender);
    EXPECT_EQ(first, (std::vector<std::wstring>{L"anim", L"other", L"anim", L"anim", L"other"}));
    // Re-arming replaces the timer instead of adding a second one.
    ASSERT_TRUE(anim->SetTimer(2100, 30));
    ASSERT_TRUE(anim->SetTimer(2100, 30));
    w->notes.clear();
    d.Advance(300);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 10);
    EXPECT_TRUE(anim->KillTimer(2100));
    EXPECT_FALSE(anim->KillTimer(2100));
    w->notes.clear();
    d.Advance(300);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 0);
    EXPECT_EQ(Count(*w, L"timer", L"other"), 6);
    EXPECT_EQ(w->notes[0].wParam, 7u);
}

TEST_F(UiTest, RootTimerArrivesAsTimerNotificationAndPeriodsAreClamped) {
    auto w = Open(L"loop.xml", kLoopXml);
    Ui::TestDriver d(*w);
    // The largest unsigned period behaves as the system's maximum, 2147483647 ms.
    ASSERT_TRUE(w->SetTimer(w->GetRoot(), 11, 4294967295u));
    ASSERT_TRUE(w->SetTimer(w->GetRoot(), 10, 3000));
    d.Advance(2999);
    EXPECT_TRUE(w->notes.empty());
    d.Advance(1);
    ASSERT_EQ(w->notes.size(), 1u);
    EXPECT_EQ(w->notes[0].type, L"timer");
    EXPECT_EQ(w->notes[0].sender, L"root");
    EXPECT_EQ(w->notes[0].wParam, 10u);
    w->KillTimer(w->GetRoot(), 10);
    d.Advance(2147483647u - 3001);
    EXPECT_EQ(w->notes.size(), 1u);
    d.Advance(1);
    ASSERT_EQ(w->notes.size(), 2u);
    EXPECT_EQ(w->notes[1].wParam, 11u);
    // A zero period is raised to the 10 ms minimum, not a busy loop.
    w->notes.clear();
    w->FindControl(L"anim")->SetTimer(1, 0);
    d.Advance(100);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 10);
}

TEST_F(UiTest, TimersDieWithTheirWindow) {
    auto w = Open(L"loop.xml", kLoopXml);
    Ui::TestDriver d(*w);
    w->FindControl(L"anim")->SetTimer(1, 30);
    w->Close(1);
    d.Pump();
    ASSERT_FALSE(w->IsWindow());
    EXPECT_FALSE(w->FindControl(L"anim")->SetTimer(1, 30)) << "no live window";
    w->notes.clear();
    Clock().Advance(1000);
    d.Pump();
    EXPECT_TRUE(w->notes.empty());
}

TEST_F(UiTest, PostsFromWorkerThreadsArriveInOrder) {
    auto w = Open(L"loop.xml", kLoopXml);
    constexpr int kThreads = 3, kPerThread = 2000;
    std::vector<std::vector<int>> seen(kThreads);
    int total = 0;
    w->onMessage = [&](Ui::Message& m) {
        if (m.id != Ui::kMsgUser + 1)
            return false;
        int thread = static_cast<int>(m.wParam >> 16), seq = static_cast<int>(m.wParam & 0xFFFF);
        seen[thread].push_back(seq);
        EXPECT_EQ(*m.PayloadAs<int>(), seq);
        if (++total == kThreads * kPerThread)
            w->Close(0);
        return true;
    };
    std::vector<std::thread> workers;
    Ui::WindowHandle h = w->Handle();
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([h, t] {
            for (int i = 0; i < kPerThread; ++i) {
                Ui::PostMessage(h, Ui::kMsgUser + 1, (static_cast<uintptr_t>(t) << 16) | i, 0,
                                std::make_shared<int>(i));
            }
        });
    }
    int result = w->ShowModal();  // ends when the last message closes the window
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(total, kThreads * kPerThread);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<size_t>(kPerThread));
        for (int i = 0; i < kPerThread; ++i)
            ASSERT_EQ(seen[t][i], i) << "thread " << t;
    }
}

TEST_F(UiTest, PayloadsAreFreedWhenUndeliverable) {
    auto w = Open(L"loop.xml", kLoopXml);
    Ui::TestDriver d(*w);
    auto payload = std::make_shared<std::string>("notice");
    std::weak_ptr<std::string> watch = payload;
    ASSERT_TRUE(w->PostMessage(Ui::kMsgUser + 2, 0, 0, std::move(payload)));
    w->Close(1);  // the window closes before the notice is dispatched
    d.Pump();
    Ui::Message leftover{w->Handle(), 0, 0, 0, {}};
    d.Pump();
    EXPECT_TRUE(watch.expired()) << "queued payload freed when its window was gone";
    auto late = std::make_shared<int>(1);
    std::weak_ptr<int> lateWatch = late;
    EXPECT_FALSE(Ui::PostMessage(12345, Ui::kMsgUser, 0, 0, std::move(late)));
    EXPECT_TRUE(lateWatch.expired());
}

TEST_F(UiTest, PostedNotificationsFromAnotherThread) {
    auto w = Open(L"loop.xml", kLoopXml);
    w->onNotify = [&](Ui::Notify& n) {
        if (n.type == L"checknet")
            w->Close(static_cast<int>(n.wParam));
    };
    std::thread worker([&] { w->PostNotify(nullptr, L"checknet", 0x10000); });
    int r = w->ShowModal();
    worker.join();
    EXPECT_EQ(r, 0x10000);
    ASSERT_FALSE(w->notes.empty());
    EXPECT_EQ(w->notes.front().sender, L"root");
}

TEST_F(UiTest, ModalLoopInsideModalLoop) {
    AddFile(L"loop.xml", kLoopXml);
    uitest::TestWindow main(L"loop.xml"), outer(L"loop.xml"), inner(L"loop.xml");
    ASSERT_TRUE(main.Create(nullptr, L"main"));
    ASSERT_TRUE(outer.Create(&main, L"outer"));
    ASSERT_TRUE(inner.Create(&outer, L"inner"));
    std::vector<std::string> trail;
    int mainMessages = 0;
    main.onMessage = [&](Ui::Message& m) {
        if (m.id == Ui::kMsgUser + 5)
            ++mainMessages;
        return false;
    };
    inner.onNotify = [&](Ui::Notify& n) {
        if (n.type == L"click" && n.sender->GetName() == L"okBtn")
            inner.Close(5);
    };
    int innerResult = -2;
    outer.onNotify = [&](Ui::Notify& n) {
        if (n.type != L"click" || n.sender->GetName() != L"okBtn")
            return;
        trail.push_back("outer ok: opening inner");
        EXPECT_FALSE(outer.IsWindowEnabled() && false);
        // While the inner loop runs: the main window's posted messages are dispatched,
        // the outer dialog is disabled, then the inner dialog's button ends it.
        Ui::PostTask([&] {
            EXPECT_FALSE(outer.IsWindowEnabled());
            EXPECT_FALSE(main.IsWindowEnabled());
            main.PostMessage(Ui::kMsgUser + 5);
            Ui::PostTask([&] {
                trail.push_back("inner loop saw main's message: " + std::to_string(mainMessages));
                Ui::TestDriver(inner).Click(L"okBtn");
            });
        });
        innerResult = inner.ShowModal();
        trail.push_back("inner returned " + std::to_string(innerResult));
        outer.Close(7);
    };
    Ui::PostTask([&] { Ui::TestDriver(outer).Click(L"okBtn"); });
    int outerResult = outer.ShowModal();
    EXPECT_EQ(innerResult, 5);
    EXPECT_EQ(outerResult, 7);
    EXPECT_EQ(mainMessages, 1);
    EXPECT_EQ(trail,
              (std::vector<std::string>{"outer ok: opening inner",
                                        "inner loop saw main's message: 1", "inner returned 5"}));
    EXPECT_TRUE(main.IsWindowEnabled()) << "the owner is enabled again";
    EXPECT_TRUE(main.IsWindow());
}

TEST_F(UiTest, QuitEndsNestedLoopsAndIsPassedOn) {
    AddFile(L"loop.xml", kLoopXml);
    uitest::TestWindow outer(L"loop.xml"), inner(L"loop.xml");
    ASSERT_TRUE(outer.Create(nullptr, L"outer"));
    ASSERT_TRUE(inner.Create(&outer, L"inner"));
    int innerResult = 0;
    Ui::PostTask([&] {
        Ui::PostTask([] { Ui::PostQuitMessage(3); });
        innerResult = inner.ShowModal();
    });
    int outerResult = outer.ShowModal();
    EXPECT_EQ(innerResult, -1);
    EXPECT_EQ(outerResult, -1);
    EXPECT_TRUE(outer.IsWindow()) << "a quit ends loops, it does not close windows";
    EXPECT_FALSE(Utils::PumpMessages(0)) << "the quit is still there for the next loop";
}

TEST_F(UiTest, PumpMessagesRunsForAHundredMilliseconds) {
    auto w = Open(L"loop.xml", kLoopXml);
    Clock().SetAutoAdvance(true);
    w->FindControl(L"anim")->SetTimer(1, 30);
    int posted = 0;
    w->onMessage = [&](Ui::Message& m) {
        posted += m.id == Ui::kMsgUser;
        return false;
    };
    w->PostMessage(Ui::kMsgUser);
    uint64_t start = Clock().NowMs();
    EXPECT_TRUE(Utils::PumpMessages(w->Handle()));
    EXPECT_GT(Clock().NowMs() - start, 100u);
    EXPECT_LE(Clock().NowMs() - start, 101u) << "returns as soon as the time is up";
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(Count(*w, L"timer", L"anim"), 3);
    // Nothing queued and no timer: still returns once the time is up.
    w->FindControl(L"anim")->KillTimer(1);
    EXPECT_TRUE(Utils::PumpMessages(0));
    // The window going away ends it at once.
    w->Close(1);
    EXPECT_FALSE(Utils::PumpMessages(w->Handle() ? w->Handle() : 999));
}

TEST(PumpMessagesRealClockTest, BoundedWithoutMessages) {
    Ui::RuntimeOptions o;
    o.backend = Ui::BackendKind::kHeadless;
    o.resources = std::make_shared<Ui::MemoryResourceSource>();
    Ui::Runtime rt(o);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Utils::PumpMessages(0));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_GE(ms, 100);
    EXPECT_LT(ms, 2000);
}

}  // namespace
