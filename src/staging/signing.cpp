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

}  // namespace

void signWindowsProgram(const std::string& path, const Signing& signing, const std::string& description) {
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
    copyFileReplacing(signedCopy, path);
}

}  // namespace torvana
