// Fuzzes the disc check on whole projects made from the fuzz bytes in a scratch folder: pictures
// and sounds of known and of arbitrary content under arbitrary names, hotspots of every kind,
// leftovers in the staging folder and staging folders that lead anywhere, even to the root. The
// project file is written and read back as `torvana check` reads it, then checked twice.
// Properties:
// - the project reads back as it was written;
// - the same project gives the same report twice;
// - every finding is one line of printable UTF-8, the report is sorted by severity, and each
//   finding names a file of the input: a stored path, the player, the staging folder, a path
//   the build plans, or an entry that is in the staging folder;
// - only entries inside the staging folder are ever offered for removal, and never one the
//   build puts there; a staging folder that resolves to the root is refused before it is read;
// - the probes agree with what was written and with the players' readers: a BMP header of
//   W x H is a BMP of W x H, a GIF the GIF reader reads is a GIF of its size and any other is
//   not one, a sound the players' WAV reader plays draws no finding.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "staging/staging_build.h"
#include "cli/command_line.h"
#include "disc/disc_check.h"
#include "media/media_probe.h"
#include "gif/gif_image.h"
#include "gif/gif_writer.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "project/project_text.h"
#include "media/wave_info.h"
#include "scratch_file.h"

namespace fs = std::filesystem;
using namespace torvana;

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

// A value the project file holds on one line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\x1a') c = ' ';
    return text;
}

// A file name from the fuzz bytes: anything but a separator or NUL, never empty.
std::string fuzzedName(FuzzedDataProvider& in, size_t longest) {
    std::string name = oneLine(in.ConsumeRandomLengthString(longest));
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    return name.empty() ? "n" : name;
}

std::string le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}

struct Art {
    std::string path;
    enum Kind { Bmp, Gif, Wav, Other } kind = Other;
    int width = 0, height = 0;  // what a BMP header or a whole GIF says, 0 when it says no size
};

Art makeArt(FuzzedDataProvider& in, const std::string& folder) {
    static const char* const names[] = {"back.bmp", "over.gif", "in.wav", "Over.GIF", "setup.exe"};
    Art art;
    const std::string name = in.ConsumeBool() ? names[in.ConsumeIntegralInRange<size_t>(0, 4)] : fuzzedName(in, 24);
    art.path = folder + "/" + name;
    std::string bytes;
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {  // a BMP header of any size, with its info header in one of the known lengths
            art.kind = Art::Bmp;
            const int32_t w = in.ConsumeIntegral<int32_t>(), h = in.ConsumeIntegral<int32_t>();
            const bool core = in.ConsumeBool();
            bytes = "BM" + le(0, 4) + le(0, 4) + le(54, 4);
            if (core) {
                bytes += le(12, 4) + le(uint16_t(w), 2) + le(uint16_t(h), 2) + le(1, 2) + le(24, 2);
                art.width = uint16_t(w);
                art.height = uint16_t(h);
            } else {
                bytes += le(in.PickValueInArray({40u, 108u, 124u}), 4) + le(uint32_t(w), 4) + le(uint32_t(h), 4);
                bytes += le(1, 2) + le(24, 2) + std::string(24, '\0');
                if (w > 0 && h != 0 && h != INT32_MIN) {
                    art.width = w;
                    art.height = h < 0 ? -h : h;
                }
            }
            if (art.width <= 0 || art.height <= 0) art.width = art.height = 0;
            break;
        }
        case 1: {  // a whole GIF, then perhaps bytes after it, or a GIF signature and anything
            art.kind = Art::Gif;
            if (in.ConsumeBool()) {
                art.width = in.ConsumeIntegralInRange(1, 40);
                art.height = in.ConsumeIntegralInRange(1, 40);
                giftest::GifBuilder g;
                g.Header(art.width, art.height, giftest::Palette(4))
                    .Image(0, 0, art.width, art.height, giftest::Bytes(size_t(art.width) * art.height, 1), 2)
                    .Trailer();
                bytes = g.str();
            } else {
                bytes = "GIF89a";
            }
            bytes += in.ConsumeRandomLengthString(64);
            break;
        }
        case 2:  // a RIFF WAVE header and anything after it
            art.kind = Art::Wav;
            bytes = "RIFF" + le(in.ConsumeIntegral<uint32_t>(), 4) + "WAVE" + in.ConsumeRandomLengthString(80);
            break;
        default:
            bytes = in.ConsumeRandomLengthString(96);
    }
    try {
        replaceFileContents(art.path, bytes);
    } catch (const Error&) {
        art.path = folder + "/unwritable";  // a name the file system refuses (too long): missing
    }
    return art;
}

// The probes against what was written and against the players' readers.
void checkProbes(const Art& art) {
    if (!fileExists(art.path)) return;
    const PictureProbe probe = probePicture(art.path);
    if (art.kind == Art::Bmp) {
        // The players' reader may refuse a header it finds odd, but never gives another size.
        if (!art.width) check(probe.format != PictureFormat::Bmp);
        if (probe.format == PictureFormat::Bmp) check(probe.width == art.width && probe.height == art.height);
        else check(probe.width == 0 && probe.height == 0);
    }
    if (probe.format == PictureFormat::Gif || art.kind == Art::Gif) {
        int width = 0, height = 0;
        try {
            gif::GifImage gif;
            gif.LoadFromFile(art.path);
            if (!gif.Empty()) width = gif.Width(), height = gif.Height();
        } catch (const Error&) {
        }
        const bool reads = width > 0 && height > 0;
        check((probe.format == PictureFormat::Gif) == reads);
        check(!reads || (probe.width == width && probe.height == height));
        if (art.width) check(reads && width == art.width && height == art.height);
    }
    if (probe.format == PictureFormat::Unreadable) check(!probe.problem.empty() && probe.width == 0);
    if (inspectWave(art.path).error.empty()) check(isWavFile(art.path));
}

bool sameReport(const DiscReport& a, const DiscReport& b) {
    if (a.findings.size() != b.findings.size() || a.fileBytes != b.fileBytes || a.discBytes != b.discBytes ||
        a.strayEntries != b.strayEntries)
        return false;
    for (size_t i = 0; i < a.findings.size(); ++i) {
        const Finding &x = a.findings[i], &y = b.findings[i];
        if (x.severity != y.severity || x.text != y.text || x.file != y.file || x.subject != y.subject ||
            x.hotspot != y.hotspot)
            return false;
    }
    return true;
}

// `path` is `folder` or lies below it, by its text.
bool within(const std::string& path, const std::string& folder) {
    const fs::path p = fs::path(path).lexically_normal(), f = fs::path(folder).lexically_normal();
    const std::string rel = p.lexically_relative(f).generic_string();
    return !rel.empty() && rel != ".." && rel.rfind("../", 0) != 0;
}

bool present(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string root = scratchFolder("fuzz_disc_check");
    const std::string art = root + "/art", program = root + "/program";
    fs::create_directories(art + "/sub");
    fs::create_directories(program);
    if (in.ConsumeBool()) replaceFileContents(program + "/autorun.exe", "player");

    std::vector<Art> files;
    const int count = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < count; ++i) files.push_back(makeArt(in, in.ConsumeBool() ? art : art + "/sub"));

    // A stored path: one of the files, a missing one, a folder, or nothing.
    auto stored = [&](bool allowEmpty) -> std::string {
        const int pick = in.ConsumeIntegralInRange(0, 9);
        if (pick < 6 && !files.empty()) return files[size_t(pick) % files.size()].path;
        if (pick == 6) return art + "/missing.gif";
        if (pick == 7) return art + "/sub";
        if (pick == 8 && !allowEmpty) return art + "/" + fuzzedName(in, 12);
        return allowEmpty ? std::string() : art + "/none.bmp";
    };

    Project project;
    project.cdTitle = oneLine(in.ConsumeRandomLengthString(40));
    project.showBrowse = in.ConsumeBool();
    project.showExit = in.ConsumeBool();
    project.backgroundImage = in.ConsumeIntegralInRange(0, 7) ? stored(false) : std::string();
    project.openingWav = stored(true);
    project.hotspotCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < project.hotspotCount; ++i) {
        Hotspot h;
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: h.application = "exit"; break;
            case 1: h.application = in.PickValueInArray({"EXIT", "", "www.example.org", "javascript://x"}); break;
            case 2: h.application = "http://" + oneLine(in.ConsumeRandomLengthString(16)); break;
            case 3: h.application = stored(false) + " /s"; break;
            default: h.application = stored(false);
        }
        h.rolloverImage = stored(true);
        h.x = oneLine(in.ConsumeRandomLengthString(8));
        h.y = oneLine(in.ConsumeRandomLengthString(8));
        h.rolloverWav = stored(true);
        h.clickWav = stored(true);
        project.hotspots.push_back(h);
    }

    // The staging folder: a fresh one, one with leftovers, one spelled in other ways, the art
    // folder itself, a file, or one that climbs to the root.
    const std::string stage = root + "/stage";
    switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: project.stagingFolder = stage; break;
        case 1: project.stagingFolder = stage + "/"; break;
        case 2: project.stagingFolder = stage + "/sub/.."; break;
        case 3: project.stagingFolder = art; break;
        case 4: project.stagingFolder = files.empty() ? root + "/none/stage" : files[0].path; break;
        case 5: {
            // Up to the root and perhaps past it, never to a folder that others use meanwhile.
            project.stagingFolder = root;
            const auto depth = std::count(root.begin(), root.end(), '/');
            for (int i = in.ConsumeIntegralInRange(0, 3) + int(depth); i > 0; --i)
                project.stagingFolder += in.ConsumeBool() ? "/.." : "//../";
            break;
        }
        default: project.stagingFolder = stage;
    }
    if (in.ConsumeBool()) {
        fs::create_directories(stage + "/images");
        const int leftovers = in.ConsumeIntegralInRange(0, 5);
        for (int i = 0; i < leftovers; ++i) {
            const std::string where = in.ConsumeBool() ? stage : stage + "/images";
            const std::string name = in.ConsumeBool() ? in.PickValueInArray({"autorun.inf", "1", "wavs", "Images"})
                                                      : fuzzedName(in, 120);
            std::error_code ec;
            if (in.ConsumeBool())
                fs::create_directories(where + "/" + name, ec);
            else
                try {
                    replaceFileContents(where + "/" + name, "left over");
                } catch (const Error&) {
                }
        }
    }

    const std::string projectPath = root + "/menu.cdrom";
    writeProjectFile(projectPath, project);
    LoadedProject loaded = loadProject(projectPath, program + "/");
    check(loaded.project == project);
    loaded.settings.addWebMenu = in.ConsumeBool();
    loaded.settings.addLinuxPlayer = in.ConsumeBool();

    const DiscReport report = checkDisc(loaded.state, loaded.project, loaded.settings);
    check(sameReport(report, checkDisc(loaded.state, loaded.project, loaded.settings)));
    check(std::is_sorted(report.findings.begin(), report.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.severity < b.severity; }));

    const std::string& S = project.stagingFolder;
    const bool root0 = resolvesToRoot(S);
    if (root0) {
        check(report.findings.size() >= 1 && report.strayEntries.empty());
        check(std::any_of(report.findings.begin(), report.findings.end(), [](const Finding& f) {
            return f.text == "Staging Folder cannot be on the root folder.";
        }));
    }

    std::set<std::string> named{S, program + "/autorun.exe", project.backgroundImage, project.openingWav, ""};
    for (const Hotspot& h : project.hotspots)
        named.insert({h.application, h.rolloverImage, h.rolloverWav, h.clickWav});
    std::set<std::string> planned;
    if (!root0) {
        const StagingPlan plan = planStaging(loaded.state, loaded.project, loaded.settings);
        for (const StagedCopy& c : plan.copies)
            for (fs::path p(c.relative); !p.empty(); p = p.parent_path()) planned.insert(p.generic_string());
        planned.insert(plan.folders.begin(), plan.folders.end());
        planned.insert(plan.written.begin(), plan.written.end());
    }
    for (const Finding& f : report.findings) {
        check(isValidUtf8(f.text));
        check(std::none_of(f.text.begin(), f.text.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; }));
        const bool relative = !f.file.empty() && f.file[0] != '/';
        check(named.count(f.file) || (relative && (planned.count(f.file) || present(S + "/" + f.file))) ||
              (!relative && within(f.file, S) && present(f.file)));
    }
    const fs::path folder = fs::path(S).lexically_normal();
    for (const std::string& stray : report.strayEntries) {
        std::error_code ec;
        check(within(stray, S) && present(stray) && !fs::equivalent(stray, S, ec));
        check(!planned.count(fs::path(stray).lexically_normal().lexically_relative(folder).generic_string()));
    }

    // A sound draws a finding exactly when the players' WAV reader refuses it.
    if (!root0) {
        std::set<std::string> sounds{project.openingWav};
        for (const Hotspot& h : project.hotspots) sounds.insert({h.rolloverWav, h.clickWav});
        for (const std::string& sound : sounds) {
            // What the build copies: a stored path is cut as a command line.
            if (sound.empty() || !fileExists(sound)) continue;
            const bool told = std::any_of(report.findings.begin(), report.findings.end(), [&](const Finding& f) {
                const std::string& t = f.text;
                return f.file == sound && (t.find("cannot be played: ") != std::string::npos ||
                                           (t.size() > 20 && t.compare(t.size() - 20, 20, " is not a WAV sound.") == 0));
            });
            check(told == !inspectWave(sound).error.empty());
        }
    }

    // Each file as it is now: a later one of the same name replaced an earlier one.
    std::set<std::string> probed;
    for (auto a = files.rbegin(); a != files.rend(); ++a)
        if (probed.insert(a->path).second) checkProbes(*a);
    return 0;
}
