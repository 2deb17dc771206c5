// Prints "<digest> <seconds> <MiB/s>" for Utils::GetFileMd5 on the file named by argv[1].
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "utils/md5.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    struct stat st {};
    if (::stat(argv[1], &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    auto t0 = std::chrono::steady_clock::now();
    std::string digest = Utils::GetFileMd5(argv[1]);
    auto t1 = std::chrono::steady_clock::now();
    if (digest.empty()) {
        std::fprintf(stderr, "GetFileMd5 failed on %s\n", argv[1]);
        return 1;
    }
    double seconds = std::chrono::duration<double>(t1 - t0).count();
    double mib = static_cast<double>(st.st_size) / (1024.0 * 1024.0);
    std::printf("%s %.3f %.1f\n", digest.c_str(), seconds, seconds > 0 ? mib / seconds : 0.0);
    return 0;
}
