// FText as the loader declares it: a plain copy of the engine's text value (the text data, the
// shared reference's controller, the flags). It has no destructor and counts no references, so
// the engine text of every FText the loader hands out stays alive for good. Made from a string,
// it runs the engine's Conv_StringToText through ProcessEvent, which throws std::runtime_error
// when the engine lacks the function.
#pragma once

#include <Unreal/FString.hpp>
#include <Unreal/UKismetTextLibrary.hpp>

namespace RC::Unreal
{
class ITextData;

class UE4SS_API FText
{
  public:
    // The engine's size of a text value: 24 bytes on 4.x, 16 from 5.0. Throws before the
    // engine is known.
    static int32 StaticSize();

    ITextData* Data{nullptr};
    void* SharedRefCollector{nullptr};
    uint32 Flags;
    uint32 Unk;

    FText() = default;
    explicit FText(const FString&& String) { *this = UKismetTextLibrary::Conv_StringToText(String); }
    explicit FText(const CharType* String)
    {
        FString Str = FString(String);
        *this = UKismetTextLibrary::Conv_StringToText(Str);
    }
    // The view's characters are read up to a terminating zero, as the loader's own overload does.
    explicit FText(StringViewType String) : FText(String.data()) {}
    // Copies the pointers and flags only: no reference is taken or given back.
    FText(const FText& Other);
    FText& operator=(const FText& Other);

    // Through Conv_TextToString; empty for a text without data.
    FString ToFString() const;
    StringType ToString() const;
};
static_assert(sizeof(FText) == 24);
} // namespace RC::Unreal
