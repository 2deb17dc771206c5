// The reporting hook for the download engine's analytics task events.
//
// The size probes of the HTTP client report an unacceptable status as the task event
// "下载失败原因". The download engine does not depend on analytics; the analytics layer
// installs the real reporter at start-up. Until then reports go nowhere.
#pragma once

#include <functional>
#include <string>

namespace Download {

/// Receives (event name, reason text, elapsed seconds, "AB" property value).
using TaskReporter = std::function<void(const std::wstring& event, const std::wstring& reason,
                                        double elapsed, const std::wstring& ab)>;

/// Installs the reporter; an empty function restores "record nothing". Thread-safe.
void SetTaskReporter(TaskReporter reporter);

/// Hands one task event to the installed reporter (if any). Callable from any thread; the
/// reporter runs on the caller's thread, outside any lock of this module.
void ReportTask(const std::wstring& event, const std::wstring& reason, double elapsed,
                const std::wstring& ab);

/// The event name of a failed download diagnostic.
inline constexpr wchar_t kDownloadFailReasonEvent[] = L"下载失败原因";

}  // namespace Download
