#include "staging/signing.h"

#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/run_program.h"

namespace torvana {

namespace fs = std::filesystem;

namespace {

// The module through which a PKCS#11 URI reaches every token the system knows.
constexpr const char* kTokenModules[] = {
    "/usr/lib/x86_64-linux-gnu/p11-kit-proxy.so",
    "/usr/lib64/p11-kit-proxy.so",
    "/usr/lib/p11-kit-proxy.so",
};

// A private folder for the signed program, removed with what it holds.
class PrivateFolder {
public:
    PrivateFolder() {
        std::random_device random;
        for (int attempt = 0;; ++attempt) {
            const fs::path p = fs::temp_directory_path() / ("torvana-sign-" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(p, ec)) {
                path_ = pathString(p);
                return;
            }
            if (ec || attempt == 100) throw Error("No folder for the signed player can be made in " + pathString(p.parent_path()) + ".");
        }
    }
    ~PrivateFolder() {
        std::error_code ec;
        fs::remove_all(fsPath(path_), ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The tool's reason in one line: its lines that say something, joined, at most 400 characters.
// OpenSSL's error queue ("4080...:error:11800071:PKCS12 routines:...") and the closing "Failed"
// repeat the reason for programmers.
std::string reasonOf(const std::string& output) {
    std::string reason;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty() && line != "Failed" && line.find(":error:") == std::string::npos) reason += (reason.empty() ? "" : "; ") + line;
        start = end + 1;
    }
    if (reason.empty()) return "it gave no reason";
    return visibleText(reason, 400);
}

// Undoes OpenSSL's "\xC3\xA9" escapes of the bytes beyond ASCII in a one-line name.
std::string unescaped(const std::string& text) {
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex(text[i + 2]) >= 0 && hex(text[i + 3]) >= 0) {
            out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string certificateInStagingWarning(const std::string& certificate, const std::string& stagingFolder) {
    if (!liesInside(certificate, stagingFolder)) return {};
    return "The certificate \"" + visiblePath(certificate) + "\" lies in the staging folder \"" + visiblePath(stagingFolder) +
           "\", so it goes onto the disc with its private key. Keep it in another folder.";
}

std::string signerName(const std::string& verifyOutput) {
    const size_t section = verifyOutput.find("Signer's certificate:");
    if (section == std::string::npos) return {};
    const size_t label = verifyOutput.find("Subject:", section);
    if (label == std::string::npos) return {};
    const size_t start = verifyOutput.find_first_not_of(" \t", label + 8);
    if (start == std::string::npos) return {};
    std::string subject = verifyOutput.substr(start, verifyOutput.find_first_of("\r\n", start) - start);
    // "/CN=Acme Ltd/O=Acme Ltd/C=GB": the common name is what Windows shows as the publisher.
    for (size_t at = subject.find("CN="); at != std::string::npos; at = subject.find("CN=", at + 3)) {
        if (at != 0 && subject[at - 1] != '/') continue;
        size_t end = at + 3;
        // The value runs to the next "/Attribute=".
        for (; end < subject.size(); ++end) {
            if (subject[end] != '/') continue;
            const size_t equals = subject.find('=', end);
            const size_t slash = subject.find('/', end + 1);
            if (equals != std::string::npos && equals > end + 1 && (slash == std::string::npos || equals < slash)) break;
        }
        return unescaped(subject.substr(at + 3, end - at - 3));
    }
    return unescaped(subject);
}

std::string signWindowsProgram(const std::string& path, const Signing& signing, const std::string& description) {
    PrivateFolder folder;
    const std::string signedCopy = folder.path() + "/signed.exe";
    std::vector<std::string> arguments = {kSigningTool, "sign", "-h", "sha256"};
    if (signing.certificate.rfind("pkcs11:", 0) == 0) {
        std::string module;
        for (const char* m : kTokenModules)
            if (fileExists(m)) module = m;
        if (module.empty())
            throw Error("The token \"" + signing.certificate +
                        "\" cannot be reached: p11-kit, through which tokens are used, is not installed.");
        arguments.insert(arguments.end(), {"-pkcs11module", module, "-pkcs11cert", signing.certificate, "-key",
                                           signing.certificate});
    } else {
        if (!fileExists(signing.certificate))
            throw Error("The certificate file \"" + visiblePath(signing.certificate) + "\" does not exist.");
        arguments.insert(arguments.end(), {"-pkcs12", signing.certificate});
    }
    // The password comes on standard input, never among the arguments.
    arguments.insert(arguments.end(), {"-readpass", "-"});
    if (!description.empty()) arguments.insert(arguments.end(), {"-n", description});
    if (signing.fixedTime) arguments.insert(arguments.end(), {"-time", std::to_string(*signing.fixedTime)});
    if (!signing.timestampUrl.empty()) arguments.insert(arguments.end(), {"-ts", signing.timestampUrl});
    arguments.insert(arguments.end(), {"-in", path, "-out", signedCopy});

    const ProgramRun run = runProgram(arguments, signing.password + "\n");
    if (!run.found)
        throw Error(std::string(kSigningTool) + ", which signs the Windows player, is not installed (it is looked for on PATH).");
    if (run.status != 0 || !fileExists(signedCopy))
        throw Error(std::string(kSigningTool) + " could not sign it: " + reasonOf(run.output));
    // The signer as the signature names it; "verify" prints it whether or not the certificate
    // chains to an authority this computer trusts. Older versions of the tool know no
    // -ignore-cdp, which keeps the check off the network.
    std::string signer;
    for (const bool offline : {true, false}) {
        std::vector<std::string> verify = {kSigningTool, "verify"};
        if (offline) verify.push_back("-ignore-cdp");
        verify.insert(verify.end(), {"-in", signedCopy});
        signer = signerName(runProgram(verify).output);
        if (!signer.empty()) break;
    }
    copyFileReplacing(signedCopy, path);
    return signer;
}

}  // namespace torvana
