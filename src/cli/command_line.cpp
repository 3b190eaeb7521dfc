#include "cli/command_line.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "disc/disc_burn.h"
#include "disc/disc_check.h"
#include "disc/disc_image.h"
#include "disc/disc_tree.h"
#include "menu/menu_engine.h"
#include "menu/menu_png.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "project/staged_menu.h"
#include "settings/settings_file.h"

namespace torvana {

namespace fs = std::filesystem;

bool isConsoleCommand(const std::string& first) {
    return first == "check" || first == "build" || first == "image" || first == "burn" || first == "render" ||
           first == "--help" || first == "-h" || first == "--version";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine command;
    if (arguments.empty()) return command;
    const std::string& first = arguments[0];
    auto invalid = [&](const std::string& error) {
        command.kind = CommandKind::Invalid;
        command.error = error;
        return command;
    };
    if (first == "--help" || first == "-h" || first == "--version") {
        command.kind = first == "--version" ? CommandKind::Version : CommandKind::Help;
        if (arguments.size() > 1) return invalid("Unexpected argument '" + arguments[1] + "'.");
        return command;
    }
    const bool console = first == "check" || first == "build" || first == "image" || first == "burn" || first == "render";
    if (!console && !first.empty() && first[0] == '-') return invalid("Unknown option '" + first + "'.");
    if (!console) {
        command.kind = CommandKind::OpenProject;
        command.project = first;
        if (arguments.size() > 1) return invalid("Unexpected argument '" + arguments[1] + "'.");
        return command;
    }
    command.kind = first == "check"   ? CommandKind::Check
                   : first == "build" ? CommandKind::Build
                   : first == "image" ? CommandKind::Image
                   : first == "burn"  ? CommandKind::Burn
                                      : CommandKind::Render;
    // The files in their order, the options anywhere after the command.
    std::vector<std::string> files;
    const bool builds = command.kind != CommandKind::Check && command.kind != CommandKind::Render;
    const bool renders = command.kind == CommandKind::Render;
    const auto wholeNumber = [](const std::string& text) {
        return !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
    };
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool burns = command.kind == CommandKind::Burn;
        std::string speed, hover, focus, scale;
        std::string* value = a == "--sign" && builds                 ? &command.signCertificate
                             : a == "--sign-password-file" && builds ? &command.signPasswordFile
                             : a == "--timestamp" && builds          ? &command.timestampUrl
                             : a == "--drive" && burns               ? &command.drive
                             : a == "--speed" && burns               ? &speed
                             : a == "--hover" && renders             ? &hover
                             : a == "--focus" && renders             ? &focus
                             : a == "--scale" && renders             ? &scale
                                                                     : nullptr;
        if (a == "--usb" && command.kind == CommandKind::Check) {
            command.usb = true;
        } else if (a == "--verify" && burns) {
            command.verify = true;
        } else if (a == "--overwrite" && burns) {
            command.overwrite = true;
        } else if (value) {
            if (i + 1 == arguments.size()) return invalid("The option '" + a + "' needs a value.");
            *value = arguments[++i];
            if (value == &speed) {
                if (!wholeNumber(speed)) return invalid("--speed takes a whole number, such as 8 for 8x.");
                command.speed = std::stoi(speed);
            } else if (value == &hover || value == &focus) {
                if (!wholeNumber(*value) || std::stoi(*value) < 1)
                    return invalid(a + " takes a hotspot's number, such as 1 for the first.");
                (value == &hover ? command.hover : command.focus) = std::stoi(*value);
            } else if (value == &scale) {
                // Digits with at most one point: no sign, exponent, "inf" or "nan".
                const bool decimal = !scale.empty() && scale.size() <= 8 &&
                                     scale.find_first_not_of("0123456789.") == std::string::npos &&
                                     std::count(scale.begin(), scale.end(), '.') <= 1 && scale != ".";
                command.scale = decimal ? std::strtod(scale.c_str(), nullptr) : 0;
                if (!(command.scale >= kLeastRenderScale && command.scale <= kGreatestRenderScale))
                    return invalid("--scale takes a number from 0.25 to 8, such as 2 for twice the size.");
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return invalid("Unknown option '" + a + "' for torvana " + first + ".");
        } else {
            files.push_back(a);
        }
    }
    const bool twoFiles = command.kind == CommandKind::Image || renders;
    const size_t expected = twoFiles ? 2 : 1;
    if (files.size() < expected)
        return invalid(command.kind == CommandKind::Image ? "torvana image needs a project file and an image file."
                       : renders ? "torvana render needs a project file and a PNG file."
                                 : "torvana " + first + " needs a project file.");
    if (files.size() > expected) return invalid("Unexpected argument '" + files[expected] + "'.");
    if (command.signCertificate.empty() && (!command.signPasswordFile.empty() || !command.timestampUrl.empty()))
        return invalid("--sign-password-file and --timestamp go with --sign.");
    command.project = files[0];
    if (twoFiles) command.image = files[1];
    return command;
}

std::string helpText() {
    return "Usage:\n"
           "  torvana                     start the editor\n"
           "  torvana FILE.cdrom          start the editor with this project open\n"
           "  torvana check FILE.cdrom [--usb]\n"
           "                              check what the disc would hold, without changing anything;\n"
           "                              --usb: it is to be copied onto a USB stick too\n"
           "  torvana build FILE.cdrom    save the project into its staging folder, as Save does\n"
           "  torvana image FILE.cdrom OUT.iso\n"
           "                              build the staging folder, then write its disc image\n"
           "  torvana burn FILE.cdrom [--drive DRIVE] [--speed N] [--verify] [--overwrite]\n"
           "                              build, make the disc image and burn it onto a blank disc;\n"
           "                              DRIVE is a device such as /dev/sr0 (the first drive found\n"
           "                              when none is given) or stdio:FILE; N is a speed such as 8\n"
           "                              for 8x; --verify reads the disc back and compares its MD5;\n"
           "                              --overwrite: a FILE that exists and is not empty is\n"
           "                              written over (without it, such a FILE is refused)\n"
           "  torvana render FILE.cdrom OUT.png [--hover N] [--focus N] [--scale S]\n"
           "                              draw the menu window as the players show it into a PNG\n"
           "                              picture: --hover N with the pointer on hotspot N, --focus N\n"
           "                              with the keyboard on it, --scale S at S times the size\n"
           "                              (0.25 to 8; 1 gives 640 x 480, and 640 x 516 with the bar)\n"
           "  build, image and burn take:\n"
           "    --sign CERT               sign the staged autorun.exe with a PKCS#12 file or a\n"
           "                              PKCS#11 URI (pkcs11:...), through osslsigncode\n"
           "    --sign-password-file FILE its password is the first line of FILE (else none)\n"
           "    --timestamp URL           an RFC 3161 timestamp server for the signature\n"
           "  torvana --help              show this text\n"
           "  torvana --version           show the version\n"
           "\n"
           "Exit status: check gives 0 when it finds no error, 1 when it does, and 2 when it cannot\n"
           "read the project; build, image and burn give 0 when every file was copied (and the image\n"
           "written, the disc burned), 1 when a copy failed, a hotspot was left out, the image\n"
           "leaves out an entry of the staging folder, a file the menu uses would have another name\n"
           "on Windows or a file changed while the image was written, and 2 when they stop (a\n"
           "project that cannot be read, a refused build or target, a folder or file that cannot\n"
           "be made, no drive, an image or a disc that cannot be written, Ctrl+C); render gives 0\n"
           "when the picture is written and 2 when not.\n"
           "\n"
           "build and image add a Linux player and a web page menu to the disc as the editor's\n"
           "Settings menu says (torvana.ini in the configuration folder). With SOURCE_DATE_EPOCH\n"
           "set, image writes every date from it, so two images of one project are identical.\n";
}

std::string versionText() { return "torvana " TORVANA_VERSION "\n"; }

LoadedProject loadProject(const std::string& path, const std::string& programFolder) {
    LoadedProject loaded;
    loaded.project = readProjectFile(path);
    loaded.state.programFolder = programFolder;
    loaded.state.projectPath = path;
    loaded.state.projectName = fileNamePart(path);
    return loaded;
}

namespace {

// Every line goes out escaped: a path or title from a project file may hold escape sequences
// that would retitle or clear the user's terminal.
std::string safe(const std::string& text) { return visibleText(text, size_t{1} << 20); }

// A progress line on a terminal, rewritten in place; nothing when the output is no terminal.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    ~ProgressLine() { end(); }

    void show(const std::string& what, uint64_t done, uint64_t total) {
        if (!terminal_) return;
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (shown_ && percent == percent_ && what == what_) return;
        percent_ = percent;
        what_ = what;
        std::string line = what + " " + std::to_string(percent) + "% (" + discSizeText(done) + " of " +
                           discSizeText(total) + ")";
        if (line.size() < width_) line += std::string(width_ - line.size(), ' ');
        width_ = line.size();
        err_ << '\r' << safe(line) << std::flush;
        shown_ = true;
    }
    // Ends the line so messages start on a line of their own.
    void end() {
        if (shown_) err_ << '\n' << std::flush;
        shown_ = false;
        width_ = 0;
    }

private:
    std::ostream& err_;
    bool terminal_;
    bool shown_ = false;
    int percent_ = -1;
    std::string what_;
    size_t width_ = 0;
};

// Ctrl+C (SIGINT) and SIGTERM while a build or an image is made: the work stops at its next
// piece through the same cancel as the editor's Cancel button, so the file under way is removed
// and nothing half-written is left behind.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

class InterruptsCancel {
public:
    InterruptsCancel() {
        interrupted = 0;
        oldInt_ = std::signal(SIGINT, onInterrupt);
        oldTerm_ = std::signal(SIGTERM, onInterrupt);
    }
    ~InterruptsCancel() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }
    InterruptsCancel(const InterruptsCancel&) = delete;
    InterruptsCancel& operator=(const InterruptsCancel&) = delete;

private:
    void (*oldInt_)(int) = SIG_DFL;
    void (*oldTerm_)(int) = SIG_DFL;
};

// The build's conversation as lines on standard error.
class ConsoleBuildUser : public BuildUser {
public:
    ConsoleBuildUser(std::ostream& err, ProgressLine& line) : err_(err), line_(line) {}
    void beep() override { say("error: the project has no hotspot, so there is nothing to build."); }
    void refuse(BuildField, const std::string& message) override { say("error: " + message); }
    void warning(const std::string& message) override { say("warning: " + message); }
    void error(const std::string& message) override { say("error: " + message); }
    void information(const std::string& message) override { say(message); }
    void busy(bool) override {}
    void succeeded() override {}
    void progress(const std::string& file, uint64_t done, uint64_t total) override {
        line_.show("Copying " + file, done, total);
    }
    bool cancelled() override { return interrupted != 0; }

private:
    void say(const std::string& line) {
        line_.end();
        err_ << safe(line) << '\n' << std::flush;
    }
    std::ostream& err_;
    ProgressLine& line_;
};

// The signing the options ask for; the password is the first line of its file.
Signing signingFor(const CommandLine& command) {
    Signing signing;
    signing.certificate = command.signCertificate;
    signing.timestampUrl = command.timestampUrl;
    signing.fixedTime = sourceDateEpoch();
    if (!command.signPasswordFile.empty()) {
        const std::string& file = command.signPasswordFile;
        const std::string named = "The password file \"" + visiblePath(file) + "\" ";
        std::error_code ec;
        const fs::file_status status = fs::status(fsPath(file), ec);
        if (!fs::exists(status)) throw Error(named + "does not exist.");
        if (fs::is_directory(status)) throw Error(named + "is a folder.");
        std::string text;
        try {
            text = readFileContents(file);
        } catch (const Error& e) {
            throw Error(named + "cannot be read: " + e.what() + ".");
        }
        signing.password = text.substr(0, text.find_first_of("\r\n"));
    }
    return signing;
}

int check(const LoadedProject& loaded, bool usb, std::ostream& out) {
    const DiscReport report = checkDisc(loaded.state, loaded.project, loaded.settings, usb);
    for (const Finding& f : report.findings) out << severityName(f.severity) << ": " << safe(f.text) << '\n';
    auto counted = [&](Severity severity, const std::string& one) {
        const int n = report.count(severity);
        return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
    };
    out << "Disc size: about " << discSizeText(report.discBytes) << " (" << counted(Severity::Error, "error") << ", "
        << counted(Severity::Warning, "warning") << ", " << counted(Severity::Note, "note") << ")\n";
    return report.hasErrors() ? 1 : 0;
}

int build(LoadedProject& loaded, std::ostream& err, ProgressLine& line) {
    ConsoleBuildUser user(err, line);
    const BuildResult result = runStagingBuild(loaded.state, loaded.project, loaded.settings, user);
    line.end();
    if (result == BuildResult::Cancelled)
        err << "cancelled: the build stopped before every file was copied into the staging folder.\n";
    return result == BuildResult::Succeeded ? 0 : result == BuildResult::CompletedWithFailures ? 1 : 2;
}

int image(LoadedProject& loaded, const std::string& imagePath, std::ostream& err, ProgressLine& line,
          bool sayWritten = true) {
    // Refused before the build, so nothing of the project is touched.
    if (const std::string refusal = imageTargetRefusal(loaded.state, loaded.project, loaded.settings, imagePath); !refusal.empty()) {
        err << "error: " << safe(refusal) << '\n';
        return 2;
    }
    // A SOURCE_DATE_EPOCH that is no time stops the command before anything is built.
    const std::optional<int64_t> fixedTime = sourceDateEpoch();
    const int built = build(loaded, err, line);
    if (built != 0) {
        err << "error: the disc image was not written, since the staging folder is not complete.\n";
        return built;
    }
    // What the walk leaves out of the image is told; the image is made of the rest.
    const std::vector<DiscTreeLeftOut> leftOut = readDiscTree(loaded.project.stagingFolder).leftOut;
    for (const DiscTreeLeftOut& entry : leftOut) err << "warning: " << safe(leftOutText(entry)) << '\n';
    // A disc whose menu cannot find its files on Windows, or that holds other bytes than the
    // staging folder, is no disc of the project: not written, status 1.
    if (const std::string renamed = windowsNameFailure(loaded.state, loaded.project, loaded.settings); !renamed.empty()) {
        err << "error: " << safe(renamed) << '\n';
        return 1;
    }
    ImageResult written;
    try {
        written = writeDiscImage(loaded.project.stagingFolder, volumeNameFor(loaded.project.cdTitle), imagePath,
                                 [&](uint64_t done, uint64_t total) {
                                     line.show("Writing the disc image", done, total);
                                     return interrupted == 0;
                                 },
                                 fixedTime);
    } catch (const ImageContentError& e) {
        line.end();
        err << "error: " << safe(e.what()) << '\n';
        return 1;
    }
    line.end();
    if (written == ImageResult::Cancelled) {
        err << "cancelled: the disc image " << '"' << visiblePath(imagePath) << '"' << " was not written.\n";
        return 2;
    }
    if (sayWritten) err << "The disc image " << '"' << visiblePath(imagePath) << '"' << " is written.\n";
    return leftOut.empty() ? 0 : 1;
}

// Checks where the disc goes and finds the drive, then builds, writes the image beside the staging
// folder under a temporary name of its own, burns it and removes it.
int burn(LoadedProject& loaded, const CommandLine& command, std::ostream& err, ProgressLine& line) {
    // Refused before anything is built or written.
    const BurnTarget target = burnTargetCheck(loaded.state, loaded.project, loaded.settings, command.drive);
    std::string refusal = target.refusal;
    if (refusal.empty() && target.replacedBytes > 0 && !command.overwrite)
        refusal = "The disc cannot be burned to \"" + command.drive + "\": the file holds " +
                  discSizeText(target.replacedBytes) + ", which burning would replace; add --overwrite to replace it.";
    if (!refusal.empty()) {
        err << "error: " << safe(refusal) << '\n';
        return 2;
    }
    const std::string drive = findBurnDrive(command.drive);
    const BurnImageFile temporary(loaded.project.stagingFolder);
    const std::string& imagePath = temporary.path();
    // Only a complete image is burned: not one of a build that failed a copy, nor one that leaves
    // something of the staging folder out.
    const int built = image(loaded, imagePath, err, line, false);
    if (built != 0) {
        err << "error: the disc was not burned.\n";
        return built;
    }
    BurnOptions options;
    options.drive = drive;
    options.speed = command.speed;
    options.verify = command.verify;
    const BurnResult result = burnImage(imagePath, options, [&](const BurnProgress& p) {
        const std::string speed = p.bytesPerSecond > 0 ? ", " + discSizeText(static_cast<uint64_t>(p.bytesPerSecond)) + "/s" : "";
        const std::string left = timeLeftText(p.bytesTotal - p.bytesDone, p.bytesPerSecond);
        line.show((p.phase == BurnProgress::Writing ? "Burning" : "Checking the disc") + speed +
                      (left.empty() ? "" : ", " + left + " left"),
                  p.bytesDone, p.bytesTotal);
        return interrupted == 0;
    });
    line.end();
    if (result == BurnResult::Cancelled) {
        err << "cancelled: the disc was not burned whole; it may be unusable.\n";
        return 2;
    }
    if (result == BurnResult::CheckCancelled) {
        err << "cancelled: the disc is burned, but its check stopped before the end.\n";
        return 2;
    }
    err << (command.verify ? "The disc is burned and holds the image exactly.\n" : "The disc is burned.\n");
    return 0;
}

// The menu of the project file as the players will show it once built, drawn from the files the
// project names where they are; its notes are said on `err` as well.
int render(const CommandLine& command, std::ostream& err) {
    const std::string folder = pathString(fsPath(command.project).parent_path());
    menu::MenuEngine engine(mapProject(readProjectFile(command.project), folder.empty() ? "." : folder,
                                       command.project, ProjectFiles::AsNamed),
                            [] { return int64_t(0); });
    engine.setScale(command.scale);
    engine.loadBackground();
    engine.loadHotspots();
    // The index of hotspot `number` among those the menu shows.
    const auto spot = [&](int number, const char* option) {
        const auto& spots = engine.project().hotspots;
        for (size_t i = 0; i < spots.size(); ++i)
            if (spots[i].number == number) return int(i);
        throw Error(std::string(option) + " " + std::to_string(number) + ": the menu shows no hotspot " +
                    std::to_string(number) + " (it has " + std::to_string(spots.size()) + ")");
    };
    if (command.focus > 0) {
        const int index = spot(command.focus, "--focus");
        for (int tab = 0; tab <= index; ++tab) engine.handle(menu::Event::keyPress(menu::Key::Tab));
    }
    if (command.hover > 0) {
        const HotspotRect r = engine.itemRect(spot(command.hover, "--hover"));
        engine.handle(menu::Event::pointer(menu::Event::PointerMoved, r.x + r.width / 2, r.y + r.height / 2));
    }
    for (const std::string& note : engine.notes()) err << "note: " << safe(note) << '\n';
    try {
        menu::writePng(command.image, engine.render());
    } catch (const Error& e) {
        throw Error("the picture \"" + visiblePath(command.image) + "\" cannot be written: " + e.what());
    }
    return 0;
}

}  // namespace

int runConsoleCommand(const CommandLine& command, const std::string& programFolder, std::ostream& out,
                      std::ostream& err, bool terminal, const std::string& settingsPath) {
    switch (command.kind) {
        case CommandKind::Help:
            out << helpText();
            return 0;
        case CommandKind::Version:
            out << versionText();
            return 0;
        case CommandKind::Invalid:
            err << "torvana: " << safe(command.error) << " Try torvana --help.\n";
            return 2;
        case CommandKind::Check:
        case CommandKind::Build:
        case CommandKind::Image:
        case CommandKind::Burn:
        case CommandKind::Render:
            break;
        default:
            err << "torvana: this command needs the editor's windows.\n";
            return 2;
    }
    ProgressLine line(err, terminal);
    InterruptsCancel interrupts;
    try {
        if (command.kind == CommandKind::Render) return render(command, err);
        LoadedProject loaded = loadProject(command.project, programFolder);
        if (!settingsPath.empty()) {
            // What the build adds to the disc follows the editor's Settings menu.
            const EditorSettings settings = loadSettings(settingsPath);
            if (!settings.problem.empty()) err << "warning: " << safe(settings.problem) << "\n";
            loaded.settings.addLinuxPlayer = settings.addLinuxPlayer;
            loaded.settings.addWebMenu = settings.addWebMenu;
            loaded.settings.keepFolderNamesOff = settings.keepFolderNamesOff;
            // The password the editor asks at each build has no place here: only --sign signs.
            if (!settings.signCertificate.empty() && command.signCertificate.empty() && command.kind != CommandKind::Check)
                err << "warning: the Windows player is not signed: the editor's Settings sign it with \""
                    << safe(settings.signCertificate) << "\", but the command line signs only with --sign.\n";
        }
        if (command.kind == CommandKind::Check) return check(loaded, command.usb, out);
        if (!command.signCertificate.empty()) loaded.settings.signing = signingFor(command);
        if (command.kind == CommandKind::Build) return build(loaded, err, line);
        if (command.kind == CommandKind::Image) return image(loaded, command.image, err, line);
        return burn(loaded, command, err, line);
    } catch (const Error& e) {
        line.end();
        err << "error: " << safe(e.what()) << '\n';
        return 2;
    }
}

}  // namespace torvana
