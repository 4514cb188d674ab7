// The game viewport the HUD is drawn into: its size in pixels, its DPI scale, and the z-order
// each widget was added with. The UMG classes a mod builds its widgets from are defined with
// the default game.
#pragma once

#include <Sim/Engine.hpp>

#include <optional>

namespace Sim
{
struct ViewportSize
{
    int32 width = 1920;
    int32 height = 1080;
};

// Pixels of the game viewport; 1920 × 1080 after ResetEngine.
UE4SS_API ViewportSize ViewportPixels();
UE4SS_API void SetViewportPixels(int32 width, int32 height);
// The DPI scale the engine lays widgets out with: by default its curve for the viewport's
// shortest side (1080 pixels → 1.0, 2160 → 2.0). A set value (0 included, as a broken
// viewport client reports) stays until ResetEngine or ResetViewportScale.
UE4SS_API float ViewportScale();
UE4SS_API void SetViewportScale(float scale);
UE4SS_API void ResetViewportScale();
// The z-order the widget was added to the viewport with; none when it is not in the viewport.
// AddToViewport puts a widget ten layers above its z-order, clear of the engine's own controls.
UE4SS_API std::optional<int32> ViewportZOrder(const UObject* widget);
// The game's own code putting a user widget straight among the viewport's layers
// (UGameViewportClient::AddViewportWidgetContent), as a game does with its own screens; its
// screen is built there and then, and its z-order reads as that layer.
UE4SS_API void AddViewportContent(UObject* userWidget, int32 layer);
// The player a user widget was given with SetOwningPlayer, if that player is still live.
UE4SS_API UObject* OwningPlayerOf(const UObject* userWidget);
} // namespace Sim
