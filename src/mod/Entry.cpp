// The two functions the loader calls: one creates the mod object, the other takes it down.
#include "mod/LiveOrvantaMod.hpp"

#if defined(_WIN32)
#define ORVANTA_EXPORT __declspec(dllexport)
#else
#define ORVANTA_EXPORT __attribute__((visibility("default")))
#endif

namespace
{
// The loader frees this library right after uninstall_mod, and on a hot reload loads it again,
// while it still holds the callables this library gave it: a removed tick callback is destroyed
// only when the loader prunes its list, on a later registration or on its collector's thread,
// and destroying it runs this library's code. Pinned, the library stays mapped until the
// process ends, and a reload restarts this same code.
void PinLibrary()
{
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
}
} // namespace

extern "C"
{
    ORVANTA_EXPORT RC::CppUserModBase* start_mod()
    {
        PinLibrary();
        return new Orv::LiveOrvantaMod();
    }

    ORVANTA_EXPORT void uninstall_mod(RC::CppUserModBase* mod) { Orv::LiveOrvantaMod::Uninstall(static_cast<Orv::LiveOrvantaMod*>(mod)); }
}
