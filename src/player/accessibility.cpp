// The menu on the accessibility bus (see accessibility.h). Object paths: the application at
// ROOT, the frame at ROOT/frame, item n at ROOT/item<n>. Every call is answered from the last
// AccessibleMenu the player's thread handed over, under a lock; every libdbus call is made on
// the bridge's own thread, which the player's thread wakes through a pipe when the focus moves.

#include "player/accessibility.h"

#include <dbus/dbus.h>
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "project/project_text.h"

namespace torvana::player {

namespace {

// libdbus-1's functions, looked up in the library at run time; the player is not linked to it.
#define TORVANA_DBUS_FUNCTIONS(X)                                                                         \
    X(dbus_error_init) X(dbus_error_free) X(dbus_bus_register) X(dbus_bus_get_unique_name)                  \
    X(dbus_connection_open_private) X(dbus_connection_close) X(dbus_connection_unref)                       \
    X(dbus_connection_add_filter) X(dbus_connection_send) X(dbus_connection_flush)                          \
    X(dbus_connection_read_write) X(dbus_connection_dispatch) X(dbus_connection_get_dispatch_status)        \
    X(dbus_connection_get_unix_fd) X(dbus_connection_send_with_reply_and_block)                             \
    X(dbus_connection_get_is_connected) X(dbus_connection_set_exit_on_disconnect)                           \
    X(dbus_message_new_method_call) X(dbus_message_new_method_return) X(dbus_message_new_signal)            \
    X(dbus_message_new_error) X(dbus_message_unref) X(dbus_message_get_type) X(dbus_message_get_path)       \
    X(dbus_message_get_interface) X(dbus_message_get_member) X(dbus_message_iter_init)                      \
    X(dbus_message_iter_init_append) X(dbus_message_iter_get_arg_type) X(dbus_message_iter_get_basic)       \
    X(dbus_message_iter_next) X(dbus_message_iter_append_basic) X(dbus_message_iter_open_container)        \
    X(dbus_message_iter_close_container) X(dbus_message_iter_recurse)

struct DBusLibrary {
#define TORVANA_DECLARE(name) decltype(&::name) name = nullptr;
    TORVANA_DBUS_FUNCTIONS(TORVANA_DECLARE)
#undef TORVANA_DECLARE

    // The library as SDL or the desktop already loaded it, else loaded now; false without it.
    bool load() {
        void* lib = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return false;
        bool all = true;
#define TORVANA_LOOK_UP(name) all = all && (name = reinterpret_cast<decltype(name)>(dlsym(lib, #name))) != nullptr;
        TORVANA_DBUS_FUNCTIONS(TORVANA_LOOK_UP)
#undef TORVANA_LOOK_UP
        return all;
    }
};

constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";
constexpr const char* kNull = "/org/a11y/atspi/null";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";
constexpr const char* kApplication = "org.a11y.atspi.Application";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr int kCallTimeoutMs = 3000;

// AT-SPI's numbers for the roles and states used here.
enum Role : uint32_t { RoleFrame = 23, RolePushButton = 43, RoleApplication = 75, RoleLink = 88 };
enum State : uint32_t { Active = 1, Enabled = 8, Focusable = 11, Focused = 12, Sensitive = 24, Showing = 25, Visible = 30 };

}  // namespace

struct AccessibilityBridge::Impl {
    std::function<void(int)> activate;
    DBusLibrary d;
    DBusConnection* connection = nullptr;
    std::string uniqueName;
    std::string desktopName = "org.a11y.atspi.Registry", desktopPath = kRoot;  // the registry's root, our parent
    std::thread thread;
    std::atomic<bool> stopping{false};
    int wake[2] = {-1, -1};

    std::mutex mutex;  // guards the three below
    AccessibleMenu menu;
    int announced = -1;            // the focused item the bus was last told of
    bool announcedActive = false;  // whether it was told the window has the focus

    std::atomic<bool> serving{false};  // connected and answering; ending it is then quick

    ~Impl() {
        for (int fd : wake)
            if (fd >= 0) close(fd);
    }

    // ---- The connection, on the bridge's thread.

    void run() {
        if (!d.load()) return;
        if (!connect()) {
            if (connection) {
                d.dbus_connection_close(connection);
                d.dbus_connection_unref(connection);
            }
            return;
        }
        // Nothing is announced yet: a window that has the focus already is activated at once,
        // so a screen reader says the menu's title as it appears.
        serving = true;
        const int fd = [&] {
            int f = -1;
            return d.dbus_connection_get_unix_fd(connection, &f) ? f : -1;
        }();
        // Whatever arrived is answered, a focus change announced, everything sent; then the
        // thread sleeps until the bus or the player's thread has something.
        while (!stopping && fd >= 0 && d.dbus_connection_get_is_connected(connection)) {
            d.dbus_connection_read_write(connection, 0);
            while (d.dbus_connection_dispatch(connection) == DBUS_DISPATCH_DATA_REMAINS) {
            }
            announceFocus();
            d.dbus_connection_flush(connection);
            if (d.dbus_connection_get_dispatch_status(connection) == DBUS_DISPATCH_DATA_REMAINS) continue;
            pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
            char drained[64];
            if ((fds[1].revents & POLLIN) && read(wake[0], drained, sizeof drained) < 0) {
                // Nothing to read after all: a wake-up is a wake-up.
            }
        }
        d.dbus_connection_close(connection);
        d.dbus_connection_unref(connection);
    }

    // The accessibility bus's address: named in the environment, or asked of the session bus.
    std::string busAddress() {
        if (const char* a = std::getenv("AT_SPI_BUS_ADDRESS"); a && *a) return a;
        const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!session || !*session) return {};
        DBusConnection* bus = open(session);
        if (!bus) return {};
        std::string address;
        DBusMessage* call = d.dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
        if (DBusMessage* reply = call ? callAndWait(bus, call) : nullptr) {
            DBusMessageIter it;
            const char* text = nullptr;
            if (d.dbus_message_iter_init(reply, &it) && d.dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_STRING) {
                d.dbus_message_iter_get_basic(&it, &text);
                address = text ? text : "";
            }
            d.dbus_message_unref(reply);
        }
        d.dbus_connection_close(bus);
        d.dbus_connection_unref(bus);
        return address;
    }

    DBusConnection* open(const std::string& address) {
        DBusError error;
        d.dbus_error_init(&error);
        DBusConnection* c = d.dbus_connection_open_private(address.c_str(), &error);
        if (c && !d.dbus_bus_register(c, &error)) {
            d.dbus_connection_close(c);
            d.dbus_connection_unref(c);
            c = nullptr;
        }
        d.dbus_error_free(&error);
        if (c) d.dbus_connection_set_exit_on_disconnect(c, false);
        return c;
    }

    // Sends `call` (taking it) and returns the reply, null for an error or no answer in time.
    DBusMessage* callAndWait(DBusConnection* c, DBusMessage* call) {
        DBusError error;
        d.dbus_error_init(&error);
        DBusMessage* reply = d.dbus_connection_send_with_reply_and_block(c, call, kCallTimeoutMs, &error);
        d.dbus_error_free(&error);
        d.dbus_message_unref(call);
        return reply;
    }

    // Connects to the accessibility bus and tells the registry the application is there.
    bool connect() {
        const std::string address = busAddress();
        if (address.empty() || stopping) return false;
        connection = open(address);
        if (!connection) return false;
        uniqueName = d.dbus_bus_get_unique_name(connection);
        d.dbus_connection_add_filter(connection, &Impl::filter, this, nullptr);
        DBusMessage* embed = d.dbus_message_new_method_call("org.a11y.atspi.Registry", kRoot, "org.a11y.atspi.Socket", "Embed");
        if (!embed) return false;
        DBusMessageIter it;
        d.dbus_message_iter_init_append(embed, &it);
        reference(&it, kRoot);
        if (DBusMessage* reply = callAndWait(connection, embed)) {
            DBusMessageIter r, s;
            if (d.dbus_message_iter_init(reply, &r) && d.dbus_message_iter_get_arg_type(&r) == DBUS_TYPE_STRUCT) {
                d.dbus_message_iter_recurse(&r, &s);
                desktopName = text(&s);
                d.dbus_message_iter_next(&s);
                desktopPath = text(&s);
            }
            d.dbus_message_unref(reply);
        }
        return true;
    }

    std::string text(DBusMessageIter* it) {
        const int type = d.dbus_message_iter_get_arg_type(it);
        if (type != DBUS_TYPE_STRING && type != DBUS_TYPE_OBJECT_PATH) return {};
        const char* value = nullptr;
        d.dbus_message_iter_get_basic(it, &value);
        return value ? value : "";
    }

    // As the window gains the keyboard focus it is activated, then the item the keyboard is on
    // is "focused"; "focused" leaves an item before the next one has it, and before the window
    // is deactivated. A screen reader says the window's title, then the item's name.
    void announceFocus() {
        int before, now;
        bool wasActive, active;
        {
            std::lock_guard lock(mutex);
            before = announced;
            now = announced = menu.focusedItem();
            wasActive = announcedActive;
            active = announcedActive = menu.windowFocused;
        }
        if (before == now && wasActive == active) return;
        const std::string frame = pathOf(-1);
        if (active && !wasActive) {
            event(frame, "Window", "Activate", "", 0);
            event(frame, "Object", "StateChanged", "active", 1);
        }
        if (before >= 0 && before != now) event(itemPath(before), "Object", "StateChanged", "focused", 0);
        if (now >= 0 && before != now) event(itemPath(now), "Object", "StateChanged", "focused", 1);
        if (wasActive && !active) {
            event(frame, "Object", "StateChanged", "active", 0);
            event(frame, "Window", "Deactivate", "", 0);
        }
    }

    // An AT-SPI event: org.a11y.atspi.Event.<kind>.<member> from the object at `path`.
    void event(const std::string& path, const char* kind, const char* member, const char* detail, int32_t detail1) {
        const std::string iface = std::string("org.a11y.atspi.Event.") + kind;
        DBusMessage* signal = d.dbus_message_new_signal(path.c_str(), iface.c_str(), member);
        if (!signal) return;
        DBusMessageIter it, v, dict;
        d.dbus_message_iter_init_append(signal, &it);
        const int32_t detail2 = 0;
        d.dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &detail);
        d.dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &detail1);
        d.dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &detail2);
        d.dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "i", &v);
        d.dbus_message_iter_append_basic(&v, DBUS_TYPE_INT32, &detail2);
        d.dbus_message_iter_close_container(&it, &v);
        d.dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &dict);
        d.dbus_message_iter_close_container(&it, &dict);
        d.dbus_connection_send(connection, signal, nullptr);
        d.dbus_message_unref(signal);
    }

    // ---- The objects.

    static std::string itemPath(int item) { return std::string(kRoot) + "/item" + std::to_string(item); }

    // Which object a path names: -2 the application, -1 the frame, n item n; nullopt for none.
    std::optional<int> object(const char* path, const AccessibleMenu& m) const {
        if (!path) return std::nullopt;
        const std::string p = path;
        if (p == kRoot) return -2;
        if (p == std::string(kRoot) + "/frame") return -1;
        const std::string prefix = std::string(kRoot) + "/item";
        if (p.rfind(prefix, 0) != 0 || p.size() == prefix.size() || p.size() > prefix.size() + 3) return std::nullopt;
        int n = 0;
        for (size_t i = prefix.size(); i < p.size(); ++i) {
            if (p[i] < '0' || p[i] > '9') return std::nullopt;
            n = n * 10 + (p[i] - '0');
        }
        if (n >= int(m.items.size()) || itemPath(n) != p) return std::nullopt;
        return n;
    }

    static std::string pathOf(int object) {
        return object == -2 ? kRoot : object == -1 ? std::string(kRoot) + "/frame" : itemPath(object);
    }

    void reference(DBusMessageIter* it, const std::string& path, const std::string& name = {}) {
        DBusMessageIter s;
        const std::string& bus = name.empty() ? uniqueName : name;
        const char* n = bus.c_str();
        const char* p = path.c_str();
        d.dbus_message_iter_open_container(it, DBUS_TYPE_STRUCT, nullptr, &s);
        d.dbus_message_iter_append_basic(&s, DBUS_TYPE_STRING, &n);
        d.dbus_message_iter_append_basic(&s, DBUS_TYPE_OBJECT_PATH, &p);
        d.dbus_message_iter_close_container(it, &s);
    }

    // libdbus ends the program on a string that is not UTF-8: the menu's text (the title, a
    // label) is read as a project file's field is, which always gives UTF-8.
    void appendString(DBusMessageIter* it, const std::string& value) {
        const std::string text = projectText(value);
        const char* v = text.c_str();
        d.dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &v);
    }
    void appendInt(DBusMessageIter* it, int32_t value) { d.dbus_message_iter_append_basic(it, DBUS_TYPE_INT32, &value); }
    void appendUint(DBusMessageIter* it, uint32_t value) { d.dbus_message_iter_append_basic(it, DBUS_TYPE_UINT32, &value); }

    std::vector<int> children(int object, const AccessibleMenu& m) const {
        std::vector<int> out;
        if (object == -2) out.push_back(-1);
        if (object == -1)
            for (int i = 0; i < int(m.items.size()); ++i) out.push_back(i);
        return out;
    }

    std::string name(int object, const AccessibleMenu& m) const {
        return object == -2 ? "Autorun" : object == -1 ? m.title : m.items[size_t(object)].name;
    }

    void parent(DBusMessageIter* it, int object) {
        if (object == -2) reference(it, desktopPath, desktopName);
        else reference(it, pathOf(object == -1 ? -2 : -1));
    }

    // Appends a property's value as a variant; false for a property this object does not have.
    bool property(DBusMessageIter* it, int object, const std::string& iface, const std::string& prop,
                  const AccessibleMenu& m) {
        const auto variant = [&](const char* signature, auto&& append) {
            DBusMessageIter v;
            d.dbus_message_iter_open_container(it, DBUS_TYPE_VARIANT, signature, &v);
            append(&v);
            d.dbus_message_iter_close_container(it, &v);
            return true;
        };
        const auto str = [&](const std::string& s) { return variant("s", [&](DBusMessageIter* v) { appendString(v, s); }); };
        if (iface == kAccessible) {
            if (prop == "Name") return str(name(object, m));
            if (prop == "Description" || prop == "AccessibleId") return str("");
            if (prop == "Locale") return str("");
            if (prop == "Parent") return variant("(so)", [&](DBusMessageIter* v) { parent(v, object); });
            if (prop == "ChildCount")
                return variant("i", [&](DBusMessageIter* v) { appendInt(v, int32_t(children(object, m).size())); });
        } else if (iface == kApplication && object == -2) {
            if (prop == "ToolkitName") return str("SDL");
            if (prop == "Version") return str("");
            if (prop == "AtspiVersion") return str("2.1");
            if (prop == "Id") return variant("i", [&](DBusMessageIter* v) { appendInt(v, 0); });
        } else if (iface == kAction && object >= 0 && prop == "NActions") {
            return variant("i", [&](DBusMessageIter* v) { appendInt(v, 1); });
        }
        return false;
    }

    // The properties an object has on an interface, for GetAll.
    static const char* const* propertyNames(const std::string& iface, int object) {
        static const char* const accessible[] = {"Name", "Description", "Parent", "ChildCount", "Locale", "AccessibleId", nullptr};
        static const char* const application[] = {"ToolkitName", "Version", "AtspiVersion", "Id", nullptr};
        static const char* const action[] = {"NActions", nullptr};
        static const char* const none[] = {nullptr};
        if (iface == kAccessible) return accessible;
        if (iface == kApplication && object == -2) return application;
        return iface == kAction && object >= 0 ? action : none;
    }

    std::vector<uint32_t> states(int object, const AccessibleMenu& m) const {
        if (object == -2) return {};
        std::vector<uint32_t> s{Enabled, Sensitive, Showing, Visible};
        if (object == -1 && m.windowFocused) s.push_back(Active);
        if (object >= 0) s.push_back(Focusable);
        if (object >= 0 && object == m.focusedItem()) s.push_back(Focused);
        return s;
    }

    torvana::HotspotRect extents(int object, uint32_t coordinates, const AccessibleMenu& m) const {
        torvana::HotspotRect r = object >= 0 ? m.items[size_t(object)].rect
                                             : torvana::HotspotRect{0, 0, m.window.width, m.window.height};
        if (coordinates == 0) {  // the screen's
            r.x += m.window.x;
            r.y += m.window.y;
        }
        return r;
    }

    // Answers a method call on one of the objects; false when it is none of theirs.
    bool answer(DBusMessage* call, DBusMessage* reply, int object, const AccessibleMenu& m) {
        const std::string iface = d.dbus_message_get_interface(call) ? d.dbus_message_get_interface(call) : "";
        const std::string member = d.dbus_message_get_member(call) ? d.dbus_message_get_member(call) : "";
        DBusMessageIter in, out, c;
        const bool hasArgs = d.dbus_message_iter_init(call, &in);
        d.dbus_message_iter_init_append(reply, &out);
        const auto stringArg = [&](int index) {
            DBusMessageIter it = in;
            for (int i = 0; i < index; ++i) d.dbus_message_iter_next(&it);
            return hasArgs ? text(&it) : std::string();
        };
        const auto numberArg = [&]() -> int64_t {
            if (!hasArgs) return -1;
            const int type = d.dbus_message_iter_get_arg_type(&in);
            if (type == DBUS_TYPE_INT32) {
                int32_t v = 0;
                d.dbus_message_iter_get_basic(&in, &v);
                return v;
            }
            if (type == DBUS_TYPE_UINT32) {
                uint32_t v = 0;
                d.dbus_message_iter_get_basic(&in, &v);
                return v;
            }
            return -1;
        };

        if (iface == kProperties) {
            if (member == "Get") return property(&out, object, stringArg(0), stringArg(1), m);
            if (member == "Set") return true;  // the registry numbers the application; nothing to keep
            if (member == "GetAll") {
                const std::string wanted = stringArg(0);
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "{sv}", &c);
                for (const char* const* p = propertyNames(wanted, object); *p; ++p) {
                    DBusMessageIter entry;
                    d.dbus_message_iter_open_container(&c, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
                    appendString(&entry, *p);
                    property(&entry, object, wanted, *p, m);
                    d.dbus_message_iter_close_container(&c, &entry);
                }
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            return false;
        }
        if (iface == kAccessible) {
            const std::vector<int> kids = children(object, m);
            if (member == "GetChildAtIndex") {
                const int64_t i = numberArg();
                if (i >= 0 && i < int64_t(kids.size())) reference(&out, pathOf(kids[size_t(i)]));
                else reference(&out, kNull);
                return true;
            }
            if (member == "GetChildren") {
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "(so)", &c);
                for (int k : kids) reference(&c, pathOf(k));
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            if (member == "GetIndexInParent") {
                appendInt(&out, object >= 0 ? object : object == -1 ? 0 : -1);
                return true;
            }
            if (member == "GetRole" || member == "GetRoleName" || member == "GetLocalizedRoleName") {
                const Role role = object == -2                   ? RoleApplication
                                  : object == -1                 ? RoleFrame
                                  : m.items[size_t(object)].button ? RolePushButton
                                                                   : RoleLink;
                if (member == "GetRole") appendUint(&out, role);
                else appendString(&out, role == RoleApplication ? "application" : role == RoleFrame ? "frame"
                                            : role == RolePushButton ? "push button" : "link");
                return true;
            }
            if (member == "GetState") {
                uint32_t bits[2] = {0, 0};
                for (uint32_t s : states(object, m)) bits[s / 32] |= 1u << (s % 32);
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "u", &c);
                for (uint32_t b : bits) appendUint(&c, b);
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            if (member == "GetApplication") {
                reference(&out, kRoot);
                return true;
            }
            if (member == "GetAttributes" || member == "GetRelationSet") {
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, member == "GetAttributes" ? "{ss}" : "(ua(so))", &c);
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            if (member == "GetInterfaces") {
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "s", &c);
                appendString(&c, kAccessible);
                if (object == -2) appendString(&c, kApplication);
                if (object != -2) appendString(&c, kComponent);
                if (object >= 0) appendString(&c, kAction);
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            return false;
        }
        if (iface == kComponent && object != -2) {
            const auto r = extents(object, uint32_t(std::max<int64_t>(0, numberArg())), m);
            if (member == "GetExtents") {
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_STRUCT, nullptr, &c);
                for (int v : {r.x, r.y, r.width, r.height}) appendInt(&c, v);
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            if (member == "GetPosition" || member == "GetSize") {
                appendInt(&out, member == "GetPosition" ? r.x : r.width);
                appendInt(&out, member == "GetPosition" ? r.y : r.height);
                return true;
            }
            return false;
        }
        if (iface == kAction && object >= 0) {
            const int64_t index = numberArg();
            if (member == "GetActions") {
                d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "(sss)", &c);
                DBusMessageIter s;
                d.dbus_message_iter_open_container(&c, DBUS_TYPE_STRUCT, nullptr, &s);
                for (const char* v : {"click", "click", ""}) appendString(&s, v);
                d.dbus_message_iter_close_container(&c, &s);
                d.dbus_message_iter_close_container(&out, &c);
                return true;
            }
            if (member == "GetName" || member == "GetLocalizedName" || member == "GetDescription" || member == "GetKeyBinding") {
                appendString(&out, index == 0 && (member == "GetName" || member == "GetLocalizedName") ? "click" : "");
                return true;
            }
            if (member == "DoAction") {
                const dbus_bool_t done = index == 0;
                if (done) activate(object);
                d.dbus_message_iter_append_basic(&out, DBUS_TYPE_BOOLEAN, &done);
                return true;
            }
        }
        return false;
    }

    // A client's question for every object at once (libatspi asks it first): an empty answer,
    // so it asks each object, as it does of any application without that list.
    DBusHandlerResult emptyCache(DBusMessage* call) {
        const char* member = d.dbus_message_get_member(call);
        if (!member || std::strcmp(member, "GetItems") != 0) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        DBusMessage* reply = d.dbus_message_new_method_return(call);
        if (!reply) return DBUS_HANDLER_RESULT_NEED_MEMORY;
        DBusMessageIter out, items;
        d.dbus_message_iter_init_append(reply, &out);
        d.dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "((so)(so)(so)iiassusau)", &items);
        d.dbus_message_iter_close_container(&out, &items);
        d.dbus_connection_send(connection, reply, nullptr);
        d.dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    static DBusHandlerResult filter(DBusConnection*, DBusMessage* message, void* self) {
        return static_cast<Impl*>(self)->handle(message);
    }

    DBusHandlerResult handle(DBusMessage* call) {
        if (d.dbus_message_get_type(call) != DBUS_MESSAGE_TYPE_METHOD_CALL) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        std::unique_lock lock(mutex);
        const AccessibleMenu m = menu;
        lock.unlock();
        const char* path = d.dbus_message_get_path(call);
        if (path && std::strcmp(path, "/org/a11y/atspi/cache") == 0) return emptyCache(call);
        const std::optional<int> object = this->object(path, m);
        if (!object) {
            if (!path || std::strncmp(path, kRoot, std::strlen(kRoot)) != 0) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        }
        DBusMessage* reply = d.dbus_message_new_method_return(call);
        if (!reply) return DBUS_HANDLER_RESULT_NEED_MEMORY;
        if (!object || !answer(call, reply, *object, m)) {
            d.dbus_message_unref(reply);
            reply = d.dbus_message_new_error(call, object ? DBUS_ERROR_UNKNOWN_METHOD : DBUS_ERROR_UNKNOWN_OBJECT,
                                             "Not offered by this object");
            if (!reply) return DBUS_HANDLER_RESULT_NEED_MEMORY;
        }
        d.dbus_connection_send(connection, reply, nullptr);
        d.dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }
};

AccessibilityBridge::AccessibilityBridge(std::function<void(int)> activate) : impl_(std::make_shared<Impl>()) {
    impl_->activate = std::move(activate);
}

AccessibilityBridge::~AccessibilityBridge() {
    Impl& i = *impl_;
    if (!i.thread.joinable()) return;
    i.stopping = true;
    if (write(i.wake[1], "q", 1) < 0) {
        // The pipe is full: the thread has a wake-up waiting already.
    }
    // A bus that does not answer leaves the thread waiting for a reply (up to libdbus's 25 s);
    // the menu does not wait for it to end. The thread keeps what it uses alive.
    if (i.serving) i.thread.join();
    else i.thread.detach();
}

void AccessibilityBridge::start(AccessibleMenu menu) {
    Impl& i = *impl_;
    if (i.thread.joinable()) return;
    const auto named = [](const char* var) { return std::getenv(var) && *std::getenv(var); };
    if (!named("AT_SPI_BUS_ADDRESS") && !named("DBUS_SESSION_BUS_ADDRESS")) return;
    if (pipe2(i.wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
    i.menu = std::move(menu);
    i.thread = std::thread([impl = impl_] { impl->run(); });
}

bool AccessibilityBridge::started() const { return impl_->thread.joinable(); }

void AccessibilityBridge::update(AccessibleMenu menu) {
    Impl& i = *impl_;
    if (!i.thread.joinable()) return;
    bool moved;
    {
        std::lock_guard lock(i.mutex);
        if (menu == i.menu) return;
        moved = menu.focusedItem() != i.menu.focusedItem() || menu.windowFocused != i.menu.windowFocused;
        i.menu = std::move(menu);
    }
    if (moved && write(i.wake[1], "f", 1) < 0) {
        // The pipe is full: the thread has a wake-up waiting already.
    }
}

}  // namespace torvana::player
