// The Linux player as a screen reader meets it: on a session bus of the test's own (the test
// runs under dbus-run-session), the desktop's accessibility bus and registry start as they do
// on a desktop, and a client (gdbus, plain D-Bus calls) finds the player's application through
// the registry, reads the window and its items, hears the window activated and follows the
// focus as Tab moves it (its state and its "focused" events, watched with dbus-monitor), and
// clicks the Exit button through its action.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdio>
#include <cstring>
#include <regex>

#include "test_support/linux_player.h"
#include "test_support/menu_fixture.h"
#include "test_support/wine.h"

using namespace winetest;

namespace {

// What a command prints on its standard output.
std::string output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// Polls `probe` until it gives something, for up to `ms`.
std::string poll(const std::function<std::string()>& probe, int ms = 20000) {
    for (int waited = 0; waited <= ms; waited += 100) {
        if (std::string v = probe(); !v.empty()) return v;
        sleepMs(100);
    }
    return {};
}

// What a file holds so far; nothing before it exists.
std::string contents(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec) ? torvana::readFileContents(path) : std::string();
}

// The first string in a gdbus reply, "('text',)" or "(<'text'>,)".
std::string firstString(const std::string& reply) {
    std::smatch m;
    return std::regex_search(reply, m, std::regex("'([^']*)'")) ? m[1].str() : std::string();
}

// A client on the accessibility bus, as a screen reader is one.
struct Client {
    std::string bus = firstString(output(
        "gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress"));

    std::string call(const std::string& dest, const std::string& path, const std::string& method,
                     const std::string& args = {}) const {
        return output("gdbus call --address '" + bus + "' --dest '" + dest + "' --object-path '" + path +
                      "' --method " + method + " " + args);
    }
    std::string name(const std::string& dest, const std::string& path) const {
        return firstString(call(dest, path, "org.freedesktop.DBus.Properties.Get", "org.a11y.atspi.Accessible Name"));
    }
    // The (bus name, path) pairs of an object's children.
    std::vector<std::pair<std::string, std::string>> children(const std::string& dest, const std::string& path) const {
        const std::string reply = call(dest, path, "org.a11y.atspi.Accessible.GetChildren");
        std::vector<std::pair<std::string, std::string>> out;
        const std::regex ref("\\('([^']*)', (?:objectpath )?'([^']*)'\\)");
        for (auto it = std::sregex_iterator(reply.begin(), reply.end(), ref); it != std::sregex_iterator(); ++it)
            out.emplace_back((*it)[1].str(), (*it)[2].str());
        return out;
    }
    bool focused(const std::string& dest, const std::string& path) const {
        std::smatch m;
        const std::string reply = call(dest, path, "org.a11y.atspi.Accessible.GetState");
        return std::regex_search(reply, m, std::regex("\\[(?:uint32 )?(\\d+), (\\d+)\\]")) &&
               (std::stoul(m[1].str()) >> 12 & 1) != 0;
    }
};

}  // namespace

TEST(PlayerAccessibility, screenReaderFollowsTabAndClicksExit) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || !std::filesystem::exists("/usr/libexec/at-spi-bus-launcher") ||
        output("command -v gdbus").empty() || output("command -v dbus-monitor").empty())
        GTEST_SKIP() << "needs a session bus (dbus-run-session), at-spi2-core, gdbus (libglib2.0-bin) and dbus-monitor (dbus-bin)";
    const Client client;
    ASSERT_FALSE(client.bus.empty()) << "the session bus started no accessibility bus (org.a11y.Bus)";

    // The title and the label of an older project file, in Windows-1252, which libdbus would
    // refuse (it ends the program) if they reached it unread.
    menutest::StagedFolder staged;
    const std::string suffix = uniqueTitle("");
    const std::string title = "Spoken Men\xC3\xBC" + suffix;
    menutest::exampleMenu(staged, "Spoken Men\xFC" + suffix);
    staged.data.hotspots[0].label = "Leave the men\xFC";
    staged.writeProject();
    const auto engine = menutest::loadedEngine(torvana::loadPlayerProject({staged.dir.path()}));

    // Every event on the bus, as it comes, from before the player starts.
    const std::string events = staged.dir.file("events.txt");
    ChildProcess monitor({"/bin/sh", "-c", "exec dbus-monitor --address \"$0\" \"type='signal',interface='org.a11y.atspi.Event.Window'\" "
                                          "\"type='signal',interface='org.a11y.atspi.Event.Object'\" > \"$1\"", client.bus, events},
                         staged.dir.path());
    const auto announced = [&](const std::string& text) {
        return !poll([&] { return contents(events).find(text) != std::string::npos ? "seen" : ""; }).empty();
    };
    ASSERT_TRUE(announced("member=NameLost")) << "dbus-monitor did not start watching";

    ChildProcess player({PLAYER_EXE}, staged.dir.path());
    XServer x;
    const auto window = x.waitFor(title, player, 20000);
    ASSERT_TRUE(window);

    // The registry lists the player; its frame is named by the title and holds the items.
    std::string app;
    const std::string frame = poll([&] {
        for (const auto& [name, path] : client.children("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")) {
            const auto kids = client.children(name, path);
            if (!kids.empty() && client.name(name, kids[0].second) == title) {
                app = name;
                return kids[0].second;
            }
        }
        return std::string();
    });
    ASSERT_FALSE(frame.empty()) << "no application with a frame named " << title << " on the accessibility bus";
    // The window, focused from the start, is activated: a screen reader says its title.
    EXPECT_TRUE(announced(frame + "; interface=org.a11y.atspi.Event.Window; member=Activate")) << contents(events);
    const auto items = client.children(app, frame);
    ASSERT_EQ(int(items.size()), engine->itemCount()) << client.call(app, frame, "org.a11y.atspi.Accessible.GetChildren");
    std::vector<std::string> names;
    for (const auto& item : items) names.push_back(client.name(app, item.second));
    EXPECT_EQ(names, std::vector<std::string>({engine->spokenName(0), engine->spokenName(1), "Browse", "Exit"}));
    EXPECT_EQ(names[0], "HotSpot 1: Leave the men\xC3\xBC");
    EXPECT_NE(client.call(app, items[0].second, "org.a11y.atspi.Accessible.GetRole").find("88"), std::string::npos)
        << "a hotspot is a link";
    EXPECT_NE(client.call(app, items[3].second, "org.a11y.atspi.Accessible.GetRole").find("43"), std::string::npos)
        << "Exit is a push button";
    const std::string extents = client.call(app, items[1].second, "org.a11y.atspi.Component.GetExtents", "1");
    EXPECT_NE(extents.find("(300, 200, 60, 60)"), std::string::npos) << extents;

    // Tab, twice: the state and the events follow the keyboard.
    for (int tab = 0; tab < 2; ++tab) {
        key(*window, "Tab");
        const auto focusedName = [&] {
            for (const auto& item : items)
                if (client.focused(app, item.second)) return client.name(app, item.second);
            return std::string();
        };
        poll([&] { return focusedName() == names[size_t(tab)] ? "reached" : ""; });
        EXPECT_EQ(focusedName(), names[size_t(tab)]) << "after Tab " << tab + 1;
        EXPECT_TRUE(announced(items[size_t(tab)].second + "; interface=org.a11y.atspi.Event.Object; member=StateChanged\n"
                              "   string \"focused\"\n   int32 1"))
            << "no focused event from item " << tab << ":\n" << contents(events);
    }

    // The Exit button's action ends the menu, as a click on it does.
    EXPECT_NE(client.call(app, items[3].second, "org.a11y.atspi.Action.GetName", "0").find("'click'"), std::string::npos);
    EXPECT_NE(client.call(app, items[3].second, "org.a11y.atspi.Action.DoAction", "0").find("true"), std::string::npos);
    EXPECT_EQ(player.waitForExit(10000), 0);
}

// An accessibility bus that takes the connection and never answers: the menu shows, and ends
// at once when asked, without waiting for the bus.
TEST(PlayerAccessibility, busThatNeverAnswersDelaysNothing) {
    menutest::StagedFolder staged;
    const std::string title = uniqueTitle("Silent Bus");
    menutest::exampleMenu(staged, title);
    staged.writeProject();
    const std::string socketPath = staged.dir.file("bus");
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);

    ChildProcess player({PLAYER_EXE}, staged.dir.path(), {"AT_SPI_BUS_ADDRESS=unix:path=" + socketPath});
    XServer x;
    const auto window = x.waitFor(title, player, 20000);
    ASSERT_TRUE(window);
    // The player connects once its first frame is out, then waits for an answer.
    pollfd incoming{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&incoming, 1, 20000), 1) << "the player never tried the bus";
    const int connection = accept(listener, nullptr, nullptr);
    key(*window, "Escape");
    EXPECT_EQ(player.waitForExit(10000), 0) << "the player waited for the bus";
    close(connection);
    close(listener);
}
