// What an edit leaves in state.ini: the frame's place as fractions of the room the viewport
// leaves it (an edge where there is no room), its size, shape and brightness trim, and the
// zoom of the camera mode the player is in, all read back from the file itself.
#include "widget/WidgetFixture.hpp"

#include <string>

namespace
{
using namespace OrvTest;

class Commit : public WidgetFixture
{
  protected:
    static std::string Saved(const std::string& key) { return SavedSetting(key); }
};

TEST_F(Commit, ThePlaceIsSavedAsFractionsOfTheFreeRoomWithTheSizeShapeTrimAndOpenZoom)
{
    StartHud();
    // A 400-unit map on 1920 × 1080 leaves 1920 − 419 = 1501 across and 1080 − 442 = 638 down.
    widgetMod_->SetMapSize(400.0);
    widgetMod_->SetFramePosition(750.5, 319.0);
    widgetMod_->workingBrightnessTrim = 1.5f;
    widgetMod_->workingCircular = false;
    widgetMod_->workingZoom = 6500.0f;
    widgetMod_->CommitLayoutAndSave();
    EXPECT_EQ(Saved("PositionX"), "0.5");
    EXPECT_EQ(Saved("PositionY"), "0.5");
    EXPECT_EQ(Saved("Size"), "400");
    EXPECT_EQ(Saved("BrightnessTrim"), "1.5");
    EXPECT_EQ(Saved("Circular"), "0");
    EXPECT_EQ(Saved("Zoom"), "6500") << "in the open the open zoom takes it";
    EXPECT_EQ(Saved("IndoorZoom"), "3500");
    EXPECT_EQ(Saved("DungeonZoom"), "2500");

    // Pushed past the far edges, the frame sits on them: the whole room, both ways.
    widgetMod_->SetFramePosition(5000.0, 5000.0);
    widgetMod_->CommitLayoutAndSave();
    EXPECT_EQ(Saved("PositionX"), "1");
    EXPECT_EQ(Saved("PositionY"), "1");
}

// Where the viewport leaves the frame no room on an axis, that axis is saved at its near edge
// rather than as a division by nothing.
struct NoRoom
{
    int wide, high;
    double x, y;
    const char* positionX;
    const char* positionY;
};

class CommitWithoutRoom : public Commit, public ::testing::WithParamInterface<NoRoom>
{
};

TEST_P(CommitWithoutRoom, TheAxisWithoutRoomIsSavedAtItsEdge)
{
    const NoRoom& room = GetParam();
    StartHud(room.wide, room.high);
    widgetMod_->SetFramePosition(room.x, room.y);
    widgetMod_->CommitLayoutAndSave();
    EXPECT_EQ(Saved("Size"), "160");
    EXPECT_EQ(Saved("PositionX"), room.positionX);
    EXPECT_EQ(Saved("PositionY"), room.positionY);
}

// The smallest map (160) on 300 × 200 leaves 121 across and nothing down (200 < 202); on
// 170 × 400 nothing across (170 < 179) and 198 down.
INSTANTIATE_TEST_SUITE_P(Viewports, CommitWithoutRoom,
                         ::testing::Values(NoRoom{300, 200, 60.5, 0.0, "0.5", "0"}, NoRoom{170, 400, 0.0, 99.0, "0", "0.5"}),
                         [](const auto& room) { return room.param.high < room.param.wide ? "NoneDown" : "NoneAcross"; });

TEST_F(Commit, TheZoomLandsInTheModeTheCameraIsIn)
{
    StartHud();
    Orv::CameraState& camera = widgetMod_->MutableSession().camera;
    camera.zoomOverrideActive = true;
    widgetMod_->workingZoom = 4000.0f;
    widgetMod_->CommitLayoutAndSave();
    EXPECT_EQ(Saved("IndoorZoom"), "4000") << "indoors";
    EXPECT_EQ(Saved("Zoom"), "8000");

    camera.inDungeon = true;
    widgetMod_->workingZoom = 2000.0f;
    widgetMod_->CommitLayoutAndSave();
    EXPECT_EQ(Saved("DungeonZoom"), "2000") << "underground, whatever the indoor override says";
    EXPECT_EQ(Saved("IndoorZoom"), "4000");
    EXPECT_EQ(Saved("Zoom"), "8000");
}
} // namespace
