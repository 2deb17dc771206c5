// The one event signature of the installation components, and the download event codes.
//
// Every downloader reports through an InstallCallback (code, value, text). The text pointer
// is valid only during the call; a receiver that keeps it copies it. Callbacks arrive on the
// downloader's own threads, so receivers must accept calls from any thread.
#pragma once

#include <cstdint>
#include <functional>

using InstallCallback = std::function<void(int32_t code, double value, const wchar_t* text)>;

// Download events (1001-1006); the orchestrator owns the meaning of the other ranges.
constexpr int32_t DL_CODE_START = 1001;
constexpr int32_t DL_CODE_PROGRESS = 1002;
constexpr int32_t DL_CODE_SUCCESS = 1003;
constexpr int32_t DL_CODE_FAIL = 1004;
constexpr int32_t DL_CODE_RETRY = 1005;
constexpr int32_t DL_CODE_FAIL_REASON = 1006;
