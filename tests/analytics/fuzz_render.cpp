// Every rendered record parses as JSON: the input drives a sequence of setter calls on a
// property map (keys and values from the input bytes, checked or not), then the map is
// emitted through the core and each queued record, and the map's own rendering, must pass
// the collector's strict JSON reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analytics/core/sdk.h"
#include "analytics/core/validation.h"
#include "tools/collector/json_check.h"

namespace {

class Input {
public:
    Input(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    bool more() const { return i_ < n_; }
    uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    std::string text() {
        size_t len = byte() % 24;
        std::string s;
        while (len-- > 0 && more())
            s.push_back(static_cast<char>(byte()));
        return s;
    }
    template <typename T>
    T raw() {
        T v{};
        uint8_t b[sizeof(T)] = {};
        for (auto& x : b)
            x = byte();
        std::memcpy(&v, b, sizeof(T));
        return v;
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t i_ = 0;
};

void Fill(Input& in, analytics_core::utils::ObjectNode& node, int depth) {
    int ops = in.byte() % 12;
    for (int k = 0; k < ops && in.more(); ++k) {
        std::string key = in.byte() % 2 ? in.text() : "k" + std::to_string(in.byte());
        switch (in.byte() % 8) {
            case 0:
                node.setNumber(key, in.raw<double>());
                break;
            case 1:
                node.setInteger(key, in.raw<int64_t>());
                break;
            case 2:
                node.setString(key, in.text());
                break;
            case 3:
                node.setStringList(key, {in.text(), in.text()});
                break;
            case 4:
                node.setDateTime(key, in.raw<int32_t>(), in.raw<int16_t>());
                break;
            case 5:
                node.setBoolean(key, in.byte() & 1);
                break;
            case 6:
                if (depth < 4) {
                    analytics_core::utils::ObjectNode child;
                    Fill(in, child, depth + 1);
                    node.setObject(key, child);
                }
                break;
            default:
                node.erase(key);
                break;
        }
    }
}

void MustParse(const std::string& text) {
    if (text.empty())
        return;  // a value that cannot be rendered drops the whole text
    if (!collector::ParseJson(text))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // Rejections are expected by the thousand; their lines would only slow the run.
        analytics_core::SetDiagnosticSink([](const std::string&) {});
        return analytics_core::Sdk::Init("", "https://127.0.0.1:9/sa?project=pc", "fuzz", false);
    }();
    if (!ready)
        std::abort();
    Input in(data, size);

    analytics_core::utils::ObjectNode plain;
    Fill(in, plain, 0);
    MustParse(plain.toJson());

    analytics_core::PropertiesNode props;
    Fill(in, props, 0);
    analytics_core::PropertiesNode super;
    Fill(in, super, 0);
    analytics_core::Sdk::resetSuperProperties();
    analytics_core::Sdk::addSuperProperties(super);
    std::string event = in.byte() % 2 ? in.text() : "ev";
    analytics_core::Sdk::emitTrack(event, props);
    analytics_core::Sdk::emitProfileSet(props);
    analytics_core::Sdk::emitProfileAppend(in.text(), in.text());
    for (const auto& record : analytics_core::Sdk::queuedRecords())
        MustParse(record);
    // Keep the queue small: what was checked is flushed away by shutting down and restarting.
    analytics_core::Sdk::shutdown();
    analytics_core::Sdk::Init("", "https://127.0.0.1:9/sa?project=pc", "fuzz", false);
    return 0;
}
