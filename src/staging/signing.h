#pragma once
// Signing the Windows player on the disc, so Windows names its publisher instead of "Unknown
// publisher" and lets it run where only signed programs may. The signing tool osslsigncode runs
// as a program of its own, found on PATH. Only the staged copy is ever signed. No Qt.

#include <cstdint>
#include <optional>
#include <string>

namespace torvana {

// The certificate and key to sign with: a PKCS#12 file (.p12, .pfx), or a PKCS#11 URI
// ("pkcs11:token=...;object=...") of a token whose module p11-kit makes known.
struct Signing {
    std::string certificate;   // empty: the player is not signed
    std::string password;      // of the PKCS#12 file or the token's PIN; asked, never stored
    std::string timestampUrl;  // an RFC 3161 timestamp server; empty: no timestamp
    // The signing time written into the signature (SOURCE_DATE_EPOCH), so that signing the same
    // program twice gives the same bytes; without it, the time of signing.
    std::optional<int64_t> fixedTime;

    bool on() const { return !certificate.empty(); }
};

// The signing tool's program name.
inline constexpr const char* kSigningTool = "osslsigncode";

// Signs the Windows program at `path` in place, `description` being the name Windows shows for
// it. The tool writes the signed program into a private folder, and only a signed program
// replaces the file (through a temporary name beside it), so a failure leaves the file exactly as
// it was and nothing half-signed anywhere. Throws Error with a sentence for the user: the tool
// is missing, or its own reason for failing. Returns who signed it, as the signature names the
// signer (signerName); empty when the tool does not say.
std::string signWindowsProgram(const std::string& path, const Signing& signing, const std::string& description);

// What to tell of a certificate file inside the staging folder, all of which goes onto the disc,
// the private key too; empty when it lies elsewhere (or is a token's pkcs11: address).
std::string certificateInStagingWarning(const std::string& certificate, const std::string& stagingFolder);

// The signer named in what the signing tool's "verify" prints of a signed program: the common
// name (CN) of the subject of the signer's certificate, or the whole subject when it has none;
// empty when the text names no signer.
std::string signerName(const std::string& verifyOutput);

}  // namespace torvana
