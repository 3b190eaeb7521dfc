// A screen reader's questions to the menu window titled TITLE, through oleacc from a process of
// its own. Written to OUT (UTF-8), a line each:
//   accessible_check TITLE OUT         "window: " its name, "focus: " the focused item's name,
//                                      then "<role>: <name>" of every item
//   accessible_check TITLE OUT follow  "listening", then the name of each item a focus event
//                                      names, for as long as the window lives
//   accessible_check TITLE - do N      carries out item N's default action
// Exit code 0; 1 bad arguments, 2 no such window, 3 no accessible object or hook, 4 OUT not
// written, 5 the default action failed.

#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <string>

namespace {

VARIANT child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string nameOf(IAccessible* object, LONG id) {
    BSTR name = nullptr;
    if (FAILED(object->get_accName(child(id), &name)) || !name) return "(no name)";
    std::string out(size_t(WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, out.data(), int(out.size()), nullptr, nullptr);
    SysFreeString(name);
    return out.substr(0, out.size() - 1);
}

std::string roleOf(IAccessible* object, LONG id) {
    VARIANT role;
    VariantInit(&role);
    object->get_accRole(child(id), &role);
    return role.vt != VT_I4 ? "(no role)"
           : role.lVal == ROLE_SYSTEM_LINK ? "link"
           : role.lVal == ROLE_SYSTEM_PUSHBUTTON ? "button"
                                                 : "role " + std::to_string(role.lVal);
}

bool append(const wchar_t* path, const std::string& text) {
    FILE* file = _wfopen(path, L"ab");
    if (!file) return false;
    std::fwrite(text.data(), 1, text.size(), file);
    return std::fclose(file) == 0;
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
    SetTimer(nullptr, 0, 200, nullptr);  // wakes the loop to see the window gone
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
    if (mode == L"do") return SUCCEEDED(object->accDoDefaultAction(child(_wtoi(argv[4])))) ? 0 : 5;

    VARIANT focus;
    VariantInit(&focus);
    object->get_accFocus(&focus);
    std::string out = "window: " + nameOf(object, CHILDID_SELF) + "\nfocus: " +
                      (focus.vt != VT_I4 ? "(none)" : focus.lVal == CHILDID_SELF ? "(window)" : nameOf(object, focus.lVal)) +
                      "\n";
    long count = 0;
    object->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) out += roleOf(object, id) + ": " + nameOf(object, id) + "\n";
    DeleteFileW(argv[2]);
    return append(argv[2], out) ? 0 : 4;
}
