// Disc images read back by other programs: libarchive's bsdtar through the Rock Ridge, the
// Joliet and the plain ISO 9660 trees, and xorriso for the recorded checksums.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "disc/disc_burn.h"
#include "disc/disc_image.h"
#include "disc/disc_tree.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace torvana;

namespace {

std::string shell(const std::string& command, int* status = nullptr) {
    TempDir dir;
    const int raw = std::system(("LC_ALL=C.UTF-8 " + command + " >'" + dir.file("out") + "' 2>&1").c_str());
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return readFileContents(dir.file("out"));
}

// Every file under `folder`, by its path relative to it, with its bytes.
std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files[fs::relative(e.path(), folder).generic_string()] = readFileContents(e.path());
    return files;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A staging folder with what makes images hard: nested folders, long and non-ASCII names,
// programs, an empty file and one of several megabytes.
struct Stage {
    TempDir dir;
    std::string folder = dir.file("stage");
    std::string longName = std::string(96, 'L') + ".txt";  // 100 characters
    std::string accented = "Bilder \xC3\xBC\x62\x65r \xE2\x82\xAC und \xE6\x97\xA5\xE6\x9C\xAC.gif";

    Stage() {
        fs::create_directories(folder + "/images");
        fs::create_directories(folder + "/1/deeper/still");
        put("autorun.inf", "[autorun]\r\nOPEN=autorun.exe\r\nICON=autorun.exe\r\n");
        put("autorun.exe", "MZ player", 0644);
        put("autorun.sh", "#!/bin/sh\n", 0644);   // a script starts from the disc even so
        put("1/setup", "#!/bin/sh\necho\n", 0755);  // an executable stays executable
        put("images/" + accented, "GIF89a accented");
        put("1/deeper/still/" + longName, "long");
        put("1/deeper/empty.dat", "");
        std::string big(5 << 20, '\0');
        std::mt19937 random(7);
        for (char& c : big) c = static_cast<char>(random());
        put("images/big.bmp", big);
    }
    void put(const std::string& relative, const std::string& bytes, mode_t mode = 0644) {
        replaceFileContents(folder + "/" + relative, bytes);
        ::chmod((folder + "/" + relative).c_str(), mode);
    }
};

}  // namespace

TEST(DiscImage, VolumeNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"Summer Photos", "SUMMER_PHOTOS"},
        {"  --Ärger & mehr!  ", "RGER_MEHR"},
        {"", "CDROM"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "CDROM"},
        {std::string(40, 'a'), std::string(32, 'A')},
        {"disc_1 of 2", "DISC_1_OF_2"},
    };
    for (const auto& [title, name] : cases) EXPECT_EQ(volumeNameFor(title), name) << title;
}

TEST(DiscImage, EveryTreeHoldsEveryFile) {
    Stage s;
    const std::string image = s.dir.file("disc.iso");
    uint64_t lastDone = 0, lastTotal = 0;
    int calls = 0;
    ASSERT_EQ(writeDiscImage(s.folder, "SUMMER_PHOTOS", image,
                             [&](uint64_t done, uint64_t total) {
                                 EXPECT_GE(done, lastDone);
                                 lastDone = done;
                                 lastTotal = total;
                                 ++calls;
                                 return true;
                             }),
              ImageResult::Written);
    EXPECT_EQ(lastDone, fs::file_size(image));
    EXPECT_EQ(lastTotal, fs::file_size(image));
    EXPECT_GT(calls, 2);
    EXPECT_EQ(namesIn(s.dir.path()), (std::vector<std::string>{"disc.iso", "stage"}));  // no temporary file left

    const auto expected = filesIn(s.folder);
    // Rock Ridge (bsdtar's default) and Joliet keep the names, long and non-ASCII ones too.
    for (const char* options : {"", "--options iso9660:!rockridge"}) {
        SCOPED_TRACE(options);
        const std::string out = s.dir.file(*options ? "joliet" : "rockridge");
        fs::create_directories(out);
        int status = 0;
        const std::string said = shell("bsdtar " + std::string(options) + " -xf '" + image + "' -C '" + out + "'", &status);
        ASSERT_EQ(status, 0) << said;
        for (const auto& e : fs::recursive_directory_iterator(out)) fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(filesIn(out), expected);
    }
    // The plain ISO 9660 tree renames, but holds the same bytes.
    const std::string plain = s.dir.file("plain");
    fs::create_directories(plain);
    shell("bsdtar --options iso9660:!rockridge,!joliet -xf '" + image + "' -C '" + plain + "'");
    std::vector<std::string> want, got;
    for (const auto& [name, bytes] : expected) want.push_back(bytes);
    for (const auto& [name, bytes] : filesIn(plain)) got.push_back(bytes);
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);

    // Rock Ridge modes: everything read-only, programs and scripts executable.
    const std::string listing = shell("bsdtar -tvf '" + image + "'");
    const std::pair<std::string, std::string> modes[] = {
        {"./1/setup", "-r-xr-xr-x"}, {"./autorun.sh", "-r-xr-xr-x"}, {"./autorun.exe", "-r--r--r--"},
        {"./autorun.inf", "-r--r--r--"}, {"./1/deeper", "dr-xr-xr-x"}};
    for (const auto& [path, mode] : modes) {
        const size_t at = listing.find(" " + path + "\n");
        ASSERT_NE(at, std::string::npos) << path << "\n" << listing;
        EXPECT_EQ(listing.substr(listing.rfind('\n', at) + 1, mode.size()), mode) << path;
    }

    // The recorded checksums match, and the volume has its name.
    const std::string media = shell("xorriso -md5 on -indev '" + image + "' -check_media --");
    EXPECT_NE(media.find("md5_match"), std::string::npos) << media;
    EXPECT_NE(media.find("Volume id    : 'SUMMER_PHOTOS'"), std::string::npos) << media;
    int status = 0;
    const std::string md5 = shell("xorriso -md5 on -indev '" + image + "' -check_md5 FAILURE -- ", &status);
    EXPECT_EQ(status, 0) << md5;
    EXPECT_NE(md5.find("Ok, session data match recorded md5."), std::string::npos) << md5;
}

TEST(DiscImage, CancelledOrFailedImageLeavesNoFile) {
    Stage s;
    const std::string image = s.dir.file("disc.iso");
    int calls = 0;
    EXPECT_EQ(writeDiscImage(s.folder, "X", image, [&](uint64_t, uint64_t) { return ++calls < 3; }),
              ImageResult::Cancelled);
    EXPECT_EQ(namesIn(s.dir.path()), std::vector<std::string>{"stage"});

    // An older image under the name stays as it was.
    replaceFileContents(image, "older image");
    EXPECT_EQ(writeDiscImage(s.folder, "X", image, [](uint64_t, uint64_t) { return false; }), ImageResult::Cancelled);
    EXPECT_EQ(readFileContents(image), "older image");

    const std::pair<std::string, std::string> failures[] = {
        {s.dir.file("no/disc.iso"), "File not found"},
        {s.folder + "/images/disc.iso", "cannot be written into the folder it is made of"},
    };
    for (const auto& [path, text] : failures) {
        try {
            writeDiscImage(s.folder, "X", path);
            ADD_FAILURE() << path;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
        EXPECT_FALSE(fs::exists(path));
    }
    EXPECT_THROW(writeDiscImage(s.dir.file("absent"), "X", image), Error);
}

// A file that shrinks or goes while the image is written fails it, named, and leaves no image:
// the library would have filled the missing bytes with zeros.
TEST(DiscImage, AFileThatChangesWhileWrittenFailsTheImage) {
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "cut short");
        Stage s;
        int calls = 0;
        try {
            writeDiscImage(s.folder, "X", s.dir.file("disc.iso"), [&](uint64_t, uint64_t) {
                const std::string big = s.folder + "/images/big.bmp";
                if (calls++ == 0) removed ? fs::remove(big) : (fs::resize_file(big, 1000), true);
                return true;
            });
            ADD_FAILURE() << "written";
        } catch (const ImageContentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("The disc image was not written: \"images/big.bmp\" ", 0), 0u) << e.what();
        }
        EXPECT_EQ(namesIn(s.dir.path()), std::vector<std::string>{"stage"});
    }
}

// Only what lies in the staging folder goes on the disc: links that leave it, lead nowhere or
// round in a loop, pipes, devices and the temporary file of a killed copy are left out and told;
// a link to a file inside is burned as that file; folders deeper than ISO 9660's eight levels
// stay listable.
TEST(DiscImage, OnlyTheStagingFoldersOwnFilesAndFoldersAreBurned) {
    Stage s;
    replaceFileContents(s.dir.file("secret.txt"), "outside bytes");
    const std::string deep = "d1/d2/d3/d4/d5/d6/d7/d8/d9/d10/d11";
    fs::create_directories(s.folder + "/" + deep);
    s.put(deep + "/bottom.txt", "at the bottom");
    s.put("1/.tv0123456789.tmp", "a copy killed midway");
    const struct {
        const char* name;
        std::function<int(const std::string&)> make;
        const char* reason;  // empty: burned
    } rows[] = {
        {"outside", [&](const std::string& p) { return ::symlink(s.dir.file("secret.txt").c_str(), p.c_str()); },
         "is a link to \""},
        {"nothing", [](const std::string& p) { return ::symlink("gone.txt", p.c_str()); }, "is a link to nothing"},
        {"self", [](const std::string& p) { return ::symlink("self", p.c_str()); }, "is a link that leads round in a loop"},
        {"here", [](const std::string& p) { return ::symlink(".", p.c_str()); }, "is a link to a folder that holds it"},
        {"up", [](const std::string& p) { return ::symlink("..", p.c_str()); }, "is a link to \""},
        {"pipe", [](const std::string& p) { return ::mkfifo(p.c_str(), 0644); }, "is a pipe, which a disc cannot hold"},
        {"device", [](const std::string& p) { return ::mknod(p.c_str(), S_IFCHR | 0644, makedev(1, 3)); },
         "is a device, which a disc cannot hold"},
        {"inside", [](const std::string& p) { return ::symlink("autorun.inf", p.c_str()); }, ""},
    };
    std::vector<std::string> expected;
    for (const auto& row : rows) {
        ASSERT_EQ(row.make(s.folder + "/" + row.name), 0) << row.name;
        if (*row.reason) expected.push_back(std::string("\"") + row.name + "\" in the staging folder " + row.reason);
    }
    const DiscTree tree = readDiscTree(s.folder);
    std::vector<std::string> told;
    for (const DiscTreeLeftOut& entry : tree.leftOut) told.push_back(leftOutText(entry));
    std::sort(expected.begin(), expected.end());  // the walk goes by name
    ASSERT_EQ(told.size(), expected.size()) << ::testing::PrintToString(told);
    for (size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i].rfind(expected[i], 0), 0u) << told[i];

    const std::string image = s.dir.file("disc.iso");
    ASSERT_EQ(writeDiscImage(s.folder, "X", image), ImageResult::Written);
    const std::string out = s.dir.file("out");
    fs::create_directories(out);
    int status = 0;
    const std::string said = shell("bsdtar -xf '" + image + "' -C '" + out + "'", &status);
    ASSERT_EQ(status, 0) << said;
    const auto files = filesIn(out);
    EXPECT_EQ(files.at(deep + "/bottom.txt"), "at the bottom");
    EXPECT_EQ(files.at("inside"), readFileContents(s.folder + "/autorun.inf"));
    for (const auto& [name, bytes] : files) {
        EXPECT_NE(bytes, "outside bytes") << name;
        EXPECT_EQ(name.find(".tv"), std::string::npos) << name;
    }
    for (const auto& row : rows) {
        if (*row.reason) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(out + "/" + row.name))) << row.name;
        }
    }
}

// A burn reports its bytes in order up to the image's size, and a progress that says no cancels
// it, before the write or during it; the time left is told for people.
TEST(DiscBurn, ProgressCancelAndTimeLeft) {
    TempDir dir;
    const std::string image = dir.file("image.iso");
    replaceFileContents(image, std::string(size_t{64} << 20, 'i'));
    BurnOptions options;
    options.drive = "stdio:" + dir.file("disc.iso");
    uint64_t last = 0;
    bool inOrder = true;
    EXPECT_EQ(burnImage(image, options,
                        [&](const BurnProgress& p) {
                            inOrder = inOrder && p.bytesDone >= last && p.bytesTotal == (64u << 20);
                            last = p.bytesDone;
                            return true;
                        }),
              BurnResult::Burned);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(last, 64u << 20);
    EXPECT_EQ(burnImage(image, options, [](const BurnProgress&) { return false; }), BurnResult::Cancelled);
    fs::remove(dir.file("disc.iso"));
    EXPECT_EQ(burnImage(image, options, [](const BurnProgress& p) { return p.bytesDone == 0; }), BurnResult::Cancelled);
    EXPECT_LT(fs::file_size(dir.file("disc.iso")), 64u << 20);

    const std::pair<std::pair<uint64_t, double>, std::string> cases[] = {
        {{0, 0}, ""}, {{45, 1}, "45 s"}, {{65 << 20, 1 << 20}, "1 min 5 s"}};
    for (const auto& [in, text] : cases) EXPECT_EQ(timeLeftText(in.first, in.second), text);
}
