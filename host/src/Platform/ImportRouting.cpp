// Routing a loaded module's key-state, window and clock queries to the simulated keyboard,
// the simulated desktop and the engine clock on Windows: the loader resolved the module's imports when it loaded it, so the
// resolved address in the import address table is what gets replaced, found by walking the
// import descriptors.
#include "Platform/ImportRouting.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "Platform/Desktop.hpp"
#include "Platform/PerformanceCounter.hpp"

#include <Sim/Input.hpp>

#include <cstring>

namespace Sim::Detail
{
namespace
{
// Same contract as user32's: the high bit while the key is down, nothing for codes outside
// 0 to 255.
SHORT WINAPI SimulatedAsyncKeyState(int vKey) { return IsKeyDown(vKey) ? static_cast<SHORT>(0x8000) : SHORT{0}; }

// Same contracts as user32's, over the simulated desktop. The game's windows report the real
// process id, which the mod compares with kernel32's GetCurrentProcessId, left unrouted.
HWND WINAPI SimulatedForegroundWindow() { return reinterpret_cast<HWND>(ForegroundWindowHandle()); }

DWORD WINAPI SimulatedWindowThreadProcessId(HWND window, LPDWORD processId)
{
    std::uint32_t process = 0;
    const std::uint32_t thread = WindowThreadProcessId(reinterpret_cast<std::uintptr_t>(window),
                                                       processId != nullptr ? &process : nullptr, GetCurrentProcessId());
    if (thread != 0 && processId != nullptr)
    {
        *processId = process;
    }
    return thread;
}

int WINAPI SimulatedClassNameW(HWND window, LPWSTR buffer, int capacity)
{
    return WindowClassName(reinterpret_cast<std::uintptr_t>(window), buffer, capacity);
}

// Same contracts as kernel32's: only a null pointer fails.
BOOL WINAPI SimulatedPerformanceCounter(LARGE_INTEGER* count)
{
    if (count == nullptr)
    {
        return FALSE;
    }
    count->QuadPart = PerformanceCount();
    return TRUE;
}

BOOL WINAPI SimulatedPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (frequency == nullptr)
    {
        return FALSE;
    }
    frequency->QuadPart = PerformanceFrequency();
    return TRUE;
}

struct Route
{
    const char* dll;
    const char* name;
    ULONG_PTR replacement;
};

const Route kRoutes[] = {
    {"user32.dll", "GetAsyncKeyState", reinterpret_cast<ULONG_PTR>(&SimulatedAsyncKeyState)},
    {"user32.dll", "GetForegroundWindow", reinterpret_cast<ULONG_PTR>(&SimulatedForegroundWindow)},
    {"user32.dll", "GetWindowThreadProcessId", reinterpret_cast<ULONG_PTR>(&SimulatedWindowThreadProcessId)},
    {"user32.dll", "GetClassNameW", reinterpret_cast<ULONG_PTR>(&SimulatedClassNameW)},
    {"kernel32.dll", "QueryPerformanceCounter", reinterpret_cast<ULONG_PTR>(&SimulatedPerformanceCounter)},
    {"kernel32.dll", "QueryPerformanceFrequency", reinterpret_cast<ULONG_PTR>(&SimulatedPerformanceFrequency)},
};

// DLL names are compared as Windows compares file names: without regard to case.
bool ImportsFrom(const char* dll)
{
    for (const Route& route : kRoutes)
    {
        if (_stricmp(dll, route.dll) == 0)
        {
            return true;
        }
    }
    return false;
}

const Route* RouteFor(const char* dll, const char* name)
{
    for (const Route& route : kRoutes)
    {
        if (_stricmp(dll, route.dll) == 0 && std::strcmp(name, route.name) == 0)
        {
            return &route;
        }
    }
    return nullptr;
}

bool WriteSlot(IMAGE_THUNK_DATA* slot, ULONG_PTR replacement)
{
    DWORD previous = 0;
    if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &previous))
    {
        return false;
    }
    slot->u1.Function = replacement;
    VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), previous, &previous);
    return true;
}

// The thunks of one DLL's imports: the names in the original first thunk, the resolved
// addresses at the same index in the first thunk.
int RouteImports(BYTE* base, const IMAGE_IMPORT_DESCRIPTOR& imports, const char* dll)
{
    // Without the names (a bound image stripped of them) the entry cannot be told apart.
    if (imports.OriginalFirstThunk == 0 || imports.FirstThunk == 0)
    {
        return 0;
    }
    int routed = 0;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imports.OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imports.FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots)
    {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
        {
            continue;
        }
        const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        const Route* route = RouteFor(dll, reinterpret_cast<const char*>(byName->Name));
        if (route != nullptr && WriteSlot(slots, route->replacement))
        {
            ++routed;
        }
    }
    return routed;
}
} // namespace

int RouteSystemQueries(void* module)
{
    auto* base = static_cast<BYTE*>(module);
    if (base == nullptr)
    {
        return 0;
    }
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
    {
        return 0;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
    {
        return 0;
    }
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0)
    {
        return 0;
    }
    int routed = 0;
    for (auto* imports = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); imports->Name != 0;
         ++imports)
    {
        const char* dll = reinterpret_cast<const char*>(base + imports->Name);
        if (ImportsFrom(dll))
        {
            routed += RouteImports(base, *imports, dll);
        }
    }
    return routed;
}

int RouteSystemQueriesOfProgram() { return RouteSystemQueries(GetModuleHandleW(nullptr)); }
} // namespace Sim::Detail
#endif
