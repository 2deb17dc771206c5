#include "app/startup.h"

#include <curl/curl.h>

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
    if (options.CurlReady) curl_global_cleanup();
}
