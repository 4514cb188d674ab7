// The two functions the loader calls: one creates the mod object, the other deletes it.
#include "mod/LiveOrvantaMod.hpp"

#if defined(_WIN32)
#define ORVANTA_EXPORT __declspec(dllexport)
#else
#define ORVANTA_EXPORT __attribute__((visibility("default")))
#endif

extern "C"
{
    ORVANTA_EXPORT RC::CppUserModBase* start_mod() { return new Orv::LiveOrvantaMod(); }

    ORVANTA_EXPORT void uninstall_mod(RC::CppUserModBase* mod) { delete mod; }
}
