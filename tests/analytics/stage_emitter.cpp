// analytics_stage_emitter STAGING_FILE COUNT: starts the analytics core with a collector
// address nobody listens on, emits COUNT "track" records named "staged" with the property
// "n" = 1..COUNT, and shuts down without flushing, so the records end in the staging file.
#include <cstdlib>
#include <string>

#include "analytics/core/sdk.h"

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    int count = std::atoi(argv[2]);
    if (!analytics_core::Sdk::Init(argv[1], "https://127.0.0.1:9/sa?project=pc", "emitter", false))
        return 1;
    for (int i = 1; i <= count; ++i) {
        analytics_core::PropertiesNode p;
        p.setInteger("n", i);
        analytics_core::Sdk::emitTrack("staged", p);
    }
    analytics_core::Sdk::shutdown();
    return 0;
}
