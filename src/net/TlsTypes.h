#pragma once
// What the TLS layer tells the rest of the program about a connection and its certificate.
#include <cstdint>
#include <string>

// A site's encryption choice. Sites saved before encryption existed load as PlainOnly, so their
// behaviour does not change behind the user's back.
enum class TTlsMode : uint8_t { PlainOnly = 0, Require = 1, IfAvailable = 2 };

// A server certificate that failed verification, as shown to the user.
struct TTlsCertificateInfo {
    std::string Host; // as the user typed it
    int Port = 0;
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom; // "2026-12-08 09:00:00 UTC"
    std::string ValidUntil;
    std::string Sha256Fingerprint; // "AB:CD:...", 32 pairs
    std::string Reason;            // why verification failed, e.g. "self-signed certificate"
    // A different certificate was trusted for this host before: warn, never connect silently.
    bool ChangedForTrustedHost = false;
};

enum class TTlsTrustDecision { Cancel, ConnectOnce, AlwaysTrust };
