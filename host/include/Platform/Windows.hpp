// The stand-in's Windows API: the few Win32 calls the mod makes itself, with their Windows
// names, types and flag values, implemented on the stand-in's own platform. On Windows the
// mod includes the real <windows.h> instead, so nothing here may differ in shape from it.
#pragma once

#include <cstdint>

#include <File/Macros.hpp>

using BOOL = int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using SHORT = std::int16_t;
using WCHAR = wchar_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPDWORD = DWORD*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HWND__;
using HWND = HWND__*;

// Windows also spells the halves as an unnamed struct; standard C++ has no unnamed structs,
// so only the named one is here.
union LARGE_INTEGER
{
    struct
    {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_DELETE 0x2E
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_DECIMAL 0x6E
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_PLUS 0xBB
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_WRITE_THROUGH 0x00000008

extern "C"
{
    // With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is any address inside the
    // module wanted; otherwise only a null name (the running program) is supported. As on
    // Windows, the module gains a reference unless GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT
    // is given, and GET_MODULE_HANDLE_EX_FLAG_PIN keeps it loaded until the process ends,
    // whatever frees it later.
    UE4SS_API BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);

    // The module's absolute path. Like Windows: returns the length without the terminator;
    // a buffer too small gets the truncated, terminated path and the result nSize; 0 on failure.
    UE4SS_API DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

    // Supports MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH; like Windows, a move
    // never replaces a directory and never crosses file systems.
    UE4SS_API BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);

    UE4SS_API BOOL DeleteFileW(LPCWSTR lpFileName);

    // The performance counter reads the stand-in engine's clock, which moves only when the
    // engine runs a frame, so runs are repeatable. Its frequency is the 10 MHz (100 ns ticks)
    // that current Windows reports. Only a null pointer makes either call fail.
    UE4SS_API BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
    UE4SS_API BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);

    // The state the simulated player's mouse and keyboard are in (Sim/Input.hpp): the high bit
    // is set while the key is down. Like Windows, any key code outside 0 to 255 reads as up.
    UE4SS_API SHORT GetAsyncKeyState(int vKey);

    UE4SS_API DWORD GetCurrentProcessId();

    // The simulated desktop (Sim/Input.hpp). GetForegroundWindow is null while no window is in
    // front. GetWindowThreadProcessId returns the id of the thread that made the window and
    // stores the owning process's id where lpdwProcessId points, if it is not null; for a
    // handle that is no window it returns 0 and stores nothing. GetClassNameW copies at most
    // nMaxCount - 1 characters of the class name and a terminator and returns the count
    // copied; 0 for a handle that is no window or a null or empty buffer.
    UE4SS_API HWND GetForegroundWindow();
    UE4SS_API DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
    UE4SS_API int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);
}
