// Linked into every test executable: the process-wide environment every test starts from.
//
// Installers that tests start (and the analytics code the tests run in-process) deliver to
// a closed port on the loopback interface unless a test names its own collector, so no test
// ever reaches for the product's real collection endpoint. A value already set from outside
// is kept, so a developer can point a whole run at a collector of their own.
#include <cstdlib>

namespace {

const bool kEnvironmentSet = [] {
    ::setenv("GLYPHORA_ANALYTICS_URL", "https://127.0.0.1:9/sa?project=pc", /*overwrite=*/0);
    return true;
}();

}  // namespace
