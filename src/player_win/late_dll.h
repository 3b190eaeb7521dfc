#pragma once
// The few functions of system DLLs that the menu needs only after its first frame: opening
// files and folders (shell32), sounds (winmm), the note's tooltip (comctl32) and what screen
// readers ask (ole32, oleaut32, oleacc). They are looked up on first use instead of being
// imported, so starting the menu loads neither these DLLs nor the ones they pull in (shlwapi,
// shcore, msacm32, rpcrt4, ...). When a DLL or function cannot
// be found, each answers as the function does when it fails.

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

namespace torvana::winplayer::late {

// ShellExecuteW; a value of 32 or less is a failure.
HINSTANCE shellExecute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show);
// PlaySoundW.
bool playSound(const wchar_t* sound, DWORD flags);
// waveOutGetNumDevs: 0 without sound output.
UINT waveOutDevices();
// InitCommonControlsEx.
bool initCommonControls(DWORD classes);
// CoInitializeEx for a single-threaded apartment, once; true when COM is ready on this thread.
bool startComApartment();
// LresultFromObject; 0 when oleacc is missing.
LRESULT lresultFromObject(REFIID riid, WPARAM wParam, IUnknown* object);
// AccessibleObjectFromWindow.
HRESULT accessibleObjectFromWindow(HWND hwnd, DWORD object, REFIID riid, void** out);
// SysAllocString: a text a COM client frees with SysFreeString; null when it cannot be made.
BSTR sysAllocString(const wchar_t* text);

}  // namespace torvana::winplayer::late
