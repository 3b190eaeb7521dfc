// The public GIF decoder conformance suite beside the repository (../shared/gif-test-suite):
// every expected frame of every case against our composed frames, from a transparent canvas
// with disposal 2 restoring to transparent. Cases where this reader deliberately differs are
// listed with the reason; the test is skipped when the suite is not there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gif/gif_compositor.h"
#include "gif_test_support.h"

using namespace torvana::gif;

namespace {

const std::string kSuite = std::string(TORVANA_SHARED_DIR) + "/gif-test-suite";

// Cases whose expected frames this reader does not produce, and why.
const std::map<std::string, std::string> kDiffersByDesign = {
    // A frame of width or height 0 takes the logical screen's size (with a warning) and is then read
    // as a normal frame; these files have no raster after the descriptor, so the load fails where
    // the suite shows an empty canvas.
    {"image-zero-width", "the trailer byte is read as the frame's minimum code size (59): "
                         "\"Invalid LZW minimum code size\""},
    {"image-zero-height", "the descriptor announces a local table the file does not hold: "
                          "\"Premature end of data\""},
    {"image-zero-size", "as image-zero-height"},
    {"invalid-code", "the suite rejects a code beyond the next free slot; this reader takes it as the code "
                     "about to be defined and shows the frame"},
    {"invalid-colors", "the suite rejects colour indices beyond the table; this reader draws them black, as "
                       "a 256-entry palette filled from a shorter table does"},
    {"unknown-extension", "an extension label without a class fails the load (\"Unknown extension type\"), "
                          "as stored pictures rely on; the suite skips it"},
    {"plain-text", "the suite skips an image that follows a plain-text extension; this reader shows it"},
};

std::map<std::string, std::map<std::string, std::string>> ReadConf(const std::string& path) {
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        auto trim = [](std::string s) {
            s.erase(0, s.find_first_not_of(' '));
            s.erase(s.find_last_not_of(' ') + 1);
            return s;
        };
        sections[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return sections;
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    std::stringstream ss(list);
    std::string item;
    while (std::getline(ss, item, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Our composed frames as the suite counts them: the suite shows a picture after each image
// that has a delay, and after the last image; images without a delay are combined with the
// next, unless the case forces animation, where every image is shown. The bare canvas stands
// for a picture without images.
std::vector<std::string> ComposedFrames(GifImage& image, bool everyImage) {
    std::vector<std::string> out;
    GifCompositor compositor(image);
    size_t last = image.frames.Count();
    for (size_t i = 0; i < image.frames.Count(); ++i)
        if (!image.frames[i].IsEmptyFrame()) last = i;
    for (size_t i = 0; i < image.frames.Count(); ++i) {
        const GifFrame& frame = image.frames[i];
        if (frame.IsEmptyFrame()) continue;
        const RgbaCanvas& c = compositor.Compose(i);
        if (i == last || everyImage || (frame.controlBlock && frame.controlBlock->delayTime > 0))
            out.emplace_back(c.pixels.begin(), c.pixels.end());
    }
    if (out.empty()) out.emplace_back(compositor.Canvas().pixels.begin(), compositor.Canvas().pixels.end());
    return out;
}

}  // namespace

TEST(GifConformance, PublicSuite) {
    if (!std::filesystem::exists(kSuite + "/TESTS")) GTEST_SKIP() << "no conformance suite at " << kSuite;
    std::ifstream list(kSuite + "/TESTS");
    std::string name;
    int matched = 0, differ = 0, failed = 0;
    while (std::getline(list, name)) {
        if (name.empty()) continue;
        SCOPED_TRACE(name);
        auto conf = ReadConf(kSuite + "/" + name + ".conf");
        auto& config = conf["config"];
        std::vector<std::string> expected;
        for (const auto& frame : Split(config["frames"])) expected.push_back(ReadAll(kSuite + "/" + conf[frame]["pixels"]));
        std::string error;
        std::vector<std::string> ours;
        GifImage image;
        try {
            image.LoadFromFile(kSuite + "/" + config["input"]);
            ours = ComposedFrames(image, config["force-animation"] == "yes");
        } catch (const GifError& e) {
            error = e.what();
        }
        // The suite lists no frames for a file it rejects or whose screen is empty.
        const bool same = expected.empty() ? (!error.empty() || image.Width() == 0 || image.Height() == 0)
                                           : (error.empty() && ours == expected);
        const bool listed = kDiffersByDesign.count(name) > 0;
        if (same && !listed) {
            ++matched;
        } else if (!same && listed) {
            ++differ;
        } else {
            ++failed;
            ADD_FAILURE() << name << (same ? ": matches but is listed as differing" : ": differs")
                          << (error.empty() ? "" : " (" + error + ")") << ", " << ours.size() << " frames against "
                          << expected.size();
        }
    }
    std::cout << "conformance: " << matched << " match, " << differ << " differ by design, " << failed
              << " fail\n";
    EXPECT_EQ(failed, 0);
}
