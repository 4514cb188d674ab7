// The simulated engine's object system: the object array with slot reuse, the pooled object
// memory, construction and death of objects, the path index, garbage collection, frames and
// the loader's hook and tick registries.
#include "Platform/ImportRouting.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/Texts.hpp"

#include <Sim/Calls.hpp>

#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <new>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define ORV_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define ORV_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define ORV_POISON(address, size) static_cast<void>(0)
#define ORV_UNPOISON(address, size) static_cast<void>(0)
#endif

namespace Sim::Detail
{
void* ObjectPool::Allocate(std::size_t size, std::size_t quarantine, bool& reused)
{
    auto& released = released_[size];
    reused = released.size() > quarantine;
    if (reused)
    {
        // Last freed first: the block a dying object just left is the next one taken.
        void* block = released[released.size() - 1 - quarantine];
        released.erase(released.end() - 1 - static_cast<std::ptrdiff_t>(quarantine));
        ORV_UNPOISON(block, size);
        return block;
    }
    blocks_.push_back(std::make_unique<unsigned char[]>(size));
    blockSizes_.push_back(size);
    return blocks_.back().get();
}

void ObjectPool::Release(void* memory, std::size_t size, bool poison)
{
    released_[size].push_back(memory);
    if (poison)
    {
        ORV_POISON(memory, size);
    }
}

void ObjectPool::FreeAll()
{
    for (std::size_t i = 0; i < blocks_.size(); ++i)
    {
        ORV_UNPOISON(blocks_[i].get(), blockSizes_[i]);
    }
    released_.clear();
    blocks_.clear();
    blockSizes_.clear();
}

std::wstring PackageOf(StringViewType path)
{
    auto dot = path.find(L'.');
    return std::wstring(dot == StringViewType::npos ? path : path.substr(0, dot));
}

std::wstring ShortName(StringViewType path)
{
    auto cut = path.find_last_of(L".:");
    return std::wstring(cut == StringViewType::npos ? path : path.substr(cut + 1));
}

std::wstring FoldCase(StringViewType text)
{
    std::wstring folded(text);
    for (auto& c : folded)
    {
        c = FoldChar(c);
    }
    return folded;
}

std::size_t FoldedPathHash::operator()(StringViewType path) const noexcept
{
    // FNV-1a over the folded characters.
    std::size_t hash = 14695981039346656037ull;
    for (wchar_t c : path)
    {
        hash = (hash ^ static_cast<std::size_t>(FoldChar(c))) * 1099511628211ull;
    }
    return hash;
}

bool FoldedPathEqual::operator()(StringViewType a, StringViewType b) const noexcept
{
    if (a.size() != b.size())
    {
        return false;
    }
    if (a == b)
    {
        return true;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (FoldChar(a[i]) != FoldChar(b[i]))
        {
            return false;
        }
    }
    return true;
}

FUObjectItem* EngineAccess::SlotOf(const void* address)
{
    auto& s = State();
    const int32* slot = s.liveAddresses.Find(address);
    return slot == nullptr ? nullptr : Item(*slot);
}

FUObjectItem* EngineAccess::Item(int32 index)
{
    auto& s = State();
    if (index < 0 || index >= s.numItems)
    {
        return nullptr;
    }
    return &s.itemChunks[static_cast<std::size_t>(index / EngineState::kItemsPerChunk)]
                        [static_cast<std::size_t>(index % EngineState::kItemsPerChunk)];
}

namespace
{
int32 TakeSlot()
{
    auto& s = State();
    if (!s.freeIndices.empty())
    {
        int32 index = s.freeIndices.back();
        s.freeIndices.pop_back();
        ++s.stats.SlotsReused;
        return index;
    }
    if (s.numItems % EngineState::kItemsPerChunk == 0)
    {
        s.itemChunks.push_back(std::make_unique<FUObjectItem[]>(EngineState::kItemsPerChunk));
    }
    s.allocationSize.push_back(0);
    s.foldedPaths.emplace_back();
    return s.numItems++;
}

ClassInfo& InfoOf(const UClass* cls)
{
    auto& s = State();
    for (const UClass* c = cls; c != nullptr; c = static_cast<const UClass*>(EngineAccess::Super(c)))
    {
        auto found = s.classInfo.find(c);
        if (found != s.classInfo.end() && found->second.construct != nullptr)
        {
            return found->second;
        }
    }
    throw std::logic_error("stand-in engine: class without a native constructor");
}

template <typename T> UObject* ConstructNative(void* memory) { return new (memory) T(); }

// Memory for a new object: the freed block of its size when there is one.
void* AllocateObjectMemory(std::size_t size)
{
    auto& s = State();
    bool reused = false;
    void* memory = s.pool.Allocate(size, static_cast<std::size_t>(std::max(s.options.MemoryQuarantine, 0)), reused);
    if (!s.usedAddresses.insert(memory).second)
    {
        ++s.stats.AddressesReused;
    }
    return memory;
}

// The slot's bookkeeping once its object is in place.
void RegisterObject(UObject* object, int32 index, std::size_t size)
{
    auto& s = State();
    s.allocationSize[static_cast<std::size_t>(index)] = size;
    s.liveAddresses.Set(object, index);
    ++s.stats.ObjectsCreated;
}

// FUObjectArray::FreeUObjectIndex tells the listeners newest first, inside their critical
// section, so one may leave the list while it is told.
void NotifyDeleted(const UObject* object, int32 index)
{
    auto& s = State();
    std::lock_guard guard(s.listenerLock);
    for (std::size_t i = s.deleteListeners.size(); i-- > 0;)
    {
        if (i < s.deleteListeners.size())
        {
            s.deleteListeners[i]->NotifyUObjectDeleted(object, index);
        }
    }
}
} // namespace

UObject* EngineAccess::Construct(UClass* cls, UObject* outer, FName name, EObjectFlags flags)
{
    auto& s = State();
    auto& info = InfoOf(cls);
    std::size_t size = std::max<std::size_t>(info.nativeSize, static_cast<std::size_t>(cls->GetPropertiesSize()));
    size = (size + 15) & ~std::size_t{15};
    void* memory = AllocateObjectMemory(size);
    std::memset(memory, 0, size);
    UObject* object = info.construct(memory);

    if (name.IsNone())
    {
        auto& counter = s.classInfo[cls].nextNameNumber;
        name = FName(cls->GetName() + L"_" + std::to_wstring(counter++));
    }
    int32 index = TakeSlot();
    object->ObjectFlags = flags;
    object->InternalIndex = index;
    object->ClassPrivate = cls;
    object->NamePrivate = name;
    object->OuterPrivate = outer;
    auto* item = Item(index);
    item->Object = object;
    item->Flags = 0;
    item->SerialNumber = 0;
    RegisterObject(object, index, size);

    InitializeStruct(cls, object);
    ApplyClassDefaults(cls, object);
    auto path = object->GetPathName();
    s.foldedPaths[static_cast<std::size_t>(index)] = FoldCase(path);
    s.byPath[FoldCase(path)] = object;
    return object;
}

void EngineAccess::Destroy(UObject* object)
{
    const int32 index = FinishDestroy(object);
    if (index >= 0)
    {
        FreeObject(object, index);
    }
}

int32 EngineAccess::FinishDestroy(UObject* object)
{
    auto& s = State();
    auto* item = SlotOf(object);
    if (item == nullptr || item->Object != object || object->HasAnyFlags(RF_FinishDestroyed))
    {
        return -1;
    }
    object->ObjectFlags = object->ObjectFlags | RF_BeginDestroyed;
    if (object->ClassPrivate->HasAnyCastFlags(CASTCLASS_UField))
    {
        // A type going takes its members with it; another may take its address.
        TypesChanged();
    }
    DestroyStruct(object->ClassPrivate, object);
    object->ObjectFlags = object->ObjectFlags | RF_FinishDestroyed;
    int32 index = object->InternalIndex;
    auto path = s.byPath.find(s.foldedPaths[static_cast<std::size_t>(index)]);
    if (path != s.byPath.end() && path->second == object)
    {
        s.byPath.erase(path);
    }
    s.foldedPaths[static_cast<std::size_t>(index)].clear();
    s.garbageRoots.erase(object);
    s.nativeReferences.erase(object);
    s.worldOverrides.erase(object);
    s.play.Forget(object);
    ForgetCallsOf(object);
    s.classInfo.erase(reinterpret_cast<const UClass*>(object));
    s.blueprintClasses.erase(reinterpret_cast<const UClass*>(object));
    if (s.engineObject == object)
    {
        s.engineObject = nullptr;
    }
    return index;
}

void EngineAccess::FreeObject(UObject* object, int32 index)
{
    // As the engine frees the slot: the listeners first, while the object is still whole. They
    // are told without the stand-in's own lock, on whichever thread: FreeUObjectIndex holds only
    // their critical section, and a listener may wait for the game thread, which may want the
    // engine meanwhile.
    const int held = State().lock.ReleaseAll();
    NotifyDeleted(object, index);
    State().lock.Retake(held);
    auto guard = LockEngine();
    auto& s = State();
    auto* item = Item(index);
    item->Object = nullptr;
    item->Flags = 0;
    item->SerialNumber = 0;
    s.freeIndices.push_back(index);
    s.liveAddresses.Erase(object);
    ++s.stats.ObjectsFreed;
    if (!IsGameThread())
    {
        ++s.stats.ObjectsFreedOnPurgeThread;
    }
    s.pool.Release(object, s.allocationSize[static_cast<std::size_t>(index)], s.options.MemoryQuarantine == 0);
}

UPackage* EngineAccess::Package(StringViewType name)
{
    auto& s = State();
    if (auto found = s.byPath.find(name); found != s.byPath.end())
    {
        return static_cast<UPackage*>(found->second);
    }
    auto* package = static_cast<UPackage*>(Construct(s.packageClass, nullptr, FName(name), RF_Public));
    package->GetObjectItem()->SetRootSet();
    return package;
}

UClass* EngineAccess::MakeClass(StringViewType path, UClass* super, NativeConstructor construct, std::size_t nativeSize,
                                EClassCastFlags castFlags)
{
    auto& s = State();
    auto* package = Package(PackageOf(path));
    auto* cls = static_cast<UClass*>(Construct(s.classClass, package, FName(ShortName(path)), RF_Public | RF_MarkAsNative));
    TypesChanged();
    cls->SuperStruct = super;
    cls->ClassCastFlags = castFlags | (super ? super->ClassCastFlags : CASTCLASS_None);
    cls->PropertiesSize = super ? super->PropertiesSize : static_cast<int32>(nativeSize);
    cls->MinAlignment = super ? super->MinAlignment : 8;
    if (construct != nullptr)
    {
        s.classInfo[cls].construct = construct;
        s.classInfo[cls].nativeSize = nativeSize;
        cls->PropertiesSize = std::max(cls->PropertiesSize, static_cast<int32>(nativeSize));
    }
    cls->GetObjectItem()->SetRootSet();
    return cls;
}

void MarkBlueprintClass(UClass* cls)
{
    State().blueprintClasses.insert(cls);
    cls->GetObjectItem()->UnsetRootSet();
}

bool IsBlueprintClass(const UClass* cls) { return State().blueprintClasses.contains(cls); }

// A class built without the object machinery, which needs the class of classes and the
// package class before it can build anything. Its package is given once packages exist.
UClass* EngineAccess::MakeBootstrapClass(UClass* classOfClasses, const wchar_t* name, std::size_t nativeSize,
                                         NativeConstructor construct, EClassCastFlags castFlags)
{
    auto& s = State();
    const std::size_t size = (sizeof(UClass) + 15) & ~std::size_t{15};
    void* memory = AllocateObjectMemory(size);
    std::memset(memory, 0, sizeof(UClass));
    auto* cls = new (memory) UClass();
    int32 index = TakeSlot();
    cls->InternalIndex = index;
    cls->ClassPrivate = classOfClasses != nullptr ? classOfClasses : cls;
    cls->NamePrivate = FName(name);
    cls->ObjectFlags = RF_Public | RF_MarkAsNative;
    cls->PropertiesSize = static_cast<int32>(nativeSize);
    cls->ClassCastFlags = castFlags;
    Item(index)->Object = cls;
    RegisterObject(cls, index, size);
    s.classInfo[cls] = {construct, nativeSize, 0};
    return cls;
}

void EngineAccess::Bootstrap()
{
    auto& s = State();
    // The class of classes is its own class.
    auto* classClass = MakeBootstrapClass(nullptr, L"Class", sizeof(UClass), &ConstructNative<UClass>,
                                          CASTCLASS_UField | CASTCLASS_UStruct | CASTCLASS_UClass);
    s.classClass = classClass;
    auto* packageClass =
        MakeBootstrapClass(classClass, L"Package", sizeof(UPackage), &ConstructNative<UPackage>, CASTCLASS_UPackage);
    s.packageClass = packageClass;

    auto* core = Package(L"/Script/CoreUObject");
    classClass->OuterPrivate = core;
    packageClass->OuterPrivate = core;
    classClass->GetObjectItem()->SetRootSet();
    packageClass->GetObjectItem()->SetRootSet();
    for (UClass* cls : {classClass, packageClass})
    {
        auto path = FoldCase(cls->GetPathName());
        s.foldedPaths[static_cast<std::size_t>(cls->GetInternalIndex())] = path;
        s.byPath[path] = cls;
    }

    s.objectClass = MakeClass(L"/Script/CoreUObject.Object", nullptr, &ConstructNative<UObject>, sizeof(UObject),
                              CASTCLASS_None);
    packageClass->SuperStruct = s.objectClass;
    s.fieldClass = MakeClass(L"/Script/CoreUObject.Field", s.objectClass, &ConstructNative<UField>, sizeof(UField),
                             CASTCLASS_UField);
    s.structClass = MakeClass(L"/Script/CoreUObject.Struct", s.fieldClass, &ConstructNative<UStruct>, sizeof(UStruct),
                              CASTCLASS_UStruct);
    classClass->SuperStruct = s.structClass;
    s.scriptStructClass = MakeClass(L"/Script/CoreUObject.ScriptStruct", s.structClass, &ConstructNative<UScriptStruct>,
                                    sizeof(UScriptStruct), CASTCLASS_UScriptStruct);
    s.functionClass = MakeClass(L"/Script/CoreUObject.Function", s.structClass, &ConstructNative<UFunction>,
                                sizeof(UFunction), CASTCLASS_UFunction);
    s.enumClass = MakeClass(L"/Script/CoreUObject.Enum", s.fieldClass, &ConstructNative<UEnum>, sizeof(UEnum),
                            CASTCLASS_UEnum);
    s.interfaceClass = MakeClass(L"/Script/CoreUObject.Interface", s.objectClass, nullptr, 0, CASTCLASS_None);
}

void EngineAccess::TearDown()
{
    auto& s = State();
    StopAsyncPurge();
    // The array's end is told before anything goes; a listener then holds nothing of it.
    if (!s.objectArrayShutDown)
    {
        ShutdownObjectArray();
    }
    s.deleteListeners.clear();
    s.objectArrayShutDown = false;
    // Values of instances are destroyed while every type still stands; then the C++ parts of
    // all live objects run down, and only then does the memory go.
    for (int32 index = 0; index < s.numItems; ++index)
    {
        auto* object = Item(index)->Object;
        if (object != nullptr && !object->ClassPrivate->HasAnyCastFlags(CASTCLASS_UField | CASTCLASS_UPackage))
        {
            DestroyStruct(object->ClassPrivate, object);
        }
    }
    for (int32 index = 0; index < s.numItems; ++index)
    {
        if (auto* object = Item(index)->Object)
        {
            object->~UObject();
        }
    }
    // What no value holds by now was leaked while the engine ran; the next one counts its own.
    ForgetTexts();
    s.loader = {};
    s.ownedFields.clear();
    s.functionStates.clear();
    s.itemChunks.clear();
    s.numItems = 0;
    s.freeIndices.clear();
    s.allocationSize.clear();
    s.pool.FreeAll();
    s.liveAddresses.Clear();
    s.usedAddresses.clear();
    s.foldedPaths.clear();
    s.nextSerialNumber = 1000;
    s.stats = {};
    s.failedChecks.clear();
    s.engineObject = nullptr;
    s.byPath.clear();
    TypesChanged();
    s.vectorLayout = {};
    s.rotatorLayout = {};
    s.vector2DLayout = {};
    s.missingProperties.clear();
    s.classInfo.clear();
    s.garbageRoots.clear();
    s.nativeReferences.clear();
    s.worldOverrides.clear();
    s.play = {};
    StopCallbackCollector();
    s.ticks.Clear();
    s.refuseTicks = false;
    s.beginPlay.Clear();
    s.endPlay.Clear();
    s.loadMap.Clear();
    s.refuseLoaderCallbacks = false;
    s.constructionsBeforeRefusal = -1;
    s.frame = 0;
    s.objectClass = s.fieldClass = s.structClass = s.scriptStructClass = s.classClass = nullptr;
    s.functionClass = s.enumClass = s.packageClass = s.interfaceClass = s.worldClass = s.actorClass = nullptr;
    s.running = false;
}

void EngineAccess::ApplyClassDefaults(const UClass* cls, UObject* object)
{
    if (cls == nullptr)
    {
        return;
    }
    ApplyClassDefaults(static_cast<const UClass*>(cls->SuperStruct), object);
    auto found = State().classInfo.find(cls);
    if (found != State().classInfo.end() && found->second.defaults)
    {
        found->second.defaults(object);
    }
}

void EngineAccess::InitializeStruct(const UStruct* layout, void* dest)
{
    for (const UStruct* s = layout; s != nullptr; s = s->SuperStruct)
    {
        for (FField* f = s->ChildProperties; f != nullptr; f = f->Next)
        {
            auto* p = static_cast<FProperty*>(f);
            p->InitializeValueInternal(p->ContainerPtrToValuePtr(dest));
        }
    }
}

void EngineAccess::DestroyStruct(const UStruct* layout, void* dest)
{
    for (const UStruct* s = layout; s != nullptr; s = s->SuperStruct)
    {
        for (FField* f = s->ChildProperties; f != nullptr; f = f->Next)
        {
            auto* p = static_cast<FProperty*>(f);
            p->DestroyValueInternal(p->ContainerPtrToValuePtr(dest));
        }
    }
}

void EngineAccess::CopyStruct(const UStruct* layout, void* dest, const void* src)
{
    for (const UStruct* s = layout; s != nullptr; s = s->SuperStruct)
    {
        for (FField* f = s->ChildProperties; f != nullptr; f = f->Next)
        {
            auto* p = static_cast<FProperty*>(f);
            p->CopyValuesInternal(p->ContainerPtrToValuePtr(dest), p->ContainerPtrToValuePtr(src), p->ArrayDim);
        }
    }
}

// One value of any kind, as an element of an engine array, set or map holds it.
void EngineAccess::CollectValueReferences(const FProperty* property, const void* value, std::vector<UObject*>& out)
{
    // The collector's reference stream has no weak pointers: they keep nothing alive.
    if (property->IsA(FWeakObjectProperty::StaticClass()))
    {
        return;
    }
    if (auto* objectProperty = dynamic_cast<const FObjectPropertyBase*>(property))
    {
        if (auto* referenced = objectProperty->GetObjectPropertyValue(value))
        {
            out.push_back(referenced);
        }
    }
    else if (auto* structProperty = dynamic_cast<const FStructProperty*>(property))
    {
        CollectReferences(structProperty->GetStruct(), value, out);
    }
    else
    {
        ForEachContainedValue(property, value, [&](const FProperty* element, const void* elementValue) {
            CollectValueReferences(element, elementValue, out);
        });
    }
}

void EngineAccess::CollectReferences(const UStruct* layout, const void* container, std::vector<UObject*>& out)
{
    for (const UStruct* s = layout; s != nullptr; s = s->SuperStruct)
    {
        for (FField* f = s->ChildProperties; f != nullptr; f = f->Next)
        {
            auto* p = static_cast<FProperty*>(f);
            if (p->IsA(FWeakObjectProperty::StaticClass()))
            {
                continue;
            }
            for (int32 i = 0; i < p->ArrayDim; ++i)
            {
                const void* value = p->ContainerPtrToValuePtr(container, i);
                if (auto* objectProperty = dynamic_cast<FObjectPropertyBase*>(p))
                {
                    if (auto* referenced = objectProperty->GetObjectPropertyValue(value))
                    {
                        out.push_back(referenced);
                    }
                }
                else if (auto* structProperty = dynamic_cast<FStructProperty*>(p))
                {
                    CollectReferences(structProperty->GetStruct(), value, out);
                }
                else
                {
                    ForEachContainedValue(p, value, [&](const FProperty* element, const void* elementValue) {
                        CollectValueReferences(element, elementValue, out);
                    });
                }
            }
        }
    }
}

// Windows ends every other thread of a process before its DLLs' static destructors run
// (ExitProcess, then DLL_PROCESS_DETACH): a join, or a lock the ended thread held, would never
// return there. The stand-in's threads are let go with the process, as an engine's are.
static bool LetGoAtProcessEnd([[maybe_unused]] std::thread& thread)
{
#ifdef _WIN32
    if (thread.joinable())
    {
        thread.detach();
    }
    return true;
#else
    return false;
#endif
}

AsyncPurge::~AsyncPurge()
{
    if (LetGoAtProcessEnd(thread))
    {
        return;
    }
    {
        std::lock_guard guard(lock);
        stop = true;
        wake->notify_all();
    }
    if (thread.joinable())
    {
        thread.join();
    }
}

void HandToPurgeThread(std::vector<std::pair<UObject*, int32>> objects)
{
    if (objects.empty())
    {
        return;
    }
    auto& purge = State().asyncPurge;
    std::lock_guard guard(purge.lock);
    purge.pending.insert(purge.pending.end(), objects.begin(), objects.end());
    if (!purge.thread.joinable())
    {
        purge.stop = false;
        purge.thread = std::thread([&purge] {
            std::unique_lock held(purge.lock);
            for (;;)
            {
                purge.wake->wait(held, [&] { return purge.stop || !purge.pending.empty(); });
                if (purge.pending.empty())
                {
                    return;
                }
                std::vector<std::pair<UObject*, int32>> batch;
                batch.swap(purge.pending);
                purge.busy = true;
                held.unlock();
                for (const auto& [object, slot] : batch)
                {
                    EngineAccess::FreeObject(object, slot);
                }
                held.lock();
                purge.busy = false;
                purge.idle->notify_all();
            }
        });
    }
    purge.wake->notify_all();
}

void WaitForPurgeThread()
{
    auto& purge = State().asyncPurge;
    std::unique_lock guard(purge.lock);
    purge.idle->wait(guard, [&] { return purge.pending.empty() && !purge.busy; });
}

void StopAsyncPurge()
{
    auto& purge = State().asyncPurge;
    {
        std::lock_guard guard(purge.lock);
        purge.stop = true;
        purge.wake->notify_all();
    }
    if (purge.thread.joinable())
    {
        purge.thread.join();
    }
    purge.stop = false;
}

void RequireGameThread()
{
    if (!IsGameThread())
    {
        FailCheck(L"IsInGameThread");
    }
}

void StartCallbackCollector()
{
    auto& collector = State().callbackCollector;
    if (collector.thread.joinable())
    {
        return;
    }
    collector.stop = false;
    collector.forced = false;
    collector.thread = std::thread([&collector] {
        std::unique_lock guard(collector.lock);
        while (!collector.stop)
        {
            const bool woken = collector.wake->wait_for(guard, collector.period, [&] { return collector.stop || collector.forced; });
            if (collector.stop)
            {
                break;
            }
            const bool forced = woken && collector.forced;
            guard.unlock();
            // One registry that had something to prune a pass (HOOK_GC_LINKS_PER_ITERATION); a
            // forced pass goes through them all.
            auto& s = State();
            const std::function<bool()> registries[] = {[&s] { return s.ticks.CollectGarbage(); },
                                                        [&s] { return s.beginPlay.CollectGarbage(); },
                                                        [&s] { return s.endPlay.CollectGarbage(); },
                                                        [&s] { return s.loadMap.CollectGarbage(); }};
            for (const auto& collect : registries)
            {
                if (collect() && !forced)
                {
                    break;
                }
            }
            guard.lock();
            if (forced)
            {
                collector.forced = false;
                collector.wake->notify_all();
            }
        }
    });
}

CallbackCollector::~CallbackCollector()
{
    if (LetGoAtProcessEnd(thread))
    {
        return;
    }
    // The process ends with the engine still up: the thread goes before what it reads.
    {
        std::lock_guard guard(lock);
        stop = true;
        wake->notify_all();
    }
    if (thread.joinable())
    {
        thread.join();
    }
}

void StopCallbackCollector()
{
    auto& collector = State().callbackCollector;
    {
        std::lock_guard guard(collector.lock);
        collector.stop = true;
        collector.wake->notify_all();
    }
    if (collector.thread.joinable())
    {
        collector.thread.join();
    }
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

HostCounters& Counters() { return State().counters; }
void ResetCounters()
{
    auto& s = State();
    s.counters = {};
    s.destroyedTotal = 0;
}

std::vector<const void*> DestroyedValues()
{
    const auto& s = State();
    const uint64 kept = std::min<uint64>(s.destroyedTotal, EngineState::kDestroyedKept);
    std::vector<const void*> values;
    values.reserve(static_cast<std::size_t>(kept));
    for (uint64 i = s.destroyedTotal - kept; i < s.destroyedTotal; ++i)
    {
        values.push_back(s.destroyedValues[i % EngineState::kDestroyedKept]);
    }
    return values;
}
const EngineStats& Stats() { return State().stats; }

void FailCheck(StringViewType what)
{
    auto guard = LockEngine();
    auto& s = State();
    ++s.stats.ChecksFailed;
    if (s.failedChecks.size() < EngineState::kFailedChecksKept)
    {
        s.failedChecks.emplace_back(what);
    }
}

std::vector<std::wstring> FailedChecks()
{
    auto guard = LockEngine();
    return State().failedChecks;
}
const EngineOptions& Options() { return State().options; }
void SetSilentEvents(bool silent) { State().options.SilentEvents = silent; }

void ResetEngine(const EngineOptions& options)
{
    auto& s = State();
    if (s.running)
    {
        EngineAccess::TearDown();
    }
    s.options = options;
    s.gameThread = std::this_thread::get_id();
    ForgetLoaderThrows();
    ForgetCalls();
    RC::Unreal::Version::Major = options.VersionMajor;
    RC::Unreal::Version::Minor = options.VersionMinor;
    EngineAccess::Bootstrap();
    s.running = true;
    for (const auto& path : options.MissingProperties)
    {
        s.missingProperties.insert(FoldCase(path));
    }
    void DefineCoreTypes();
    DefineCoreTypes();
    s.vectorLayout = ResolveTriple(L"/Script/CoreUObject.Vector", {L"X", L"Y", L"Z"});
    s.rotatorLayout = ResolveTriple(L"/Script/CoreUObject.Rotator", {L"Pitch", L"Yaw", L"Roll"});
    s.vector2DLayout = ResolveTriple(L"/Script/CoreUObject.Vector2D", {L"X", L"Y", nullptr});
    ResetCounters();
    // UnrealInitializer starts the loader's callback collector once the engine is found.
    StartCallbackCollector();
#ifdef _WIN32
    // A test program links the mod in: its own key-state and clock imports must read the
    // simulated keys and the engine clock.
    RouteSystemQueriesOfProgram();
#endif
}

bool EngineRunning() { return State().running; }

namespace
{
// A delta that is negative or not a number leaves the clock where it is: it never runs back.
int64 FrameNanoseconds(float deltaSeconds)
{
    double nanoseconds = static_cast<double>(deltaSeconds) * 1e9;
    return nanoseconds > 0 ? std::llround(nanoseconds) : 0;
}
} // namespace

void TickEngine(float deltaSeconds)
{
    auto& s = State();
    s.lock.ReleaseLeftByThisThread();
    {
        // The frame's own game work; the loader's and collector's threads take the engine
        // between the engine's calls, not within them.
        auto guard = LockEngine();
        ++s.frame;
        AdvanceClock(FrameNanoseconds(deltaSeconds));
        StepWorlds();
    }
    // UEngine::Tick's post-callbacks, as the loader's detour runs them after the original:
    // each takes the engine only inside the engine calls it makes.
    InTickCallbacks() = true;
    auto run = s.ticks.MakeData();
    s.ticks.Invoke(false, run, reinterpret_cast<UEngine*>(s.engineObject), deltaSeconds, false);
    InTickCallbacks() = false;
    s.lock.ReleaseLeftByThisThread();
    // FAsyncPurge::WaitForAsyncDestructionToFinish, as the engine's next purge would.
    WaitForPurgeThread();
    auto guard = LockEngine();
    // The frame's game work is done: the pictures asked for are drawn.
    FlushCaptures();
}
uint64 FrameNumber() { return State().frame; }

UObject* NewObject(UClass* cls, UObject* outer, StringViewType name, EObjectFlags flags)
{
    if (cls == nullptr)
    {
        return nullptr;
    }
    return EngineAccess::Construct(cls, outer, name.empty() ? FName() : FName(name), flags);
}

UObject* FindObjectByPath(StringViewType path)
{
    auto& s = State();
    auto found = s.byPath.find(path);
    return found == s.byPath.end() ? nullptr : found->second;
}

UClass* FindClass(StringViewType path)
{
    auto* object = FindObjectByPath(path);
    return object != nullptr && object->IsA(State().classClass) ? static_cast<UClass*>(object) : nullptr;
}

void MarkPendingKill(UObject* object)
{
    if (auto* item = EngineAccess::SlotOf(object))
    {
        item->Flags |= static_cast<int32>(EInternalObjectFlags::PendingKill);
    }
}

void BeginDestroy(UObject* object)
{
    if (EngineAccess::SlotOf(object) != nullptr)
    {
        EngineAccess::RaiseFlags(object, RF_BeginDestroyed);
    }
}

void DestroyObject(UObject* object) { EngineAccess::Destroy(object); }

std::size_t LiveObjectCount()
{
    auto guard = LockEngine();
    return State().liveAddresses.size();
}

bool HoldsObject(const void* address) { return EngineAccess::SlotOf(address) != nullptr; }

void PadObjectArray(std::size_t count)
{
    auto& s = State();
    // Rooted, as a game's packages and assets are kept: collections leave them alone.
    while (s.liveAddresses.size() < count)
    {
        UObject* padding = NewObject(s.objectClass, EngineAccess::Package(L"/Game/Padding"));
        padding->GetObjectItem()->SetRootSet();
    }
}

void AddGarbageRoot(UObject* object) { State().garbageRoots.insert(object); }
void RemoveGarbageRoot(UObject* object) { State().garbageRoots.erase(object); }

std::size_t CollectGarbage(bool purge)
{
    auto& s = State();
    std::vector<bool> marked(static_cast<std::size_t>(s.numItems), false);
    std::vector<UObject*> work;
    ++s.stats.Collections;
    // A reference to a pending-kill object is let go, except an object's class and outer, which
    // the collector never eliminates (FGCReferenceProcessor::HandleObjectReference with
    // bAllowReferenceElimination false): whatever is reachable keeps its outer chain.
    auto markEvenIfPendingKill = [&](UObject* object, bool evenIfPendingKill) {
        auto* item = EngineAccess::SlotOf(object);
        if (item == nullptr || item->Object != object || (item->IsPendingKill() && !evenIfPendingKill))
        {
            return;
        }
        auto index = static_cast<std::size_t>(object->GetInternalIndex());
        if (!marked[index])
        {
            marked[index] = true;
            work.push_back(object);
        }
    };
    for (int32 index = 0; index < s.numItems; ++index)
    {
        auto* item = EngineAccess::Item(index);
        if (item->Object != nullptr && item->IsRootSet())
        {
            marked[static_cast<std::size_t>(index)] = true;
            work.push_back(item->Object);
        }
    }
    auto mark = [&](UObject* object) { markEvenIfPendingKill(object, false); };
    for (auto* root : s.garbageRoots)
    {
        mark(root);
    }
    s.collecting = true;
    std::vector<UObject*> references;
    while (!work.empty())
    {
        UObject* object = work.back();
        work.pop_back();
        markEvenIfPendingKill(object->GetClassPrivate(), true);
        markEvenIfPendingKill(object->GetOuter(), true);
        // A struct keeps its super and its functions; a class its default object.
        if (object->IsA(s.structClass))
        {
            auto* layout = static_cast<UStruct*>(object);
            mark(EngineAccess::Super(layout));
            for (UField* f = EngineAccess::Children(layout); f != nullptr; f = EngineAccess::Next(f))
            {
                mark(f);
            }
            if (object->IsA(s.classClass))
            {
                mark(EngineAccess::DefaultObject(static_cast<UClass*>(object)));
            }
        }
        references.clear();
        EngineAccess::CollectReferences(object->GetClassPrivate(), object, references);
        if (auto native = s.nativeReferences.find(object); native != s.nativeReferences.end())
        {
            native->second(references);
        }
        for (auto* referenced : references)
        {
            mark(referenced);
        }
    }
    std::size_t unreachable = 0;
    for (int32 index = 0; index < s.numItems; ++index)
    {
        auto* item = EngineAccess::Item(index);
        if (item->Object != nullptr && !marked[static_cast<std::size_t>(index)] && !item->IsUnreachable())
        {
            item->Flags |= static_cast<int32>(EInternalObjectFlags::Unreachable);
            ++unreachable;
        }
    }
    s.collecting = false;
    if (purge)
    {
        PurgeGarbage();
    }
    return unreachable;
}

std::size_t PurgeGarbage() { return PurgeUnreachable(false); }

void CollectGarbageInFrame()
{
    // The frame's own collection (ConditionalCollectGarbage in the world's tick) purges
    // incrementally: with the purge thread on, it finishes part of the work there while the
    // frame goes on. A map load's purge is whole before the load goes on.
    CollectGarbage(false);
    PurgeUnreachable(State().options.AsyncPurge);
}
} // namespace Sim

namespace Sim::Detail
{
std::size_t PurgeUnreachable(bool handOnPart)
{
    auto& s = State();
    s.collecting = true;
    std::size_t purged = 0;
    std::vector<std::pair<UObject*, int32>> handed;
    // Instances go before the fields and classes that describe them, classes last, so every
    // object is torn down by a class that still stands.
    enum class Pass
    {
        Instances,
        Fields,
        Classes
    };
    for (Pass pass : {Pass::Instances, Pass::Fields, Pass::Classes})
    {
        for (int32 index = 0; index < s.numItems; ++index)
        {
            auto* item = EngineAccess::Item(index);
            UObject* object = item->Object;
            if (object == nullptr || !item->IsUnreachable())
            {
                continue;
            }
            Pass due = object->IsA(s.classClass) ? Pass::Classes : object->IsA(s.fieldClass) ? Pass::Fields : Pass::Instances;
            if (due != pass)
            {
                continue;
            }
            // An object handed to the purge thread by an earlier purge is finished already.
            const int32 slot = EngineAccess::FinishDestroy(object);
            if (slot < 0)
            {
                continue;
            }
            ++purged;
            // Every other instance is left to the purge thread; types always die here.
            if (handOnPart && pass == Pass::Instances && purged % 2 == 1)
            {
                handed.emplace_back(object, slot);
            }
            else
            {
                EngineAccess::FreeObject(object, slot);
            }
        }
    }
    s.collecting = false;
    HandToPurgeThread(std::move(handed));
    return purged;
}
} // namespace Sim::Detail

namespace Sim
{

void FlushAsyncPurge() { WaitForPurgeThread(); }

void ShutdownObjectArray()
{
    auto& s = State();
    WaitForPurgeThread();
    std::lock_guard guard(s.listenerLock);
    for (std::size_t i = s.deleteListeners.size(); i-- > 0;)
    {
        if (i < s.deleteListeners.size())
        {
            s.deleteListeners[i]->OnUObjectArrayShutdown();
        }
    }
    if (!s.deleteListeners.empty())
    {
        FailCheck(L"All UObject delete listeners should be unregistered when shutting down the UObject array");
    }
    s.deleteListeners.clear();
    s.objectArrayShutDown = true;
}

void RefuseHooksOn(UFunction* function, bool refuse, CallbackId answer)
{
    if (auto* state = function ? EngineAccess::StateOf(function) : nullptr)
    {
        state->refuseHooks = refuse;
        state->refusalAnswer = answer;
    }
}

void RefuseTickCallbacks(bool refuse) { State().refuseTicks.store(refuse); }
void RefuseLoaderCallbacks(bool refuse) { State().refuseLoaderCallbacks.store(refuse); }
void RefuseConstructionAfter(int64 count) { State().constructionsBeforeRefusal = count; }

std::size_t ScriptHookCount()
{
    std::size_t count = 0;
    for (auto& state : State().functionStates)
    {
        count += state->hooks.size();
    }
    return count;
}

std::size_t TickCallbackCount() { return State().ticks.LiveCount(); }
std::size_t HeldTickCallbacks() { return State().ticks.HeldCount(); }
std::vector<Hook::FCallbackOptions> TickCallbackOptions() { return State().ticks.LiveOptions(); }
std::size_t ActorCallbackCount() { return State().beginPlay.LiveCount() + State().endPlay.LiveCount(); }
std::size_t MapCallbackCount() { return State().loadMap.LiveCount(); }

void SetCallbackCollectorPeriod(std::chrono::milliseconds period)
{
    auto& collector = State().callbackCollector;
    std::lock_guard guard(collector.lock);
    collector.period = period;
    collector.wake->notify_all();
}

void CollectStaleCallbacks()
{
    // The collector's pass, made at once on its own thread, as FCallbackGarbageCollector::Collect
    // with no limit; returns once it is done.
    auto& collector = State().callbackCollector;
    std::unique_lock guard(collector.lock);
    if (!collector.thread.joinable())
    {
        return;
    }
    collector.forced = true;
    collector.wake->notify_all();
    collector.wake->wait(guard, [&] { return !collector.forced || collector.stop; });
}
} // namespace Sim
