#include "download/task_report.h"

#include <mutex>

namespace Download {
namespace {

std::mutex& ReporterMutex() {
    static std::mutex mutex;
    return mutex;
}

TaskReporter& Reporter() {
    static TaskReporter reporter;
    return reporter;
}

}  // namespace

void SetTaskReporter(TaskReporter reporter) {
    std::lock_guard<std::mutex> lock(ReporterMutex());
    Reporter() = std::move(reporter);
}

void ReportTask(const std::wstring& event, const std::wstring& reason, double elapsed,
                const std::wstring& ab) {
    TaskReporter copy;
    {
        std::lock_guard<std::mutex> lock(ReporterMutex());
        copy = Reporter();
    }
    if (copy)
        copy(event, reason, elapsed, ab);
}

}  // namespace Download
