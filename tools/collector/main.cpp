// glyphora-collector: the project's own analytics collection endpoint, for tests and for
// watching the funnel of a test installation. See Usage() for the options.
#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/collector/batch_codec.h"
#include "tools/collector/certificate.h"

namespace {

constexpr char kPath[] = "/sa";
constexpr char kProject[] = "pc";

const char kUsage[] =
    "Usage: glyphora-collector [options]\n"
    "\n"
    "An HTTPS analytics collection endpoint on 127.0.0.1. It accepts POST /sa?project=pc\n"
    "with the body data_list=<percent-encoded Base64 of a gzip stream>&gzip=1, checks that\n"
    "the decoded text is a JSON array of records and writes each record as one JSON line.\n"
    "Accepted batches get 200; malformed bodies get 400 and a line on standard error.\n"
    "\n"
    "The first line on standard output is\n"
    "  port=<port> cert=<certificate file> url=https://127.0.0.1:<port>/sa?project=pc\n"
    "Point CURL_CA_BUNDLE at the certificate file to trust the collector.\n"
    "\n"
    "Options:\n"
    "  --port N           port on 127.0.0.1 (default 0: a free port)\n"
    "  --cert FILE        certificate (PEM); needs --key. Without both, a self-signed\n"
    "                     certificate and key are made at start\n"
    "  --key FILE         private key (PEM) of --cert\n"
    "  --cert-dir DIR     folder for the made certificate (cert.pem, key.pem); default a new\n"
    "                     private folder under $TMPDIR or /tmp\n"
    "  --output FILE      append the records to FILE instead of standard output\n"
    "Fault modes, for tests (they apply to the first --fault-count requests, default all):\n"
    "  --fail-status N    answer status N (for example 500) and keep no record\n"
    "  --delay-ms N       wait N milliseconds before handling each request\n"
    "  --close            close the connection without answering, keeping no record\n"
    "  --fault-count N    number of requests the fault modes apply to\n"
    "  --help             this text\n"
    "\n"
    "SIGINT or SIGTERM stops the collector; it exits 0.\n";

struct Options {
    int port = 0;
    std::string cert, key, certDir, output;
    int failStatus = 0;
    long delayMs = 0;
    bool close = false;
    long faultCount = -1;  // -1: every request
};

bool ParseLong(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// Returns 0 to run, 1 for --help, 2 for a usage error (message written).
int ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto need = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "glyphora-collector: %s needs %s\n", a.c_str(), what);
                return nullptr;
            }
            return argv[++i];
        };
        long v = 0;
        const char* arg = nullptr;
        if (a == "--help" || a == "-h")
            return 1;
        if (a == "--close") {
            o.close = true;
            continue;
        }
        if (a == "--port" || a == "--fail-status" || a == "--delay-ms" || a == "--fault-count") {
            if ((arg = need("a number")) == nullptr)
                return 2;
            long lo = a == "--fail-status" ? 100 : 0;
            long hi = a == "--port" ? 65535 : a == "--fail-status" ? 599 : 86400000;
            if (!ParseLong(arg, lo, hi, v)) {
                std::fprintf(stderr, "glyphora-collector: bad value for %s: %s\n", a.c_str(), arg);
                return 2;
            }
            if (a == "--port")
                o.port = static_cast<int>(v);
            if (a == "--fail-status")
                o.failStatus = static_cast<int>(v);
            if (a == "--delay-ms")
                o.delayMs = v;
            if (a == "--fault-count")
                o.faultCount = v;
            continue;
        }
        if (a == "--cert" || a == "--key" || a == "--cert-dir" || a == "--output") {
            if ((arg = need("a path")) == nullptr)
                return 2;
            (a == "--cert"       ? o.cert
             : a == "--key"      ? o.key
             : a == "--cert-dir" ? o.certDir
                                 : o.output) = arg;
            continue;
        }
        std::fprintf(stderr, "glyphora-collector: unknown option %s (see --help)\n", a.c_str());
        return 2;
    }
    if (o.cert.empty() != o.key.empty()) {
        std::fprintf(stderr, "glyphora-collector: --cert and --key go together\n");
        return 2;
    }
    return 0;
}

// Shuts down (without closing: the server still owns the descriptor) the accepted socket
// whose peer is 127.0.0.1:`peerPort` and whose local port is `localPort`. The server library
// gives a handler no access to its socket; this is how a handler drops the connection
// without an answer.
void DropConnection(int localPort, int peerPort) {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return;
    while (dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        long fd = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || fd == ::dirfd(dir))
            continue;
        sockaddr_in peer{}, local{};
        socklen_t pl = sizeof(peer), ll = sizeof(local);
        if (::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &pl) != 0 ||
            ::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &ll) != 0)
            continue;
        if (peer.sin_family == AF_INET && ntohs(peer.sin_port) == peerPort &&
            ntohs(local.sin_port) == localPort) {
            ::shutdown(static_cast<int>(fd), SHUT_RDWR);
        }
    }
    ::closedir(dir);
}

class RecordSink {
public:
    explicit RecordSink(FILE* out) : out_(out) {}
    bool write(const std::vector<std::string>& records) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& r : records) {
            if (std::fwrite(r.data(), 1, r.size(), out_) != r.size() ||
                std::fputc('\n', out_) == EOF)
                return false;
        }
        return std::fflush(out_) == 0;
    }

private:
    std::mutex mutex_;
    FILE* out_;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    int parsed = ParseOptions(argc, argv, o);
    if (parsed == 1) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed != 0)
        return 2;

    // A client that goes away mid-answer must not kill the collector.
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);  // inherited by every server thread

    std::string certPath = o.cert, keyPath = o.key;
    if (certPath.empty()) {
        std::string dir = o.certDir;
        if (dir.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            std::string templ =
                std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/glyphora-collector-XXXXXX";
            std::vector<char> buf(templ.begin(), templ.end());
            buf.push_back('\0');
            if (::mkdtemp(buf.data()) == nullptr) {
                std::fprintf(stderr,
                             "glyphora-collector: cannot create a folder for the "
                             "certificate: %s\n",
                             std::strerror(errno));
                return 1;
            }
            dir = buf.data();
        }
        certPath = dir + "/cert.pem";
        keyPath = dir + "/key.pem";
        std::string error;
        if (!collector::MakeSelfSignedCertificate(certPath, keyPath, error)) {
            std::fprintf(stderr, "glyphora-collector: %s\n", error.c_str());
            return 1;
        }
    }

    FILE* out = stdout;
    if (!o.output.empty()) {
        out = std::fopen(o.output.c_str(), "ab");
        if (out == nullptr) {
            std::fprintf(stderr, "glyphora-collector: cannot open %s: %s\n", o.output.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    RecordSink sink(out);

    httplib::SSLServer server(certPath.c_str(), keyPath.c_str());
    if (!server.is_valid()) {
        std::fprintf(stderr, "glyphora-collector: cannot use the certificate %s with key %s\n",
                     certPath.c_str(), keyPath.c_str());
        return 1;
    }
    server.set_payload_max_length(size_t{64} << 20);
    // Small answers written in pieces would otherwise wait for delayed acknowledgements.
    server.set_tcp_nodelay(true);

    std::atomic<long> faultsLeft{o.faultCount};
    int port = 0;
    server.Post(kPath, [&](const httplib::Request& req, httplib::Response& res) {
        std::string peer = req.remote_addr + ":" + std::to_string(req.remote_port);
        bool fault = faultsLeft.load() < 0 || faultsLeft.fetch_sub(1) > 0;
        if (fault && o.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(o.delayMs));
        if (fault && o.close) {
            std::fprintf(stderr, "glyphora-collector: closing the connection of %s (--close)\n",
                         peer.c_str());
            DropConnection(port, req.remote_port);
            return;
        }
        if (fault && o.failStatus != 0) {
            res.status = o.failStatus;
            res.set_content("fault mode: status " + std::to_string(o.failStatus) + "\n",
                            "text/plain");
            return;
        }
        if (req.get_param_value("project") != kProject) {
            std::fprintf(stderr, "glyphora-collector: rejected %s: unknown project '%s'\n",
                         peer.c_str(), req.get_param_value("project").c_str());
            res.status = 400;
            res.set_content("unknown project\n", "text/plain");
            return;
        }
        std::vector<std::string> records;
        std::string error;
        if (!collector::DecodeBatchRecords(req.body, records, error)) {
            std::fprintf(stderr, "glyphora-collector: rejected %s (%zu bytes): %s\n", peer.c_str(),
                         req.body.size(), error.c_str());
            res.status = 400;
            res.set_content(error + "\n", "text/plain");
            return;
        }
        if (!sink.write(records)) {
            std::fprintf(stderr, "glyphora-collector: cannot write the records of %s\n",
                         peer.c_str());
            res.status = 500;
            res.set_content("cannot store the records\n", "text/plain");
            return;
        }
        res.status = 200;
        res.set_content("ok\n", "text/plain");
    });

    if (o.port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else {
        port = server.bind_to_port("127.0.0.1", o.port) ? o.port : -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "glyphora-collector: cannot listen on 127.0.0.1:%d\n", o.port);
        return 1;
    }
    std::printf("port=%d cert=%s url=https://127.0.0.1:%d%s?project=%s\n", port, certPath.c_str(),
                port, kPath, kProject);
    std::fflush(stdout);

    std::thread stopper([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        server.stop();
    });
    bool ok = server.listen_after_bind();
    if (!ok) {
        // listen ended by itself (not by a signal): wake the signal thread.
        ::kill(::getpid(), SIGTERM);
    }
    stopper.join();
    if (out != stdout)
        std::fclose(out);
    return 0;
}
