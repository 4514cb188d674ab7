// Slate's copy of the viewport's widget trees: taken when a user widget enters the viewport,
// handed setters' values and new children since, and dropped when it leaves (or an object in it
// is freed). The screen draws from it; see ScreenTree.hpp for what reaches it and what not.
#include "Sim/ScreenTree.hpp"

#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"

#include <Sim/Values.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <algorithm>
#include <cstring>

namespace Sim::Detail
{
namespace
{
ScreenCopies& Copies() { return State().play.screen; }
} // namespace

bool OwnsMemory(const FProperty* property)
{
    constexpr uint64 kOwning = uint64{CASTCLASS_FArrayProperty} | uint64{CASTCLASS_FStrProperty} | uint64{CASTCLASS_FTextProperty} |
                               uint64{CASTCLASS_FSetProperty} | uint64{CASTCLASS_FMapProperty};
    return property != nullptr && const_cast<FProperty*>(property)->GetClass().HasAnyCastFlags(kOwning);
}

namespace
{
UObject* LiveReference(UObject* object, StringViewType name)
{
    auto* property = PropertyOf<FObjectPropertyBase>(object->GetClassPrivate(), name);
    UObject* value = property != nullptr ? property->GetObjectPropertyValue(property->ContainerPtrToValuePtr<void>(object)) : nullptr;
    return value != nullptr && IsLiveObject(value) ? value : nullptr;
}

// The members as they are now, plain bytes at their own offsets.
ScreenCopy Take(UObject* object, const UObject* parent)
{
    ScreenCopy copy;
    copy.parent = parent;
    const UClass* cls = object->GetClassPrivate();
    const auto size = static_cast<std::size_t>(cls->GetPropertiesSize());
    copy.values.resize(size);
    std::memcpy(copy.values.data(), static_cast<const void*>(object), size);
    for (const UStruct* s = cls; s != nullptr; s = EngineAccess::Super(s))
    {
        for (FField* f = EngineAccess::ChildProperties(s); f != nullptr; f = EngineAccess::NextField(f))
        {
            auto* property = static_cast<FProperty*>(f);
            if (OwnsMemory(property))
            {
                std::memset(property->ContainerPtrToValuePtr<void>(copy.values.data()), 0, static_cast<std::size_t>(property->GetSize()));
            }
        }
    }
    if (auto* text = PropertyOf<FTextProperty>(cls, L"Text"))
    {
        copy.text = ReadText(text->ContainerPtrToValuePtr<void>(object));
    }
    return copy;
}

void Build(UObject* widget, const UObject* parent);

// UPanelSlot::BuildSlot: the slot's members now, and its content built into the panel.
void BuildSlot(UObject* panel, UObject* slot, UObject* child)
{
    auto& copies = Copies();
    auto found = copies.find(panel);
    if (found == copies.end() || !IsLiveObject(slot) || !IsLiveObject(child))
    {
        return;
    }
    // References into the map outlive its rehashing; iterators do not.
    ScreenCopy& panelCopy = found->second;
    copies.insert_or_assign(slot, Take(slot, panel));
    Build(child, panel);
    panelCopy.children.push_back({child, slot});
}

// TakeWidget: a widget the screen holds already is not built again.
void Build(UObject* widget, const UObject* parent)
{
    auto& copies = Copies();
    if (!IsLiveObject(widget) || copies.contains(widget))
    {
        return;
    }
    copies.emplace(widget, Take(widget, parent));
    // A user widget shows its tree's root, as the tree holds it now.
    if (UObject* tree = LiveReference(widget, L"WidgetTree"))
    {
        if (UObject* root = LiveReference(tree, L"RootWidget"))
        {
            Build(root, widget);
            copies.at(widget).children.push_back({root, nullptr});
        }
        return;
    }
    auto* slots = PropertyOf<FArrayProperty>(widget->GetClassPrivate(), L"Slots");
    if (slots == nullptr)
    {
        return;
    }
    void* list = slots->ContainerPtrToValuePtr<void>(widget);
    for (int32 i = 0; i < ArrayNum(list); ++i)
    {
        UObject* slot = *static_cast<UObject**>(ArrayElement(slots, list, i));
        if (slot != nullptr && IsLiveObject(slot))
        {
            BuildSlot(widget, slot, LiveReference(slot, L"Content"));
        }
    }
}

// The widget's screen and everything under it; the panel above keeps its list.
void Drop(ScreenCopies& copies, const UObject* widget)
{
    auto found = copies.find(widget);
    if (found == copies.end())
    {
        return;
    }
    const std::vector<ScreenChild> children = std::move(found->second.children);
    copies.erase(found);
    for (const ScreenChild& child : children)
    {
        copies.erase(child.slot);
        Drop(copies, child.widget);
    }
}

void Unlist(ScreenCopies& copies, const UObject* panel, const UObject* child)
{
    auto found = copies.find(panel);
    if (found == copies.end())
    {
        return;
    }
    auto& children = found->second.children;
    for (auto at = children.begin(); at != children.end();)
    {
        if (at->widget == child || at->slot == child)
        {
            copies.erase(at->slot);
            Drop(copies, at->widget);
            at = children.erase(at);
            continue;
        }
        ++at;
    }
}
} // namespace

void BuildScreenTree(UObject* userWidget) { Build(userWidget, nullptr); }

void DropScreenTree(const UObject* userWidget) { Drop(Copies(), userWidget); }

void PushToScreen(UObject* object, StringViewType path)
{
    auto found = Copies().find(object);
    if (found == Copies().end())
    {
        return;
    }
    ScreenCopy& copy = found->second;
    const MemberRef member = FindMemberByPath(object, path);
    if (member.property == nullptr)
    {
        return;
    }
    if (CastField<FTextProperty>(member.property) != nullptr)
    {
        copy.text = ReadText(member.address);
        return;
    }
    if (OwnsMemory(member.property))
    {
        return;
    }
    const auto offset = static_cast<std::size_t>(static_cast<const uint8*>(member.address) - reinterpret_cast<const uint8*>(object));
    const auto size = static_cast<std::size_t>(member.property->GetSize());
    if (offset + size > copy.values.size())
    {
        return;
    }
    uint8* into = copy.values.data() + offset;
    // A bitfield shares its byte with its neighbours, which only their own setters hand on.
    if (auto* flag = CastField<FBoolProperty>(member.property))
    {
        flag->SetPropertyValue(into, flag->GetPropertyValue(member.address));
        return;
    }
    std::memcpy(into, member.address, size);
}

void ScreenChildAdded(UObject* panel, UObject* slot, UObject* child) { BuildSlot(panel, slot, child); }

void ScreenChildRemoved(const UObject* panel, const UObject* child) { Unlist(Copies(), panel, child); }

const ScreenCopy* ScreenCopyOf(const UObject* object)
{
    auto found = Copies().find(object);
    return found != Copies().end() ? &found->second : nullptr;
}

bool IsBrush(const FProperty* property)
{
    auto* brush = dynamic_cast<const FStructProperty*>(property);
    return brush != nullptr && brush->GetStruct() == FindObjectByPath(L"/Script/SlateCore.SlateBrush");
}

void ForgetOnScreen(ScreenCopies& copies, const UObject* object)
{
    auto found = copies.find(object);
    if (found == copies.end())
    {
        return;
    }
    const UObject* parent = found->second.parent;
    Drop(copies, object);
    Unlist(copies, parent, object);
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

MemberRef ScreenMember(const UObject* widgetOrSlot, StringViewType path)
{
    auto guard = LockEngine();
    const ScreenCopy* copy = ScreenCopyOf(widgetOrSlot);
    if (copy == nullptr)
    {
        return {};
    }
    auto* object = const_cast<UObject*>(widgetOrSlot);
    const MemberRef member = FindMemberByPath(object, path);
    if (member.property == nullptr || IsBrush(FindMemberByPath(object, path.substr(0, path.find(L'.'))).property))
    {
        return member;
    }
    if (OwnsMemory(member.property))
    {
        return {};
    }
    const auto offset = static_cast<std::size_t>(static_cast<const uint8*>(member.address) - reinterpret_cast<const uint8*>(object));
    return {member.property, const_cast<uint8*>(copy->values.data()) + offset};
}

std::vector<ScreenChild> ScreenChildren(const UObject* widget)
{
    auto guard = LockEngine();
    const ScreenCopy* copy = ScreenCopyOf(widget);
    return copy != nullptr ? copy->children : std::vector<ScreenChild>{};
}
} // namespace Sim
