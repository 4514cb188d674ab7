// The game's icon styles as the mod keeps them for its whole life: one per icon type with its
// texture, tint, size and rotation, and the gameplay-tag to icon-type table.
#pragma once

#include "reflection/EngineValues.hpp"
#include "reflection/Host.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace Orv
{
struct IconStyle
{
    std::uint8_t category = 0; // the game's icon type
    std::wstring name;         // the icon type's name without its enumeration prefix
    UObject* texture = nullptr;
    LinearColor tint{1.0f, 1.0f, 1.0f, 1.0f};
    float iconSize = 32.0f;
    float rotationOffset = 0.0f;
};

struct TagIconType
{
    std::wstring tagName;
    std::uint8_t category = 0;
};

// What a map-icon component's category name means, worked out from its text once per name:
// names are few and components many, and each text would be a string copy per component.
struct CategoryMeaning
{
    FName name;
    bool excluded = false; // a category the minimap never lists
    int styleIndex = -1;   // the style of that name, or -1
};
inline constexpr std::size_t kCategoryMeaningCapacity = 64;
} // namespace Orv
