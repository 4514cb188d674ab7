// Finding and constructing objects.
#pragma once

#include <Unreal/UObject.hpp>

#include <vector>

namespace RC::Unreal
{
class ObjectSearcher;

struct FStaticConstructObjectParameters
{
    FStaticConstructObjectParameters(const UClass* inClass, UObject* inOuter = nullptr) : Class(inClass), Outer(inOuter) {}

    const UClass* Class;
    UObject* Outer;
    FName Name;
    EObjectFlags SetFlags = RF_NoFlags;
    UObject* Template = nullptr;
};

namespace UObjectGlobals
{
// Accepts full paths: "/Script/Module.Class", "/Script/Module.Class:Function",
// "/Script/Module.Default__Class". Null when nothing of that path lives.
UE4SS_API UObject* FindObject(UClass* cls, UObject* outer, const CharType* name, bool exactClass = false,
                              ObjectSearcher* searcher = nullptr);
// Appends every live, non-default instance whose class's short name is className, in
// object-array order.
UE4SS_API void FindAllOf(StringViewType className, std::vector<UObject*>& out);
UE4SS_API UObject* StaticConstructObject(const FStaticConstructObjectParameters& params);
} // namespace UObjectGlobals
} // namespace RC::Unreal
