// What each engine version's headers declare of the surface a mod reaches: the script
// functions, parameters and members that some versions lack, and the layouts that changed
// between versions. The stand-in's definitions list what any version has; this table decides
// what the running version keeps of it.
#pragma once

#include <Sim/Types.hpp>

namespace Sim::Detail
{
// How the running version lays out what engine 5.0 changed.
struct VersionLayout
{
    bool doubleReals = false;      // vectors, rotators and 2-D vectors of doubles, not floats
    bool objectPtrMembers = false; // object members of classes and structs are TObjectPtr
    bool compactText = false;      // FText holds its record and flags only (16 bytes)
    bool floatFontSize = false;    // FSlateFontInfo::Size is a float, not an int32
    bool byteOverrideBits = false; // post-process override switches are uint8 bitfields, not uint32
};

const VersionLayout& Layout();

// Whether the running version declares the function, parameter or member at the path:
// "/Script/Engine.Class:Function", "/Script/Engine.Class:Function:Parameter" or
// "/Script/Engine.Struct:Member" (without regard to case).
bool VersionDeclares(StringViewType path);

// Declared by the running version and not taken out of this build by its options.
bool Declared(StringViewType path);

// The real number type of vectors and rotators in the running version.
inline Type RealType() { return Layout().doubleReals ? Double() : Float(); }
} // namespace Sim::Detail
