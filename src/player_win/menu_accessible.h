#pragma once
// What screen readers learn of the menu window: its client area as an accessible object whose
// children are the items Tab reaches (the hotspots, as links named "HotSpot 2: Install the
// program", then the bar's buttons), with the one the keyboard is on as its focus. The window
// hands it out for WM_GETOBJECT and raises EVENT_OBJECT_FOCUS when the keyboard moves on, so a
// screen reader says the hotspot's name as Tab reaches it.
//
// Calls come on the window's thread (the single-threaded apartment the window starts on the
// first request). Once the window is gone the object answers that it is disconnected.

#include <windows.h>

#include <oleacc.h>

#include "menu/menu_engine.h"

namespace torvana::winplayer {

// The message the object posts to its window to carry out an item's default action; wParam
// is the engine's item.
constexpr UINT kDoDefaultAction = WM_APP + 1;

class MenuAccessible final : public IAccessible {
public:
    MenuAccessible(HWND hwnd, const torvana::menu::MenuEngine& engine) : hwnd_(hwnd), engine_(&engine) {}
    MenuAccessible(const MenuAccessible&) = delete;
    MenuAccessible& operator=(const MenuAccessible&) = delete;

    // The window is going: from now on every call fails.
    void detach() { engine_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: no type information; clients call IAccessible's methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    ~MenuAccessible() = default;
    // The engine's item a child id names, -1 for the window's client area itself; false for an
    // id that names nothing (or once the window is gone).
    bool itemOf(const VARIANT& child, int& item) const;

    LONG references_ = 1;
    HWND hwnd_;
    const torvana::menu::MenuEngine* engine_;
};

}  // namespace torvana::winplayer
