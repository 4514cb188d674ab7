// FURL: where a map load goes, as the engine's URL structure holds it (packed from engine 4.22
// on, as the loader declares it for those engines).
#pragma once

#include <Unreal/FString.hpp>
#include <Unreal/TArray.hpp>

#include <stdexcept>

namespace RC::Unreal
{
#pragma pack(push, 1)
struct UE4SS_API FURL
{
    FString Protocol;
    FString Host;
    int32 Port = 0;
    int32 Valid = 1;
    FString Map;
    FString RedirectURL;
    TArray<FString> Op;
    FString Portal;

    FURL() = default;
    // The loader hands each callback its own copy. The simulated engine's loads carry no
    // options, which is all a copy here can take.
    FURL(const FURL& other)
        : Protocol(other.Protocol), Host(other.Host), Port(other.Port), Valid(other.Valid), Map(other.Map),
          RedirectURL(other.RedirectURL), Portal(other.Portal)
    {
        if (other.Op.Num() != 0)
        {
            throw std::logic_error("the stand-in copies URLs without options only");
        }
    }
    FURL& operator=(const FURL&) = delete;
};
#pragma pack(pop)
} // namespace RC::Unreal
