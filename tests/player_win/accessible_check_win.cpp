// What a screen reader learns of a menu window, asked as one does, through oleacc from another
// process. `accessible_check TITLE OUT` finds the menu window titled TITLE and writes to OUT
// (UTF-8) the client area's name, the item that has the focus and every item with its role, one
// a line:
//
//   window: Menu 123
//   focus: HotSpot 1: Install the program
//   link: HotSpot 1: Install the program
//   button: Exit
//
// `accessible_check TITLE OUT follow` instead listens, as long as the window lives, for the
// focus events it raises for its items and adds each item's name to OUT as a line, after a
// first line "listening".
//
// `accessible_check TITLE OUT do N` carries out item N's default action, as a screen reader's
// user asks for it, and writes nothing.
//
// Exit code 0; 2 when no such window, 3 when it offers no accessible object, 4 when OUT cannot
// be written, 5 when the default action fails.

#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    if (!text || !*text) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(size_t(n - 1));
    return out;
}

VARIANT child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string nameOf(IAccessible* object, LONG id) {
    BSTR name = nullptr;
    if (FAILED(object->get_accName(child(id), &name))) return "(no name)";
    std::string out = utf8(name);
    SysFreeString(name);
    return out;
}

std::string roleOf(IAccessible* object, LONG id) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(object->get_accRole(child(id), &role)) || role.vt != VT_I4) return "(no role)";
    switch (role.lVal) {
    case ROLE_SYSTEM_LINK: return "link";
    case ROLE_SYSTEM_PUSHBUTTON: return "button";
    case ROLE_SYSTEM_CLIENT: return "client";
    default: return "role " + std::to_string(role.lVal);
    }
}

void append(const wchar_t* path, const std::string& line) {
    if (FILE* file = _wfopen(path, L"ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
}

const wchar_t* followed = nullptr;  // OUT of the follow mode

void CALLBACK onFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG id, DWORD, DWORD) {
    IAccessible* source = nullptr;
    VARIANT item;
    VariantInit(&item);
    if (object != OBJID_CLIENT || id == CHILDID_SELF ||
        FAILED(AccessibleObjectFromEvent(window, DWORD(object), DWORD(id), &source, &item)) || !source)
        return;
    append(followed, nameOf(source, item.vt == VT_I4 ? item.lVal : CHILDID_SELF) + "\n");
    source->Release();
}

int follow(HWND window, const wchar_t* out) {
    followed = out;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (!SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, onFocus, process, 0, WINEVENT_OUTOFCONTEXT))
        return 3;
    append(out, "listening\n");
    SetTimer(nullptr, 0, 200, nullptr);
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 3 ? argv[3] : L"";
    if (!(argc == 3 || (argc == 4 && mode == L"follow") || (argc == 5 && mode == L"do"))) return 1;
    HWND window = nullptr;
    for (int waited = 0; !window && waited < 20000; waited += 100) {
        window = FindWindowW(L"TorvanaMenu", argv[1]);
        if (!window) Sleep(100);
    }
    if (!window) return 2;
    CoInitialize(nullptr);
    if (mode == L"follow") return follow(window, argv[2]);
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return 3;

    if (mode == L"do") {
        const HRESULT done = object->accDoDefaultAction(child(_wtoi(argv[4])));
        object->Release();
        return SUCCEEDED(done) ? 0 : 5;
    }
    std::string out = "window: " + nameOf(object, CHILDID_SELF) + "\n";
    VARIANT focus;
    VariantInit(&focus);
    const HRESULT asked = object->get_accFocus(&focus);
    out += "focus: ";
    if (FAILED(asked) || focus.vt == VT_EMPTY) {
        out += "(none)";
    } else if (focus.vt == VT_I4) {
        out += focus.lVal == CHILDID_SELF ? "(window)" : nameOf(object, focus.lVal);
    } else {
        out += "(vt " + std::to_string(focus.vt) + ")";
    }
    out += "\n";
    long count = 0;
    object->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) out += roleOf(object, id) + ": " + nameOf(object, id) + "\n";
    object->Release();

    FILE* file = _wfopen(argv[2], L"wb");
    if (!file) return 4;
    std::fwrite(out.data(), 1, out.size(), file);
    std::fclose(file);
    return 0;
}
