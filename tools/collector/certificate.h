// A self-signed certificate for the collector, made with OpenSSL at start.
#pragma once

#include <string>

namespace collector {

/// Writes a new P-256 key (`keyPath`, PEM, mode 0600) and a self-signed certificate
/// (`certPath`, PEM) for CN 127.0.0.1 with the subject alternative names IP 127.0.0.1 and
/// DNS localhost, valid from one hour ago for 30 days. The certificate is its own
/// authority, so a client trusts it by naming `certPath` as its CA bundle. False with
/// `error` set on failure.
bool MakeSelfSignedCertificate(const std::string& certPath, const std::string& keyPath,
                               std::string& error);

}  // namespace collector
