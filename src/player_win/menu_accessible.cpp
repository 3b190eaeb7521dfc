#include "player_win/menu_accessible.h"

#include <string>

#include "player_win/late_dll.h"
#include "player_win/win_text.h"

namespace torvana::winplayer {

namespace {

// A text for the client, or the failure it is.
HRESULT answer(const std::wstring& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = late::sysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

// "Nothing to say": the answer for an empty text, a missing value or focus.
HRESULT nothing(BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    return S_FALSE;
}

void setI4(VARIANT* v, LONG value) {
    v->vt = VT_I4;
    v->lVal = value;
}

// Child ids count from 1; CHILDID_SELF (0) is the client area.
LONG childId(int item) { return LONG(item + 1); }

}  // namespace

HRESULT MenuAccessible::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IDispatch)) ||
        IsEqualIID(riid, __uuidof(IAccessible))) {
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG MenuAccessible::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

ULONG MenuAccessible::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
}

HRESULT MenuAccessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}
HRESULT MenuAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT MenuAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT MenuAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

bool MenuAccessible::itemOf(const VARIANT& child, int& item) const {
    if (!engine_ || child.vt != VT_I4) return false;
    if (child.lVal == CHILDID_SELF) {
        item = -1;
        return true;
    }
    item = int(child.lVal) - 1;
    return item >= 0 && item < engine_->itemCount();
}

HRESULT MenuAccessible::get_accParent(IDispatch** parent) {
    if (!parent) return E_INVALIDARG;
    *parent = nullptr;
    if (!engine_) return CO_E_OBJNOTCONNECTED;
    // The window around the client area, as Windows describes it.
    return late::accessibleObjectFromWindow(hwnd_, DWORD(OBJID_WINDOW), __uuidof(IDispatch),
                                            reinterpret_cast<void**>(parent));
}

HRESULT MenuAccessible::get_accChildCount(long* count) {
    if (!count) return E_INVALIDARG;
    if (!engine_) return CO_E_OBJNOTCONNECTED;
    *count = engine_->itemCount();
    return S_OK;
}

// The items are simple elements, described through this object.
HRESULT MenuAccessible::get_accChild(VARIANT child, IDispatch** dispatch) {
    if (!dispatch) return E_INVALIDARG;
    *dispatch = nullptr;
    int item;
    return itemOf(child, item) ? S_FALSE : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accName(VARIANT child, BSTR* name) {
    int item;
    if (!name || !itemOf(child, item)) return E_INVALIDARG;
    if (item >= 0) return answer(wide(engine_->spokenName(item)), name);
    // The client area is named as its window: the disc's title.
    std::wstring title(size_t(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    title.resize(size_t(GetWindowTextW(hwnd_, title.data(), int(title.size()))));
    return answer(title, name);
}

HRESULT MenuAccessible::get_accValue(VARIANT child, BSTR* value) {
    int item;
    return itemOf(child, item) ? nothing(value) : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accDescription(VARIANT child, BSTR* description) {
    int item;
    return itemOf(child, item) ? nothing(description) : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accRole(VARIANT child, VARIANT* role) {
    int item;
    if (!role || !itemOf(child, item)) return E_INVALIDARG;
    // A hotspot opens what it names, as a link does (the web page's are links too).
    const int hotspots = engine_->input().spotCount();
    setI4(role, item < 0 ? ROLE_SYSTEM_CLIENT : item < hotspots ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_PUSHBUTTON);
    return S_OK;
}

HRESULT MenuAccessible::get_accState(VARIANT child, VARIANT* state) {
    int item;
    if (!state || !itemOf(child, item)) return E_INVALIDARG;
    const bool focused = GetFocus() == hwnd_;
    LONG bits = STATE_SYSTEM_FOCUSABLE;
    if (focused && engine_->focusItem() == item) bits |= STATE_SYSTEM_FOCUSED;
    if (item >= 0 && item < engine_->input().spotCount()) {
        bits |= STATE_SYSTEM_LINKED;
        if (engine_->input().current() == item) bits |= STATE_SYSTEM_HOTTRACKED;
    }
    setI4(state, bits);
    return S_OK;
}

HRESULT MenuAccessible::get_accHelp(VARIANT child, BSTR* help) {
    int item;
    return itemOf(child, item) ? nothing(help) : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    if (topic) *topic = -1;
    int item;
    return itemOf(child, item) ? nothing(file) : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    int item;
    return itemOf(child, item) ? nothing(shortcut) : E_INVALIDARG;
}

HRESULT MenuAccessible::get_accFocus(VARIANT* child) {
    if (!child) return E_INVALIDARG;
    if (!engine_) return CO_E_OBJNOTCONNECTED;
    if (GetFocus() != hwnd_) {
        child->vt = VT_EMPTY;
        return S_FALSE;
    }
    setI4(child, childId(engine_->focusItem()));
    return S_OK;
}

HRESULT MenuAccessible::get_accSelection(VARIANT* children) {
    if (!children) return E_INVALIDARG;
    children->vt = VT_EMPTY;
    return engine_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT MenuAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    int item;
    if (!itemOf(child, item)) return E_INVALIDARG;
    if (item < 0) return nothing(action);
    return answer(item < engine_->input().spotCount() ? L"Jump" : L"Press", action);
}

// Taking the focus moves it to the window; the keyboard chooses the item there.
HRESULT MenuAccessible::accSelect(long flags, VARIANT child) {
    int item;
    if (!itemOf(child, item)) return E_INVALIDARG;
    if (item >= 0 || !(flags & SELFLAG_TAKEFOCUS)) return DISP_E_MEMBERNOTFOUND;
    SetFocus(hwnd_);
    return S_OK;
}

HRESULT MenuAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    int item;
    if (!left || !top || !width || !height || !itemOf(child, item)) return E_INVALIDARG;
    RECT r{};
    if (item < 0) {
        GetClientRect(hwnd_, &r);
    } else {
        const torvana::HotspotRect spot = engine_->itemRect(item);
        r = RECT{spot.x, spot.y, spot.x + spot.width, spot.y + spot.height};
    }
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

// Through the items in Tab's order; the screen's directions are left to the client.
HRESULT MenuAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    int item;
    if (!end || !itemOf(start, item)) return E_INVALIDARG;
    end->vt = VT_EMPTY;
    const int count = engine_->itemCount();
    int to = -2;
    if (item < 0 && direction == NAVDIR_FIRSTCHILD && count > 0) to = 0;
    if (item < 0 && direction == NAVDIR_LASTCHILD && count > 0) to = count - 1;
    if (item >= 0 && direction == NAVDIR_NEXT && item + 1 < count) to = item + 1;
    if (item >= 0 && direction == NAVDIR_PREVIOUS && item > 0) to = item - 1;
    if (to < 0) return S_FALSE;
    setI4(end, childId(to));
    return S_OK;
}

// The item at a point of the screen: the topmost hotspot there (the last one, as the pointer
// finds it) or a button; the client area elsewhere in it.
HRESULT MenuAccessible::accHitTest(long x, long y, VARIANT* child) {
    if (!child) return E_INVALIDARG;
    child->vt = VT_EMPTY;
    if (!engine_) return CO_E_OBJNOTCONNECTED;
    POINT p{x, y};
    ScreenToClient(hwnd_, &p);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!PtInRect(&client, p)) return S_FALSE;
    int found = -1;
    for (int item = engine_->itemCount() - 1; item >= 0 && found < 0; --item) {
        const torvana::HotspotRect r = engine_->itemRect(item);
        if (p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height) found = item;
    }
    setI4(child, childId(found));
    return S_OK;
}

// Carried out by the window once this call has returned, as a click would be.
HRESULT MenuAccessible::accDoDefaultAction(VARIANT child) {
    int item;
    if (!itemOf(child, item)) return E_INVALIDARG;
    if (item < 0) return DISP_E_MEMBERNOTFOUND;
    return PostMessageW(hwnd_, kDoDefaultAction, WPARAM(item), 0) ? S_OK : E_FAIL;
}

HRESULT MenuAccessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT MenuAccessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

}  // namespace torvana::winplayer
