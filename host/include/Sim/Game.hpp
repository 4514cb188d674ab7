// The game's script surface as the stand-in engine knows it: the engine classes and the
// game's own ("Umbrafel", "MinimapPlugin") with the functions a mod hooks and calls.
#pragma once

#include <Sim/Types.hpp>

#include <string>
#include <vector>

namespace Sim
{
// How a game's map tracker keeps its map-icon components in its "MapIcons" array: as object
// references, as weak pointers, or as structs whose "Component" member refers to one.
enum class TrackedIcons
{
    Objects,
    WeakPointers,
    Structs,
};

struct GameOptions
{
    // Function paths this game build lacks ("/Script/Module.Class:Function").
    std::vector<std::wstring> missingFunctions;
    // Properties this game build's classes and structs do not declare ("/Script/Module.Class:Property").
    std::vector<std::wstring> missingProperties;
    // Classes this game build or its engine lacks ("/Script/UMG.Overlay"): no lookup by path finds them.
    std::vector<std::wstring> missingClasses;
    // False for a game without the minimap plugin's tracker: neither MapTracker nor
    // MapFunctionLibrary is found, and worlds have no tracker for map-icon components to join.
    bool mapTracker = true;
    TrackedIcons trackedIcons = TrackedIcons::Objects;
};

// Defines every class of the default game on the running engine.
UE4SS_API void DefineDefaultGame(const GameOptions& options = {});

// Takes a function out of its class, as a game build without it would be: neither its
// class's function chain nor a path lookup finds it any more.
UE4SS_API bool RemoveFunction(StringViewType path);
} // namespace Sim
