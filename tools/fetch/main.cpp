// glyphora-fetch: downloads URL to PATH with one downloader variant and prints every event
// as "code value text" on standard output. Exit status 0 only after DL_CODE_SUCCESS.
//
// It reacts to DL_CODE_RETRY as the installer does (Start again, from inside the event), so
// a distribution server can be diagnosed with the installer's exact behaviour.

#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/launch_options.h"
#include "download/downloader.h"
#include "utils/text.h"

namespace {

constexpr char kUsage[] = R"(usage: glyphora-fetch [options] URL PATH

Downloads URL to PATH with one of the installer's downloaders and prints each event as
"code value text" (1001 start, 1002 progress, 1003 success, 1004 fail, 1005 retry,
1006 fail reason). A retry request is answered with a new attempt, as the installer does.
Exit status: 0 after success, 1 after a failure or time-out, 2 for bad usage.

  --type N        downloader: 2 system download, 3 segmented, anything else (default 1)
                  single stream; the installer's DownloadType rule
  --no-progress   do not print progress events (1002)
  --timeout S     give up after S seconds (default 0: no limit); the download is aborted
  --stats         print "elapsed_s cpu_s maxrss_kib" figures on standard error at the end
  --help          this text

Environment: CURL_CA_BUNDLE (or SSL_CERT_DIR, SSL_CERT_FILE) names the certificates to
trust, as for the curl tool; GLYPHORA_TRACE=off silences the trace lines on standard error.
)";

struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool success = false;
};

std::string FormatValue(double value) {
    char text[64];
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        std::snprintf(text, sizeof text, "%.6f", value);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    int type = 1;
    bool progress = true, stats = false;
    double timeout = 0;
    std::string url, path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--type" || arg == "--timeout") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "glyphora-fetch: %s needs a value\n", arg.c_str());
                return 2;
            }
            char* end = nullptr;
            const char* text = argv[++i];
            if (arg == "--type") {
                const long n = std::strtol(text, &end, 10);
                type = static_cast<int>(n);
            } else {
                timeout = std::strtod(text, &end);
            }
            if (!*text || *end || timeout < 0) {
                std::fprintf(stderr, "glyphora-fetch: bad value for %s: '%s'\n", arg.c_str(), text);
                return 2;
            }
        } else if (arg == "--no-progress") {
            progress = false;
        } else if (arg == "--stats") {
            stats = true;
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "glyphora-fetch: unknown option %s\n", arg.c_str());
            return 2;
        } else if (url.empty()) {
            url = arg;
        } else if (path.empty()) {
            path = arg;
        } else {
            std::fprintf(stderr, "glyphora-fetch: unexpected argument '%s'\n", arg.c_str());
            return 2;
        }
    }
    if (url.empty() || path.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const auto began = std::chrono::steady_clock::now();
    GetLaunchOptions().CurlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

    Outcome outcome;
    std::unique_ptr<CDownloader> downloader;
    InstallCallback callback = [&](int32_t code, double value, const wchar_t* text) {
        if (code != DL_CODE_PROGRESS || progress) {
            const std::string narrow = Utils::ToNarrow(text ? text : L"", Utils::kCodePageUtf8);
            std::printf("%d %s %s\n", code, FormatValue(value).c_str(), narrow.c_str());
            std::fflush(stdout);
        }
        if (code == DL_CODE_RETRY) {
            downloader->Start();
        } else if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL) {
            std::lock_guard<std::mutex> lock(outcome.mutex);
            outcome.finished = true;
            outcome.success = code == DL_CODE_SUCCESS;
            outcome.done.notify_all();
        }
    };
    downloader = CreateDownloader(type, callback, Utils::ToWide(url, Utils::kCodePageSystem),
                                  Utils::ToWide(path, Utils::kCodePageSystem));
    downloader->Start();

    bool success = false;
    {
        std::unique_lock<std::mutex> lock(outcome.mutex);
        auto finished = [&] { return outcome.finished; };
        if (timeout > 0) {
            if (!outcome.done.wait_for(lock, std::chrono::duration<double>(timeout), finished)) {
                std::fprintf(stderr, "glyphora-fetch: timed out after %g s\n", timeout);
            }
        } else {
            outcome.done.wait(lock, finished);
        }
        success = outcome.success;
    }
    downloader.reset();  // aborts whatever still runs and waits for its threads
    curl_global_cleanup();

    if (stats) {
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        std::fprintf(stderr, "elapsed_s %.3f cpu_s %.3f maxrss_kib %ld\n", elapsed, cpu,
                     usage.ru_maxrss);
    }
    return success ? 0 : 1;
}
