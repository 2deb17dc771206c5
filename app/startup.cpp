#include "app/startup.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "utils/number_text.h"
#include "utils/text.h"
#include "utils/trace_log.h"

void HardenLibrarySearch() {}

int InitCurl(LaunchOptions& options) {
    CURLcode rc = curl_global_init(CURL_GLOBAL_ALL);
    if (rc != CURLE_OK) {
        options.CurlReady = false;
        TRACE(L"curl_global_init failed: %d\r\n", static_cast<int>(rc));
    }
    return static_cast<int>(rc);
}

void CleanupCurl(const LaunchOptions& options) {
    if (options.CurlReady)
        curl_global_cleanup();
}

void HoldWhileTesting() {
    constexpr int32_t kMaxHoldMs = 60000;
    const char* text = std::getenv("GLYPHORA_TEST_HOLD_MS");
    int32_t ms = 0;
    if (text == nullptr ||
        !Utils::ParseLeadingInt32(Utils::ToWide(text, Utils::kCodePageUtf8), &ms) || ms <= 0) {
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms < kMaxHoldMs ? ms : kMaxHoldMs));
}
