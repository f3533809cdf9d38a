#pragma once
// A self-signed server certificate made at test time (EC P-256), written as PEM files into a
// folder: for a loopback address (IP subjectAltName) or for a host name.
#include <string>

class TestCertificate {
public:
    // name: "127.0.0.1", "::1" or a DNS name; folder: where cert and key go (file names from tag).
    TestCertificate(const std::string& folder, const std::string& name, const std::string& tag = "server");

    const std::string& CertPath() const { return FCertPath; }
    const std::string& KeyPath() const { return FKeyPath; }
    // "AB:CD:..." as the trust store keeps it.
    const std::string& Fingerprint() const { return FFingerprint; }

private:
    std::string FCertPath, FKeyPath, FFingerprint;
};

// Writes "host:port fingerprint" into the trusted-certificates file at path.
void TrustCertificate(const std::string& path, const std::string& host, int port,
                      const std::string& fingerprint);
