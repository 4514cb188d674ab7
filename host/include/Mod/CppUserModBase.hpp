// The base class every C++ mod derives from; the loader calls its virtual slots.
#pragma once

#include <File/Macros.hpp>

namespace RC
{
class UE4SS_API CppUserModBase
{
  public:
    StringType ModName;
    StringType ModVersion;
    StringType ModDescription;
    StringType ModAuthors;
    StringType ModIntendedSDKVersion;

    CppUserModBase();
    CppUserModBase(const CppUserModBase&) = delete;
    CppUserModBase& operator=(const CppUserModBase&) = delete;

    // Slot order matters to the loader: do not reorder.
    virtual ~CppUserModBase();
    virtual void on_update() {}
    virtual void on_unreal_init() {}
    virtual void on_ui_init() {}
    virtual void on_program_start() {}
    virtual void on_lua_start(StringViewType, void*, void*, void*) {}
    virtual void on_lua_start(void*, void*, void*) {}
    virtual void on_lua_stop(StringViewType, void*, void*, void*) {}
    virtual void on_lua_stop(void*, void*, void*) {}
    virtual void on_dll_load(StringViewType) {}
    virtual void render_tab() {}
    virtual void on_cpp_mods_loaded() {}
};
} // namespace RC
