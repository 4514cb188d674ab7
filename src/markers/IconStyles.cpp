// Loading the game's icon styles and its tag table, once for the mod's life: the style
// collection's map from icon type to texture, tint, size and rotation (minus the placeholder
// the game draws for icons it has no picture for), and the map settings' gameplay-tag table.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/EngineSets.hpp"
#include "reflection/PropertyAccess.hpp"

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
std::size_t ValueSize(const FProperty* property)
{
    return static_cast<std::size_t>(property->GetElementSize()) * static_cast<std::size_t>(property->GetArrayDim());
}

// The map property's pairs in place; false unless the property is an engine map with both halves.
bool ViewMap(FProperty* property, const void* container, EngineMapView& view, FProperty*& key, FProperty*& value)
{
    if (PropertyClassOf(property) != PropertyClass::Map)
    {
        return false;
    }
    auto* map = static_cast<FMapProperty*>(property);
    key = map->GetKeyProp();
    value = map->GetValueProp();
    if (key == nullptr || value == nullptr)
    {
        return false;
    }
    view = ViewEngineMap(static_cast<const std::uint8_t*>(container) + property->GetOffset_Internal(), ValueSize(key),
                         static_cast<std::size_t>(key->GetMinAlignment()), ValueSize(value),
                         static_cast<std::size_t>(value->GetMinAlignment()));
    return true;
}

// "EMapIconType::Lodestone" is known to players as "Lodestone".
std::wstring WithoutEnumPrefix(std::wstring name)
{
    const auto separator = name.find(L"::");
    if (name.size() > 1 && separator != std::wstring::npos)
    {
        name.erase(0, separator + 2);
    }
    return name;
}

template <typename T> void CopyMember(FProperty* structProperty, void* value, std::wstring_view member, T& into)
{
    FProperty* found = nullptr;
    const void* address = StructMemberAddress(structProperty, value, member, &found);
    if (address != nullptr && ValueSize(found) >= sizeof(T))
    {
        std::memcpy(&into, address, sizeof(T));
    }
}

UObject* ObjectMember(FProperty* structProperty, void* value, std::wstring_view member)
{
    FProperty* found = nullptr;
    const void* address = StructMemberAddress(structProperty, value, member, &found);
    return ReadObjectProperty(found, address);
}
} // namespace

bool LiveOrvantaMod::IsTexture2D(UObject* object)
{
    UObject* textureClass = reflection.LookupObject(L"/Script/Engine.Texture2D");
    return textureClass != nullptr && IsLive(object, false) && object->IsA(static_cast<UClass*>(textureClass));
}

bool LiveOrvantaMod::LoadIconStyles()
{
    UObject* collection = FindIconDisplayInfoCollection();
    if (collection == nullptr)
    {
        return false;
    }
    iconStyles.clear();
    tagIconTypes.clear();
    categoryMeaningCount = 0;
    const bool loaded = FillIconStyles(collection);
    FillTagTable();
    return loaded;
}

bool LiveOrvantaMod::FillIconStyles(UObject* collection)
{
    if (!IsLive(collection, true))
    {
        return false;
    }
    placeholderTexture = nullptr;
    FProperty* placeholder = reflection.LookupProperty(collection, L"PlaceholderMapIcon");
    if (PropertyClassOf(placeholder) == PropertyClass::Struct)
    {
        placeholderTexture = ObjectMember(placeholder, PropertyAddress(reflection, collection, L"PlaceholderMapIcon"), L"Texture");
    }
    EngineMapView map;
    FProperty* key = nullptr;
    FProperty* value = nullptr;
    if (!ViewMap(reflection.LookupProperty(collection, L"MapIcons"), collection, map, key, value))
    {
        return false;
    }
    auto* iconTypes = static_cast<UEnum*>(reflection.LookupObject(L"/Script/Umbrafel.EMapIconType"));
    for (std::int32_t index = 0; index < map.pairs.count; ++index)
    {
        if (!map.pairs.IsElement(index))
        {
            continue;
        }
        auto* pair = const_cast<std::uint8_t*>(map.pairs.At(index));
        IconStyle style;
        if (!ReadSmallUnsigned(key, pair, style.category))
        {
            continue;
        }
        void* info = pair + map.valueOffset;
        style.texture = ObjectMember(value, info, L"Texture");
        if (style.texture == nullptr || !IsTexture2D(style.texture) || style.texture == placeholderTexture)
        {
            continue;
        }
        if (iconTypes != nullptr)
        {
            style.name = WithoutEnumPrefix(iconTypes->GetNameByValue(style.category).ToString());
        }
        CopyMember(value, info, L"Tint", style.tint);
        CopyMember(value, info, L"IconSize", style.iconSize);
        CopyMember(value, info, L"RotationOffset", style.rotationOffset);
        iconStyles.push_back(std::move(style));
    }
    return !iconStyles.empty();
}

bool LiveOrvantaMod::FillTagTable()
{
    UObject* settings = reflection.LookupClassDefault(L"/Script/Umbrafel.MapSettings");
    if (!IsLive(settings, true))
    {
        return false;
    }
    EngineMapView map;
    FProperty* key = nullptr;
    FProperty* value = nullptr;
    if (!ViewMap(reflection.LookupProperty(settings, L"GameplayTagToMapIconType"), settings, map, key, value))
    {
        return false;
    }
    for (std::int32_t index = 0; index < map.pairs.count; ++index)
    {
        if (!map.pairs.IsElement(index))
        {
            continue;
        }
        auto* pair = const_cast<std::uint8_t*>(map.pairs.At(index));
        TagIconType entry;
        void* tagName = StructMemberAddress(key, pair, L"TagName");
        // A key without the member is read as a name itself.
        const FName tag = *static_cast<const FName*>(tagName != nullptr ? tagName : pair);
        entry.tagName = tag.ToString();
        if (!entry.tagName.empty() && ReadSmallUnsigned(value, pair + map.valueOffset, entry.category))
        {
            tagIconTypes.push_back(std::move(entry));
        }
    }
    return !tagIconTypes.empty();
}

const IconStyle* LiveOrvantaMod::FindStyleById(std::uint8_t category) const
{
    for (const IconStyle& style : iconStyles)
    {
        if (style.category == category)
        {
            return &style;
        }
    }
    return nullptr;
}

const IconStyle* LiveOrvantaMod::FindStyleByTag(std::wstring_view tagName) const
{
    for (const TagIconType& entry : tagIconTypes)
    {
        if (entry.tagName == tagName)
        {
            return FindStyleById(entry.category);
        }
    }
    return nullptr;
}
} // namespace Orv
