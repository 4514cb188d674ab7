// UKismetTextLibrary: the loader's wrappers of the engine's text library, each a ProcessEvent
// call on the library's default object. FText's string constructor runs Conv_StringToText.
#pragma once

#include <Unreal/FString.hpp>
#include <Unreal/UObject.hpp>

namespace RC::Unreal
{
class FText;

class UE4SS_API UKismetTextLibrary : public UObject
{
  public:
    static FString Conv_TextToString(const FText& InText);
    static FText Conv_StringToText(const FString& InString);
};
} // namespace RC::Unreal
