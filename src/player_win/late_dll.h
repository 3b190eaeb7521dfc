#pragma once
// The few functions of system DLLs that the menu needs only after its first frame: opening
// files and folders (shell32), sounds (winmm) and the note's tooltip (comctl32). They are looked
// up on first use instead of being imported, so starting the menu loads neither these DLLs nor
// the ones they pull in (shlwapi, shcore, msacm32, ole32, ...). When a DLL or function cannot
// be found, each answers as the function does when it fails.

#include <windows.h>

#include <commctrl.h>

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

}  // namespace torvana::winplayer::late
