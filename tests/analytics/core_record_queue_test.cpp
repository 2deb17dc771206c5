#include "analytics/core/record_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "tests/analytics/test_support.h"

namespace analytics_core {
namespace {

using analytics_test::DiagnosticCapture;
using analytics_test::ReadFile;
using analytics_test::TempDir;
using analytics_test::WriteFile;

// A sender that records each batch text and answers from a script; `during` runs inside
// the send, while the queue's records lock is released, as a real transfer would allow.
class ScriptedSender : public BatchSender {
public:
    ScriptedSender() : BatchSender("https://127.0.0.1:9/") {}
    bool send(const std::string& batchText) override {
        batches.push_back(batchText);
        if (during)
            during();
        if (throwText)
            throw std::runtime_error(throwText);
        if (results.empty())
            return true;
        bool r = results.front();
        results.erase(results.begin());
        return r;
    }
    std::vector<std::string> batches;
    std::vector<bool> results;
    std::function<void()> during;
    const char* throwText = nullptr;
};

std::string Rec(int i) {
    return "{\"r\":" + std::to_string(i) + "}";
}

std::vector<std::string> Range(int from, int to) {
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i)
        v.push_back(Rec(i));
    return v;
}

std::string Batch(int from, int to) {
    std::string s = "[";
    for (int i = from; i <= to; ++i)
        s += (i > from ? "," : "") + Rec(i);
    return s + "]";
}

struct QueueWithSender {
    explicit QueueWithSender(std::string staging = "", size_t capacity = 1024) {
        auto s = std::make_unique<ScriptedSender>();
        sender = s.get();
        queue = std::make_unique<RecordQueue>(std::move(staging), std::move(s), capacity);
    }
    ScriptedSender* sender;
    std::unique_ptr<RecordQueue> queue;
};

TEST(CoreRecordQueue, KeepsNewest1024) {
    QueueWithSender q;
    for (int i = 1; i <= 1025; ++i)
        q.queue->add(Rec(i));
    EXPECT_EQ(q.queue->records(), Range(2, 1025));
}

TEST(CoreRecordQueue, BatchesOf30) {
    QueueWithSender q;
    for (int i = 1; i <= 31; ++i)
        q.queue->add(Rec(i));
    EXPECT_TRUE(q.queue->flushOneBatch());
    ASSERT_EQ(q.sender->batches.size(), 1u);
    EXPECT_EQ(q.sender->batches[0], Batch(1, 30));
    EXPECT_EQ(q.queue->records(), Range(31, 31));
    EXPECT_TRUE(q.queue->flushAll());
    ASSERT_EQ(q.sender->batches.size(), 2u);
    EXPECT_EQ(q.sender->batches[1], Batch(31, 31));
    EXPECT_EQ(q.queue->size(), 0u);
}

TEST(CoreRecordQueue, EmptyFlushSendsNothing) {
    QueueWithSender q;
    EXPECT_TRUE(q.queue->flushOneBatch());
    EXPECT_TRUE(q.queue->flushAll());
    EXPECT_TRUE(q.sender->batches.empty());
}

TEST(CoreRecordQueue, FailedBatchGoesBackInFront) {
    struct Case {
        const char* name;
        int queued;
        int addedDuringSend;
        std::vector<std::string> expectedFront;  // what the queue starts with afterwards
        size_t expectedSize;
    } cases[] = {
        {"queue filled meanwhile: newest 24 of the batch return", 30, 1000, Range(7, 30), 1024},
        {"room for all: whole batch returns", 40, 5, Range(1, 40), 45},
    };
    for (const auto& c : cases) {
        QueueWithSender q;
        for (int i = 1; i <= c.queued; ++i)
            q.queue->add(Rec(i));
        q.sender->results = {false};
        q.sender->during = [&] {
            for (int i = 0; i < c.addedDuringSend; ++i)
                q.queue->add(Rec(10000 + i));
        };
        EXPECT_FALSE(q.queue->flushOneBatch()) << c.name;
        auto records = q.queue->records();
        ASSERT_EQ(records.size(), c.expectedSize) << c.name;
        std::vector<std::string> front(records.begin(),
                                       records.begin() + static_cast<long>(c.expectedFront.size()));
        EXPECT_EQ(front, c.expectedFront) << c.name;
        EXPECT_EQ(records.back(), Rec(10000 + c.addedDuringSend - 1)) << c.name;
    }
}

TEST(CoreRecordQueue, FlushAllStopsAtFirstFailure) {
    QueueWithSender q;
    for (int i = 1; i <= 70; ++i)
        q.queue->add(Rec(i));
    q.sender->results = {true, false};
    EXPECT_FALSE(q.queue->flushAll());
    EXPECT_EQ(q.sender->batches.size(), 2u);
    EXPECT_EQ(q.queue->records(), Range(31, 70));
}

TEST(CoreRecordQueue, ThrowingSendKeepsTheBatch) {
    DiagnosticCapture capture;
    QueueWithSender q;
    for (int i = 1; i <= 35; ++i)
        q.queue->add(Rec(i));
    q.sender->throwText = "boom";
    EXPECT_FALSE(q.queue->flushOneBatch());
    EXPECT_EQ(q.queue->records(), Range(1, 35));
    EXPECT_TRUE(capture.contains("Exception when flush failed: (boom) "));
    q.sender->throwText = nullptr;
    EXPECT_TRUE(q.queue->flushAll());
    EXPECT_EQ(q.sender->batches.back(), Batch(31, 35));
}

TEST(CoreRecordQueue, StagingFileLoad) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string file;  // "<missing>" for no file
        size_t capacity;
        std::vector<std::string> expected;
    } cases[] = {
        {"valid lines only, in front",
         "{\"a\":1}\n\ngarbage\n{\"b\":2}\n",
         1024,
         {"{\"a\":1}", "{\"b\":2}", Rec(1), Rec(2)}},
        {"missing file", "<missing>", 1024, {Rec(1), Rec(2)}},
        {"no final newline, brace checks",
         "{x}\n{open\nclose}\n {sp}\n{\"c\":3}",
         1024,
         {"{x}", "{\"c\":3}", Rec(1), Rec(2)}},
        {"room for two: the last two lines",
         "{\"a\":1}\n{\"b\":2}\n{\"c\":3}\n",
         4,
         {"{\"b\":2}", "{\"c\":3}", Rec(1), Rec(2)}},
        {"no room: nothing read", "{\"a\":1}\n", 2, {Rec(1), Rec(2)}},
    };
    for (const auto& c : cases) {
        std::string path = dir.file("staging");
        std::remove(path.c_str());
        if (c.file != "<missing>")
            WriteFile(path, c.file);
        QueueWithSender q(path, c.capacity);
        q.queue->add(Rec(1));
        q.queue->add(Rec(2));
        q.queue->loadStagingFile();
        EXPECT_EQ(q.queue->records(), c.expected) << c.name;
        EXPECT_EQ(ReadFile(path), "") << c.name;  // emptied (created when missing)
        // Effective once.
        WriteFile(path, "{\"late\":1}\n");
        q.queue->loadStagingFile();
        EXPECT_EQ(q.queue->records(), c.expected) << c.name;
        std::remove(path.c_str());
    }
}

TEST(CoreRecordQueue, CloseWritesStagingFileAndNextQueueRestoresIt) {
    TempDir dir;
    std::string path = dir.file("staging");
    WriteFile(path, Rec(1) + "\n");
    {
        // Never flushed: the old content is loaded and written back with the new records.
        QueueWithSender q(path);
        q.queue->add(Rec(2));
        q.queue->add(Rec(3));
    }
    EXPECT_EQ(ReadFile(path), Rec(1) + "\n" + Rec(2) + "\n" + Rec(3) + "\n");
    {
        QueueWithSender q(path);
        q.queue->add(Rec(4));
        EXPECT_TRUE(q.queue->flushAll());
        ASSERT_EQ(q.sender->batches.size(), 1u);
        EXPECT_EQ(q.sender->batches[0], Batch(1, 4));
    }
    EXPECT_EQ(ReadFile(path), "");
    // A staging path that cannot be opened (a folder) is skipped silently.
    {
        QueueWithSender q(dir.path());
        q.queue->add(Rec(5));
        EXPECT_TRUE(q.queue->flushAll());
    }
}

}  // namespace
}  // namespace analytics_core
