// The player's input as the engine holds it: the ignore counters, the mouse position a player
// controller reads, its mouse switches packed into one field with their neighbours, the input
// mode the widget library sets on each engine version, the cursor on screen, the key table with
// its modifiers, and the desktop's windows as the system's window queries read them.
// Each call is made as a mod makes it, through ProcessEvent with its own parameter block.
#include "support/EngineFixture.hpp"

#include <Sim/Input.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

// The key-state query as the mod reaches it, the system's on Windows.
#include "reflection/Host.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

// A script call with a parameter block the test fills and reads back.
class ScriptCall
{
  public:
    ScriptCall(UObject* target, const wchar_t* function) : target_(target)
    {
        for (const UStruct* s = target->GetClassPrivate(); function_ == nullptr && s != nullptr; s = s->GetSuperStruct())
        {
            function_ = Sim::FindFunctionByPath(s->GetPathName() + L":" + function);
        }
        EXPECT_NE(function_, nullptr) << Sim::ToUtf8(function);
        parms_.assign(function_ != nullptr ? function_->GetParmsSize() + 8u : 8u, 0);
    }

    FProperty* Param(const wchar_t* name) const
    {
        return function_ != nullptr ? Sim::FindPropertyUncounted(function_, name) : nullptr;
    }
    template <typename T> T& At(const wchar_t* name)
    {
        FProperty* p = Param(name);
        EXPECT_NE(p, nullptr) << Sim::ToUtf8(name);
        return *reinterpret_cast<T*>(parms_.data() + (p != nullptr ? p->GetOffset_Internal() : 0));
    }
    ScriptCall& Bool(const wchar_t* name, bool value)
    {
        static_cast<FBoolProperty*>(Param(name))->SetPropertyValue(&At<uint8>(name), value);
        return *this;
    }
    bool Result() { return static_cast<FBoolProperty*>(Param(L"ReturnValue"))->GetPropertyValue(&At<uint8>(L"ReturnValue")); }
    ScriptCall& Run()
    {
        if (function_ != nullptr)
        {
            target_->ProcessEvent(function_, parms_.data());
        }
        return *this;
    }

  private:
    UObject* target_;
    UFunction* function_ = nullptr;
    std::vector<uint8> parms_;
};

void SetIgnore(UObject* controller, const wchar_t* function, const wchar_t* parameter, bool value)
{
    ScriptCall(controller, function).Bool(parameter, value).Run();
}

bool Asks(UObject* controller, const wchar_t* function) { return ScriptCall(controller, function).Run().Result(); }

// A bool member of an object, read and written as the engine's reflection does.
struct MemberFlag
{
    MemberFlag(UObject* owner, const wchar_t* name)
        : object(owner), bit(dynamic_cast<FBoolProperty*>(Sim::FindPropertyUncounted(owner->GetClassPrivate(), name)))
    {
    }
    bool Get() const { return bit->GetPropertyValue(bit->ContainerPtrToValuePtr<void>(object)); }
    void Set(bool value) const { bit->SetPropertyValue(bit->ContainerPtrToValuePtr<void>(object), value); }

    UObject* object;
    FBoolProperty* bit;
};

class PlayerInput : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        world_ = Sim::CreateWorld(L"Field");
        player_ = Sim::EnterLocalPlayer(world_);
    }

    UWorld* world_ = nullptr;
    Sim::EnteredPlayer player_;
};

TEST_F(PlayerInput, IgnoreCountersNeedAClearForEverySetAndNeverGoBelowZero)
{
    UObject* controller = player_.controller;
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", true);
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", true);
    EXPECT_EQ(Sim::InputStateOf(controller).ignoreMove, 2);
    EXPECT_FALSE(Asks(controller, L"IsLookInputIgnored")) << "move and look count apart";
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", false);
    EXPECT_TRUE(Asks(controller, L"IsMoveInputIgnored")) << "two sets need two clears";
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", false);
    EXPECT_FALSE(Asks(controller, L"IsMoveInputIgnored"));
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", false);
    SetIgnore(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", true);
    EXPECT_TRUE(Asks(controller, L"IsMoveInputIgnored")) << "a clear too many must not leave the counter below zero";

    // The game's own cutscene ignores look input: a mod's clear gives back only its own set.
    Sim::IgnoreInput(controller, false, true);
    SetIgnore(controller, L"SetIgnoreLookInput", L"bNewLookInput", true);
    SetIgnore(controller, L"SetIgnoreLookInput", L"bNewLookInput", false);
    EXPECT_TRUE(Asks(controller, L"IsLookInputIgnored"));
    const Sim::ControllerInput state = Sim::InputStateOf(controller);
    EXPECT_EQ(state.ignoreLook, 1);
    EXPECT_EQ(state.ignoreMove, 1);
}

TEST_F(PlayerInput, ALocalControllerPossessingAPawnGetsItsInputBackAndARemoteOneDoesNot)
{
    UObject* remote = Sim::CreatePlayerController(world_, Sim::ControllerKind::Game, false);
    for (UObject* controller : {player_.controller, remote})
    {
        Sim::IgnoreInput(controller, true, true);
    }
    Sim::Respawn(player_.controller);
    Sim::Possess(remote, Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter"));
    EXPECT_FALSE(Asks(player_.controller, L"IsMoveInputIgnored"));
    EXPECT_FALSE(Asks(player_.controller, L"IsLookInputIgnored"));
    EXPECT_TRUE(Asks(remote, L"IsMoveInputIgnored")) << "only a local controller restarts at once";
    EXPECT_TRUE(Asks(remote, L"IsLookInputIgnored"));
}

TEST_F(PlayerInput, OnlyALocalPlayersControllerReadsTheMouseAndOnlyOverTheViewport)
{
    auto read = [](UObject* controller, bool& found) {
        ScriptCall call(controller, L"GetMousePosition");
        call.At<float>(L"LocationX") = 7;
        call.At<float>(L"LocationY") = 7;
        found = call.Run().Result();
        return std::pair{call.At<float>(L"LocationX"), call.At<float>(L"LocationY")};
    };
    bool found = true;
    auto at = read(player_.controller, found);
    EXPECT_FALSE(found) << "no mouse after a reset";
    EXPECT_EQ(at, (std::pair{7.0f, 7.0f})) << "without a position the caller's values stay";

    Sim::SetMousePosition(640.75, 360.5);
    at = read(player_.controller, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(at, (std::pair{640.0f, 360.0f})) << "the viewport keeps whole pixels";

    Sim::SetMousePosition(-0.5, 10);
    read(player_.controller, found);
    EXPECT_FALSE(found) << "left of the viewport";

    Sim::SetMousePosition(100, 200);
    UObject* remote = Sim::CreatePlayerController(world_, Sim::ControllerKind::Game, false);
    read(remote, found);
    EXPECT_FALSE(found) << "a remote controller has no viewport";
    Sim::SetObjectReference(player_.controller, L"Player", nullptr);
    read(player_.controller, found);
    EXPECT_FALSE(found) << "the engine asks the controller's Player for its viewport";
    Sim::SetObjectReference(player_.controller, L"Player", Sim::LocalPlayer());
    Sim::ClearMousePosition();
    read(player_.controller, found);
    EXPECT_FALSE(found);
}

TEST_F(PlayerInput, MouseSwitchesShareOneFieldWithTheirNeighboursAndWritesKeepThem)
{
    UObject* controller = player_.controller;
    std::vector<MemberFlag> bits;
    for (const wchar_t* name : {L"bShowMouseCursor", L"bEnableClickEvents", L"bEnableTouchEvents", L"bEnableMouseOverEvents",
                                L"bEnableTouchOverEvents", L"bForceFeedbackEnabled"})
    {
        bits.push_back(MemberFlag(controller, name));
        ASSERT_NE(bits.back().bit, nullptr) << Sim::ToUtf8(name);
        EXPECT_EQ(bits.back().bit->GetElementSize(), 4) << "a uint32 bitfield: " << Sim::ToUtf8(name);
        EXPECT_EQ(bits.back().bit->GetOffset_Internal(), bits.front().bit->GetOffset_Internal()) << Sim::ToUtf8(name);
        EXPECT_FALSE(bits.back().bit->IsNativeBool());
    }
    const std::vector<bool> fresh = {false, false, true, false, false, true};
    for (std::size_t i = 0; i < bits.size(); ++i)
    {
        EXPECT_EQ(bits[i].Get(), fresh[i]) << "a new controller, bit " << i;
    }
    for (std::size_t i : {0u, 1u, 3u})
    {
        bits[i].Set(true);
    }
    bits[1].Set(false);
    const Sim::ControllerInput state = Sim::InputStateOf(controller);
    EXPECT_TRUE(state.showMouseCursor && state.mouseOverEvents);
    EXPECT_FALSE(state.clickEvents);
    EXPECT_TRUE(bits[2].Get() && bits[5].Get()) << "touch and force feedback stay on";
    EXPECT_FALSE(bits[4].Get());
}

// Where two screenshots differ: how many pixels, and the box around them.
struct Difference
{
    int pixels = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Difference Compare(const Sim::RenderTargetImage& a, const Sim::RenderTargetImage& b)
{
    Difference d;
    for (int y = 0; y < a.height; ++y)
    {
        for (int x = 0; x < a.width; ++x)
        {
            const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(x)) * 4;
            if (std::memcmp(&a.rgba[at], &b.rgba[at], 3) != 0)
            {
                ++d.pixels, d.left = std::min(d.left, x), d.top = std::min(d.top, y);
                d.right = std::max(d.right, x), d.bottom = std::max(d.bottom, y);
            }
        }
    }
    return d;
}

const uint8* Pixel(const Sim::RenderTargetImage& image, int x, int y)
{
    return &image.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4];
}

// The cursor drawn over everything at the mouse, and nothing without the controller's switch
// or without a mouse over the viewport.
TEST_F(PlayerInput, TheScreenShowsTheCursorOnlyWhenTheControllerAsksAndTheMouseIsThere)
{
    // A red HUD over the whole viewport, under the cursor.
    UObject* hud = Sim::NewObject(Sim::FindClass(L"/Script/UMG.UserWidget"), reinterpret_cast<UObject*>(world_));
    UObject* tree = Sim::NewObject(Sim::FindClass(L"/Script/UMG.WidgetTree"), hud);
    UObject* red = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Image"), tree);
    const float colour[4] = {1, 0, 0, 1};
    std::memcpy(Sim::FindMemberByPath(red, L"ColorAndOpacity").address, colour, sizeof(colour));
    Sim::SetObjectReference(hud, L"WidgetTree", tree);
    Sim::SetObjectReference(tree, L"RootWidget", red);
    Sim::AddViewportContent(hud, 50);
    Sim::RenderTargetImage plain, shot;
    Sim::RenderScreen(plain);
    ASSERT_EQ(Pixel(plain, 300, 200)[0], 255) << "the HUD is there";

    Sim::SetMousePosition(300.6, 200.2);
    Sim::RenderScreen(shot);
    EXPECT_EQ(Compare(plain, shot).pixels, 0) << "the game hides the cursor by default";

    MemberFlag(player_.controller, L"bShowMouseCursor").Set(true);
    Sim::RenderScreen(shot);
    const Difference cursor = Compare(plain, shot);
    EXPECT_GT(cursor.pixels, 40);
    EXPECT_EQ(cursor.left, 300);
    EXPECT_EQ(cursor.top, 200);
    EXPECT_LE(cursor.right, 300 + 16);
    EXPECT_GE(cursor.bottom, 200 + 12);
    EXPECT_LE(cursor.bottom, 200 + 20);
    EXPECT_EQ(Pixel(shot, 300, 200)[0], 0) << "the tip is outline, over the HUD";
    EXPECT_EQ(Pixel(shot, 301, 205)[0], 255) << "the inside is white";
    EXPECT_EQ(Pixel(shot, 301, 205)[2], 255);

    Sim::ClearMousePosition();
    Sim::RenderScreen(shot);
    EXPECT_EQ(Compare(plain, shot).pixels, 0) << "no mouse over the viewport";
}

// Which engines declare the flush parameter, and what the call does for each controller.
class InputMode : public PlayerInput, public ::testing::WithParamInterface<std::pair<int, int>>
{
  protected:
    void SetUp() override
    {
        StartEngine(GetParam().first, GetParam().second);
        world_ = Sim::CreateWorld(L"Field");
        player_ = Sim::EnterLocalPlayer(world_);
        library_ = Sim::FindClass(L"/Script/UMG.WidgetBlueprintLibrary")->GetClassDefaultObject();
    }

    void GameOnly(UObject* controller, bool flush)
    {
        ScriptCall call(library_, L"SetInputMode_GameOnly");
        call.At<UObject*>(L"PlayerController") = controller;
        if (call.Param(L"bFlushInput") != nullptr)
        {
            call.Bool(L"bFlushInput", flush);
        }
        call.Run();
    }

    UObject* library_ = nullptr;
};

TEST_P(InputMode, GameOnlyTakesTheFlushWhereTheEngineDeclaresItAndActsOnALocalControllerOnly)
{
    const bool declaresFlush = GetParam().first >= 5;
    EXPECT_EQ(ScriptCall(library_, L"SetInputMode_GameOnly").Param(L"bFlushInput") != nullptr, declaresFlush);
    auto* x = dynamic_cast<FFloatProperty*>(ScriptCall(player_.controller, L"GetMousePosition").Param(L"LocationX"));
    EXPECT_NE(x, nullptr) << "the mouse position is a float on every engine";

    EXPECT_TRUE(Sim::GameViewportHasFocus());
    Sim::TakeGameViewportFocus();
    UObject* remote = Sim::CreatePlayerController(world_, Sim::ControllerKind::Game, false);
    GameOnly(nullptr, true);
    GameOnly(remote, true);
    EXPECT_FALSE(Sim::GameViewportHasFocus()) << "neither a null nor a remote controller moves the focus";
    EXPECT_EQ(Sim::InputStateOf(remote).mode, Sim::InputMode::Unchanged);
    EXPECT_EQ(Sim::InputStateOf(remote).flushes, 0);

    EXPECT_EQ(Sim::InputStateOf(player_.controller).mode, Sim::InputMode::Unchanged);
    GameOnly(player_.controller, true);
    GameOnly(player_.controller, false);
    EXPECT_TRUE(Sim::GameViewportHasFocus());
    EXPECT_EQ(Sim::InputStateOf(player_.controller).mode, Sim::InputMode::GameOnly);
    EXPECT_EQ(Sim::InputStateOf(player_.controller).flushes, declaresFlush ? 1 : 0);

    Sim::TakeGameViewportFocus();
    ScriptCall(library_, L"SetFocusToGameViewport").Run();
    EXPECT_TRUE(Sim::GameViewportHasFocus());
}

INSTANTIATE_TEST_SUITE_P(Engines, InputMode, ::testing::Values(std::pair{4, 27}, std::pair{5, 1}, std::pair{5, 5}),
                         [](const auto& engine) {
                             return "UE" + std::to_string(engine.param.first) + "_" + std::to_string(engine.param.second);
                         });

// The program's own calls read the simulated keys on every system: on Windows through its
// imports, which the engine routes as it starts.
TEST(KeyTable, TheSystemsKeyStateIsTheSimulatedPlayersFromTheEnginesStart)
{
    Sim::ResetEngine();
    Sim::SetKeyDown(0x41, true);
    Sim::SetKeyDown(VK_LBUTTON, true);
    EXPECT_EQ(static_cast<unsigned short>(GetAsyncKeyState(0x41)) & 0x8000u, 0x8000u);
    EXPECT_NE(static_cast<unsigned short>(GetAsyncKeyState(VK_LBUTTON)) & 0x8000u, 0u);
    EXPECT_EQ(GetAsyncKeyState(0x42), 0);
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    EXPECT_EQ(GetAsyncKeyState(256 + 0x41), 0) << "codes wrap nowhere";
    Sim::SetKeyDown(0x41, false);
    EXPECT_EQ(GetAsyncKeyState(0x41), 0);
    Sim::ResetEngine();
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0) << "a new engine starts with every key up";
}

TEST(KeyTable, NamesKeysAsWindowsDoesAndRefusesAnythingElse)
{
    const std::vector<std::pair<std::string, int>> known = {
        {"left", 0x01},        {"VK_LBUTTON", 0x01},    {"VK_RETURN", 0x0D},   {"VK_ESCAPE", 0x1B},   {"VK_BACK", 0x08},
        {"VK_DELETE", 0x2E},   {"VK_OEM_PERIOD", 0xBE}, {"VK_DECIMAL", 0x6E},  {"VK_NUMPAD0", 0x60},  {"VK_NUMPAD9", 0x69},
        {"0", 0x30},           {"9", 0x39},             {"A", 0x41},           {"Z", 0x5A},           {"0x41", 0x41},
        {"0X0d", 0x0D},        {"0x01", 0x01},          {"0xFE", 0xFE},        {"VK_SHIFT", 0x10},    {"VK_CONTROL", 0x11},
        {"VK_MENU", 0x12},     {"VK_LSHIFT", 0xA0},     {"VK_RSHIFT", 0xA1},   {"VK_LCONTROL", 0xA2}, {"VK_RCONTROL", 0xA3},
        {"VK_LMENU", 0xA4},    {"VK_RMENU", 0xA5},      {"VK_OEM_PLUS", 0xBB}, {"VK_OEM_MINUS", 0xBD}};
    for (const auto& [name, code] : known)
    {
        EXPECT_EQ(Sim::KeyCodeByName(name), code) << name;
    }
    for (const std::string junk : {"", "a", "z", "vk_return", "VK_", "VK_RETURN ", "10", "AB", "0x", "0x0", "0xFF", "0x100",
                                   "0x4G", "-1", "0x-1", "Left"})
    {
        EXPECT_EQ(Sim::KeyCodeByName(junk), -1) << "'" << junk << "'";
    }
}

bool Down(int key) { return (static_cast<unsigned short>(GetAsyncKeyState(key)) & 0x8000u) != 0; }

// A keyboard has only sided modifier keys; the system reads the generic code as either side.
TEST(KeyTable, ASidedModifierReadsThroughItsGenericCodeAndNotTheOtherWayRound)
{
    ORV_SKIP_WITHOUT_SIMULATED_KEYS();
    Sim::ResetEngine();
    const struct
    {
        int generic, left, right;
    } modifiers[] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, {VK_MENU, VK_LMENU, VK_RMENU}};
    for (const auto& m : modifiers)
    {
        SCOPED_TRACE(m.generic);
        Sim::SetKeyDown(m.left, true);
        EXPECT_TRUE(Down(m.generic));
        EXPECT_TRUE(Down(m.left));
        EXPECT_FALSE(Down(m.right));
        Sim::SetKeyDown(m.right, true);
        Sim::SetKeyDown(m.left, false);
        EXPECT_TRUE(Down(m.generic)) << "the right key holds it alone";
        EXPECT_FALSE(Down(m.left));
        Sim::SetKeyDown(m.right, false);
        EXPECT_FALSE(Down(m.generic));

        Sim::SetKeyDown(m.generic, true);
        EXPECT_TRUE(Down(m.generic));
        EXPECT_FALSE(Down(m.left)) << "the generic code presses neither side";
        EXPECT_FALSE(Down(m.right));
        Sim::SetKeyDown(m.generic, false);
        for (const auto& other : modifiers)
        {
            EXPECT_FALSE(Down(other.generic)) << "nothing is left down";
        }
    }
    Sim::SetKeyDown(VK_LCONTROL, true);
    EXPECT_FALSE(Down(VK_SHIFT)) << "each side reads through its own modifier only";
    EXPECT_FALSE(Down(VK_MENU));
    EXPECT_FALSE(Down(0x4D));
}

// The desktop as the mod asks it, window by window: the handle in front, its owner against the
// process's own id, and its class.
class Desktop : public OrvTest::EngineFixture
{
  protected:
    struct Owner
    {
        DWORD thread = 0;
        DWORD process = 0;
    };
    static Owner OwnerOf(HWND window)
    {
        Owner owner{0, 0xDEADBEEF};
        owner.thread = GetWindowThreadProcessId(window, &owner.process);
        return owner;
    }
    static std::wstring ClassOf(HWND window)
    {
        wchar_t name[32];
        const int copied = GetClassNameW(window, name, 32);
        return std::wstring(name, static_cast<std::size_t>(copied > 0 ? copied : 0));
    }
};

TEST_F(Desktop, EachWindowInFrontReportsItsHandleOwnerAndClassAndNoneReportsNothing)
{
    const struct
    {
        Sim::Foreground which;
        bool ours;
        const wchar_t* className;
    } windows[] = {
        {Sim::Foreground::Game, true, L"UnrealWindow"},
        {Sim::Foreground::GameConsole, true, L"ConsoleWindowClass"},
        {Sim::Foreground::OtherProgram, false, L"Chrome_WidgetWin_1"},
    };
    std::vector<HWND> handles;
    for (const auto& w : windows)
    {
        SCOPED_TRACE(Sim::ToUtf8(w.className));
        Sim::SetForegroundWindow(w.which);
        EXPECT_EQ(Sim::CurrentForeground(), w.which);
        HWND window = GetForegroundWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(std::count(handles.begin(), handles.end(), window), 0) << "each window has its own handle";
        handles.push_back(window);
        const Owner owner = OwnerOf(window);
        EXPECT_NE(owner.thread, 0u);
        EXPECT_EQ(owner.process == GetCurrentProcessId(), w.ours);
        EXPECT_NE(owner.process, 0xDEADBEEFu);
        EXPECT_NE(owner.process, 0u);
        EXPECT_EQ(ClassOf(window), w.className);
        EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), owner.thread) << "the process id is optional";
    }
    EXPECT_NE(OwnerOf(handles[0]).thread, OwnerOf(handles[2]).thread) << "another program's window has another thread";

    Sim::SetForegroundWindow(Sim::Foreground::None);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    const Owner none = OwnerOf(nullptr);
    EXPECT_EQ(none.thread, 0u);
    EXPECT_EQ(none.process, 0xDEADBEEFu) << "no window, nothing stored";
    EXPECT_EQ(ClassOf(nullptr), L"");

    // Windows stay where they are while others come to the front, for the engine's life.
    for (std::size_t i = 0; i < handles.size(); ++i)
    {
        Sim::SetForegroundWindow(windows[i].which);
        Sim::TickEngine(0.016f);
        EXPECT_EQ(GetForegroundWindow(), handles[i]);
        EXPECT_EQ(ClassOf(handles[i]), windows[i].className) << "a window behind keeps its class";
    }
    EXPECT_EQ(OwnerOf(handles[0]).process, GetCurrentProcessId()) << "the game's window, asked about from behind";
}

TEST_F(Desktop, ClassNamesAreCutToTheBufferAndAHandleThatIsNoWindowFails)
{
    HWND game = GetForegroundWindow();
    wchar_t name[32];
    std::wmemset(name, L'#', 32);
    EXPECT_EQ(GetClassNameW(game, name, 7), 6) << "six characters and the terminator";
    EXPECT_EQ(std::wstring(name), L"Unreal");
    EXPECT_EQ(name[7], L'#') << "nothing past the buffer";
    EXPECT_EQ(GetClassNameW(game, name, 13), 12);
    EXPECT_EQ(std::wstring(name), L"UnrealWindow");
    EXPECT_EQ(GetClassNameW(game, name, 12), 11) << "one short of the terminator";
    EXPECT_EQ(std::wstring(name), L"UnrealWindo");
    std::wmemset(name, L'#', 32);
    EXPECT_EQ(GetClassNameW(game, name, 1), 0);
    EXPECT_EQ(name[0], L'\0') << "room for the terminator alone";
    EXPECT_EQ(name[1], L'#');

    std::wmemset(name, L'#', 32);
    EXPECT_EQ(GetClassNameW(game, name, 0), 0);
    EXPECT_EQ(GetClassNameW(game, name, -5), 0);
    EXPECT_EQ(GetClassNameW(game, nullptr, 32), 0);
    // A handle that is no window: a number near the desktop's own, and a stray pointer.
    for (HWND stray : {reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(game) + 2), reinterpret_cast<HWND>(&name[0])})
    {
        EXPECT_EQ(GetClassNameW(stray, name, 32), 0);
        DWORD process = 7;
        EXPECT_EQ(GetWindowThreadProcessId(stray, &process), 0u);
        EXPECT_EQ(process, 7u);
    }
    EXPECT_EQ(name[0], L'#') << "a failed call writes nothing";
}

TEST_F(Desktop, AFreshEngineHasTheGameInFrontAndKeysReadWhateverWindowIsInFront)
{
    Sim::SetForegroundWindow(Sim::Foreground::OtherProgram);
    Sim::SetKeyDown('M', true);
    EXPECT_TRUE(Down('M')) << "the key state is the whole system's";
    Sim::SetForegroundWindow(Sim::Foreground::None);
    EXPECT_TRUE(Down('M'));

    Sim::ResetEngine();
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::Game);
    HWND window = GetForegroundWindow();
    ASSERT_NE(window, nullptr);
    DWORD process = 0;
    EXPECT_NE(GetWindowThreadProcessId(window, &process), 0u);
    EXPECT_EQ(process, GetCurrentProcessId());
    wchar_t name[32] = {};
    EXPECT_EQ(GetClassNameW(window, name, 32), 12);
    EXPECT_EQ(std::wstring(name), L"UnrealWindow");
}
} // namespace
