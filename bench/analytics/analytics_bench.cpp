// Analytics core throughput and batch delivery cost.
//
// BM_BuildValidateQueue: one thread builds a typical funnel event (8 properties), validates
// it, renders it and queues it (the queue stays at its 1024-record limit).
// BM_EncodeBatch30: gzip level 9 + Base64 + percent-encoding of a batch of 30 such records.
// BM_PostBatch30: the same plus the HTTPS POST to a glyphora-collector on 127.0.0.1 (started
// by this program from the folder of its own executable; one TLS handshake per request, as
// the delivery client makes a new transfer handle per request).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "analytics/core/batch_sender.h"
#include "analytics/core/sdk.h"

extern char** environ;

namespace {

using analytics_core::PropertiesNode;
using analytics_core::Sdk;

PropertiesNode FunnelProperties(int i) {
    PropertiesNode p;
    p.setString("ov_name", "\xE5\xAE\x89\xE8\xA3\x85\xE4\xB8\xAD");
    p.setString("ov_type", "task");
    p.setString("ov_result", i % 2 ? "success" : "fail");
    p.setString("AB", "IN");
    p.setInteger("ov_duration", i * 17);
    p.setNumber("ov_progress", (i % 100) / 100.0);
    p.setString("ov_app_version", "1.7.9");
    p.setBoolean("$is_first_time", false);
    return p;
}

std::string FunnelBatch() {
    std::string batch = "[";
    for (int i = 0; i < 30; ++i) {
        Sdk::emitTrack("installer_task", FunnelProperties(i));
    }
    auto records = Sdk::queuedRecords();
    for (size_t i = records.size() - 30; i < records.size(); ++i)
        batch += (batch.size() > 1 ? "," : "") + records[i];
    return batch + "]";
}

struct CollectorProcess {
    pid_t pid = -1;
    std::string url, cert;
    ~CollectorProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

bool StartCollector(CollectorProcess& c) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0)
        return false;
    std::string exe(self, static_cast<size_t>(n));
    exe = exe.substr(0, exe.rfind('/')) + "/glyphora-collector";
    std::string out = "/dev/null";
    const char* argv[] = {exe.c_str(), "--output", out.c_str(), nullptr};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    int rc = posix_spawn(&c.pid, exe.c_str(), &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (rc != 0) {
        c.pid = -1;
        close(fds[0]);
        return false;
    }
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
        char buf[512];
        ssize_t r = read(fds[0], buf, sizeof(buf));
        if (r <= 0)
            break;
        line.append(buf, static_cast<size_t>(r));
    }
    close(fds[0]);
    int port = 0;
    char cert[4096] = {0};
    if (std::sscanf(line.c_str(), "port=%d cert=%4095s", &port, cert) != 2)
        return false;
    c.url = "https://127.0.0.1:" + std::to_string(port) + "/sa?project=pc";
    c.cert = cert;
    return true;
}

void BM_BuildValidateQueue(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        Sdk::emitTrack("installer_task", FunnelProperties(i++));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildValidateQueue);

void BM_EncodeBatch30(benchmark::State& state) {
    std::string batch = FunnelBatch();
    std::string body;
    for (auto _ : state) {
        benchmark::DoNotOptimize(analytics_core::BuildBatchBody(batch, body));
    }
    state.counters["batch_bytes"] = static_cast<double>(batch.size());
    state.counters["body_bytes"] = static_cast<double>(body.size());
}
BENCHMARK(BM_EncodeBatch30)->Unit(benchmark::kMicrosecond);

CollectorProcess* g_collector = nullptr;

void BM_PostBatch30(benchmark::State& state) {
    if (g_collector == nullptr) {
        state.SkipWithError("glyphora-collector did not start");
        return;
    }
    std::string batch = FunnelBatch();
    analytics_core::BatchSender sender(g_collector->url);
    for (auto _ : state) {
        if (!sender.send(batch)) {
            state.SkipWithError("the collector refused the batch");
            return;
        }
    }
}
BENCHMARK(BM_PostBatch30)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!Sdk::Init("", "https://127.0.0.1:9/sa?project=pc", "bench", false))
        return 1;
    CollectorProcess collector;
    if (StartCollector(collector)) {
        setenv("CURL_CA_BUNDLE", collector.cert.c_str(), 1);
        g_collector = &collector;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Sdk::shutdown();
    return 0;
}
