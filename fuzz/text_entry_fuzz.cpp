// Fuzzing the edit mode's text entry as a player works it: the bytes are a stream of key taps
// (digits on either row, both points, both erase keys, Enter, Escape, keys the entry ignores),
// clicks on the three value fields (some with a digit held down through them), RESET DEFAULTS
// and LOCK/EDIT, and idle engine frames. The engine and the mod start once per process; every
// input starts from the edit mode on, nothing typed and the default values, reached through the
// same clicks a player would make.
//
// After every event the fuzzer reads what the engine holds (the captions of the value fields
// and of the edit button, state.ini on disk) and requires:
// - a field being typed shows the last characters typed and the cursor mark, all of them up to
//   ten and never more than the engine draws inside the field, only digits and at most one
//   point, and a point only in QUALITY;
// - a field not being typed shows a value in range, the rates as whole numbers;
// - state.ini reads back complete with the mod's own reader, its three values in range and
//   equal to what the panel shows, everything else as it was;
// - and all of it exactly as a model of the entry rules kept here, apart from the mod, says.
#include "mod/LiveOrvantaMod.hpp"
#include "settings/ModSettings.hpp"
#include "settings/SettingsFile.hpp"
#include "widget/Controls.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Input.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// Names the check that failed, since a crash's stack shows only the function.
void Require(bool condition, int line = __builtin_LINE())
{
    if (condition) return;
    std::fprintf(stderr, "text_entry_fuzz: the check at line %d failed\n", line);
    std::abort();
}

constexpr std::size_t kMaxEvents = 64;
constexpr std::size_t kMaxTyped = 15;
// On this fuzzer's 1920 by 1080 screen a field shows at least this many typed digits.
constexpr std::size_t kTypedThatFit = 10;
constexpr float kFrameSeconds = 1.0f / 60.0f;
constexpr float kQualityDefault = 4.0f;
constexpr float kRateDefault = 60.0f;
// The smallest map: the stand-in's pictures of it cost the least, and the entry does not
// depend on it.
constexpr double kMapSize = 160.0;

// The keys by the engine's own key table.
struct Keys
{
    int left = Sim::KeyCodeByName("left");
    int enter = Sim::KeyCodeByName("VK_RETURN");
    int escape = Sim::KeyCodeByName("VK_ESCAPE");
    int back = Sim::KeyCodeByName("VK_BACK");
    int del = Sim::KeyCodeByName("VK_DELETE");
    int period = Sim::KeyCodeByName("VK_OEM_PERIOD");
    int decimal = Sim::KeyCodeByName("VK_DECIMAL");
    int numpad0 = Sim::KeyCodeByName("VK_NUMPAD0");
    // Keys next to the ones the entry takes, and ones a player types numbers with elsewhere.
    std::array<int, 8> ignored = {Sim::KeyCodeByName("A"),           Sim::KeyCodeByName("VK_MULTIPLY"),
                                  Sim::KeyCodeByName("VK_SUBTRACT"), Sim::KeyCodeByName("0x3A"),
                                  Sim::KeyCodeByName("VK_SPACE"),    Sim::KeyCodeByName("VK_OEM_MINUS"),
                                  Sim::KeyCodeByName("VK_OEM_COMMA"), Sim::KeyCodeByName("VK_ADD")};
};

enum Field : std::size_t
{
    kMapFps,
    kIconFps,
    kQuality,
    kNoField,
};
constexpr std::array<std::size_t, 3> kFieldControls = {Orv::kCaptureRateField, Orv::kMarkerRateField,
                                                       Orv::kRenderScaleField};

std::string Formatted(Field field, float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), field == kQuality ? "%.2f" : "%.0f", static_cast<double>(value));
    return text;
}

// What the player should see and what state.ini should hold, by the entry's rules.
struct Model
{
    bool editMode = true;
    Field typing = kNoField;
    std::string text;
    bool replacePending = false;
    std::array<float, 3> values = {kRateDefault, kRateDefault, kQualityDefault};
    // The quality the map's picture was last sized for: a change of the quality by less than
    // a thousandth leaves the picture as it is.
    float sizedQuality = kQualityDefault;

    bool AtStart() const
    {
        return editMode && typing == kNoField && values[kMapFps] == kRateDefault && values[kIconFps] == kRateDefault &&
               values[kQuality] == kQualityDefault;
    }

    void TakeReplacement()
    {
        if (replacePending)
        {
            text.clear();
            replacePending = false;
        }
    }

    void Digit(int digit)
    {
        if (typing == kNoField) return;
        TakeReplacement();
        if (text.size() < kMaxTyped) text.push_back(static_cast<char>('0' + digit));
    }

    void Point()
    {
        if (typing != kQuality) return;
        if (!replacePending && text.find('.') != std::string::npos) return;
        TakeReplacement();
        if (text.empty()) text = "0";
        if (text.size() < kMaxTyped) text.push_back('.');
    }

    void Erase()
    {
        if (typing == kNoField) return;
        if (replacePending)
        {
            TakeReplacement();
        }
        else if (!text.empty())
        {
            text.pop_back();
        }
    }

    // Rates limited to 1 … 240 and rounded, halves away from zero; the quality limited to
    // 0.25 … 4; all in single precision, as the settings keep them.
    void Apply(float mapFps, float iconFps, float quality)
    {
        const auto rate = [](float fps) { return std::round(std::clamp(fps, 1.0f, 240.0f)); };
        const float previous = values[kQuality];
        values = {rate(mapFps), rate(iconFps), std::clamp(quality, 0.25f, 4.0f)};
        if (std::abs(values[kQuality] - previous) >= 0.001f) sizedQuality = values[kQuality];
    }

    void End(bool commit)
    {
        if (typing == kNoField) return;
        char* end = nullptr;
        const float typed = text.empty() ? 0.0f : std::strtof(text.c_str(), &end);
        if (commit && !text.empty() && end == text.c_str() + text.size() && std::isfinite(typed))
        {
            std::array<float, 3> next = values;
            next[typing] = typed;
            Apply(next[0], next[1], next[2]);
        }
        typing = kNoField;
        text.clear();
        replacePending = false;
    }

    void ClickField(Field field)
    {
        if (!editMode) return;
        if (typing != field) End(true);
        typing = field;
        text = Formatted(field, values[field]);
        replacePending = true;
    }

    void ClickReset()
    {
        if (!editMode) return;
        End(true);
        Apply(60.0f, 60.0f, 4.0f);
    }

    void ClickEdit()
    {
        End(true);
        editMode = !editMode;
    }

    std::string Caption(Field field) const { return Formatted(field, values[field]); }
};

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
    {
        Require(c > 0 && c < 0x80);
        narrow.push_back(static_cast<char>(c));
    }
    return narrow;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    return std::move(bytes).str();
}

// The value of a key's line as written, without its line end; empty when missing.
std::string SavedLine(const std::string& file, const std::string& key)
{
    const std::string start = "\n" + key + "=";
    const std::size_t at = file.find(start);
    if (at == std::string::npos) return {};
    const std::size_t from = at + start.size();
    const std::size_t to = file.find("\r\n", from);
    return file.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// The player, the mod and what the fuzzer reads back, for the whole process.
class Session
{
  public:
    Session()
    {
        std::error_code error;
        const fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        folder_ = base / ("orvanta-text-entry-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(folder_, error);
        fs::create_directories(folder_);
        Orv::UseSettingsFolder(folder_.wstring());
        file_ = fs::path(Orv::SettingsFilePath());
        Orv::ModSettings start = Orv::DefaultSettings();
        start.Size = static_cast<float>(kMapSize);
        Require(Orv::SaveSettingsFile(start, file_.wstring()));

        Sim::ResetEngine();
        Sim::DefineDefaultGame();
        Sim::SetViewportPixels(1920, 1080);
        Sim::SetViewportScale(1.0f);
        // Away from 0, which as a deadline is always due.
        Sim::AdvanceClock(7'000'000'000);
        RC::Unreal::UWorld* world = Sim::CreateWorld(L"Valley");
        Sim::CreateGameInstance(world);
        Sim::EnterLocalPlayer(world);
        // Never deleted: the engine goes down with the process, and the mod with it.
        mod_ = new Orv::LiveOrvantaMod();
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
        Frame();

        const auto& controls = mod_->Session().widget.controls;
        for (std::size_t i = 0; i < 3; ++i)
        {
            fieldTexts_[i] = TextOf(controls[kFieldControls[i]].text);
            fieldBlocks_[i] = controls[kFieldControls[i]].text;
            fieldFills_[i] = controls[kFieldControls[i]].fill;
        }
        editText_ = TextOf(controls[Orv::kEditButton].text);
        edit_ = CentreOf(controls[Orv::kEditButton].frame);
        Click(edit_);
        for (std::size_t i = 0; i < 3; ++i)
        {
            fields_[i] = CentreOf(controls[kFieldControls[i]].frame);
        }
        reset_ = CentreOf(controls[Orv::kResetButton].frame);
        const std::vector<RC::Unreal::UObject*> targets = Sim::CaptureTargets();
        Require(targets.size() == 1);
        target_ = targets.front();
        targetWidth_ = static_cast<const std::int32_t*>(Sim::FindMemberByPath(target_, L"SizeX").address);
        targetHeight_ = static_cast<const std::int32_t*>(Sim::FindMemberByPath(target_, L"SizeY").address);
        Require(targetWidth_ != nullptr && targetHeight_ != nullptr);
        // The first save puts the frame's place into the file; every later one must leave it,
        // and every other setting, as this one wrote them.
        Click(reset_);
        std::istringstream text(ReadBytes(file_));
        Require(Orv::ReadSettingsText(baseline_, text) == Orv::SettingsReadResult::Complete);
        Check();
    }

    ~Session()
    {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Back to the edit mode with nothing typed and the default values.
    void Restart()
    {
        if (model_.typing != kNoField) Tap(keys_.escape, [&] { model_.End(false); });
        if (!model_.editMode) ClickOn(edit_, [&] { model_.ClickEdit(); });
        if (!model_.AtStart()) ClickOn(reset_, [&] { model_.ClickReset(); });
        Require(model_.AtStart());
    }

    void Play(std::uint8_t event)
    {
        const int high = event >> 5;
        switch (event & 31)
        {
        case 20:
        case 21:
            Tap(event & 1 ? keys_.decimal : keys_.period, [&] { model_.Point(); });
            return;
        case 22:
        case 23:
            Tap(event & 1 ? keys_.del : keys_.back, [&] { model_.Erase(); });
            return;
        case 24:
            Tap(keys_.enter, [&] { model_.End(true); });
            return;
        case 25:
            Tap(keys_.escape, [&] { model_.End(false); });
            return;
        case 26:
            Tap(keys_.ignored[static_cast<std::size_t>(high)], [] {});
            return;
        case 27:
        {
            const Field field = static_cast<Field>(high % 3);
            if (high < 3)
            {
                ClickOn(fields_[field], [&] { model_.ClickField(field); });
                return;
            }
            // A digit held down through the click: a press for what was typed before, none
            // for the entry the click starts.
            Sim::SetKeyDown('0' + high, true);
            Frame();
            model_.Digit(high);
            Check();
            ClickOn(fields_[field], [&] { model_.ClickField(field); });
            Sim::SetKeyDown('0' + high, false);
            Frame();
            Check();
            return;
        }
        case 28:
            ClickOn(reset_, [&] { model_.ClickReset(); });
            return;
        case 29:
            ClickOn(edit_, [&] { model_.ClickEdit(); });
            return;
        case 30:
            // Idle frames: nothing the player does, nothing that may change.
            for (int i = 0; i <= high; ++i) Frame();
            Check();
            return;
        case 31:
            // One digit on both rows in the same frame goes in once.
            TapBoth('0' + high, keys_.numpad0 + high, [&] { model_.Digit(high); });
            return;
        default:
        {
            const int digit = (event & 31) % 10;
            Tap((event & 31) < 10 ? '0' + digit : keys_.numpad0 + digit, [&] { model_.Digit(digit); });
            return;
        }
        }
    }

  private:
    struct Point
    {
        double x = 0, y = 0;
    };

    static void Frame() { Sim::TickEngine(kFrameSeconds); }

    static const void* TextOf(RC::Unreal::UObject* textBlock)
    {
        Require(textBlock != nullptr);
        const void* text = Sim::FindMemberByPath(textBlock, L"Text").address;
        Require(text != nullptr);
        return text;
    }

    static Point CentreOf(RC::Unreal::UObject* widget)
    {
        Sim::LayOutScreen();
        const Sim::WidgetPlacement placement = Sim::PlacementOf(widget);
        Require(placement.drawn);
        const double scale = static_cast<double>(Sim::ViewportScale());
        return {(placement.rect.x + placement.rect.width / 2) * scale, (placement.rect.y + placement.rect.height / 2) * scale};
    }

    // Down for one frame, up the next; the model follows the press, and both frames are checked.
    template <typename Effect> void Tap(int key, Effect effect)
    {
        Sim::SetKeyDown(key, true);
        Frame();
        effect();
        Check();
        Sim::SetKeyDown(key, false);
        Frame();
        Check();
    }

    template <typename Effect> void TapBoth(int key, int other, Effect effect)
    {
        Sim::SetKeyDown(key, true);
        Sim::SetKeyDown(other, true);
        Frame();
        effect();
        Check();
        Sim::SetKeyDown(key, false);
        Sim::SetKeyDown(other, false);
        Frame();
        Check();
    }

    template <typename Effect> void ClickOn(Point at, Effect effect)
    {
        Sim::SetMousePosition(at.x, at.y);
        Tap(keys_.left, effect);
    }

    // A click while starting, before there is anything to check against.
    void Click(Point at) const
    {
        Sim::SetMousePosition(at.x, at.y);
        Sim::SetKeyDown(keys_.left, true);
        Frame();
        Sim::SetKeyDown(keys_.left, false);
        Frame();
    }

    void Check()
    {
        // The edit button tells the mode.
        Require(Narrow(Sim::ReadText(editText_)) == (model_.editMode ? "LOCK" : "EDIT"));

        std::array<std::string, 3> captions;
        for (std::size_t i = 0; i < 3; ++i)
        {
            const Field field = static_cast<Field>(i);
            const std::string& caption = captions[i] = Narrow(Sim::ReadText(fieldTexts_[i]));
            Require(!caption.empty());
            if (model_.typing == field)
            {
                // The typed characters and the cursor mark.
                Require(caption.back() == '_' && caption.size() <= kMaxTyped + 1);
                const std::string typed = caption.substr(0, caption.size() - 1);
                Require(typed.find_first_not_of("0123456789.") == std::string::npos);
                Require(std::count(typed.begin(), typed.end(), '.') <= (field == kQuality ? 1 : 0));
                CheckTypedTail(i, typed);
                continue;
            }
            else
            {
                // A value in range: the rates whole, the quality with two decimals.
                Require(caption.find_first_not_of(field == kQuality ? "0123456789." : "0123456789") == std::string::npos);
                const double shown = std::strtod(caption.c_str(), nullptr);
                Require(field == kQuality ? caption.size() == 4 && caption[1] == '.' && shown >= 0.25 && shown <= 4.0
                                          : shown >= 1.0 && shown <= 240.0);
            }
            Require(caption == model_.Caption(field));
        }

        // The file as written by the last accepted value, read back by the mod's own reader
        // whenever it changed.
        const std::string file = ReadBytes(file_);
        if (file != lastFile_)
        {
            Orv::ModSettings loaded;
            std::istringstream text(file);
            Require(Orv::ReadSettingsText(loaded, text) == Orv::SettingsReadResult::Complete);
            lastFile_ = file;
            lastLoaded_ = loaded;
        }
        Orv::ModSettings loaded = lastLoaded_;
        const std::array<float, 3> saved = {loaded.CaptureFPS, loaded.MarkerFPS, loaded.RenderScale};
        const std::array<const char*, 3> keys = {"CaptureFPS", "MarkerFPS", "RenderScale"};
        for (std::size_t i = 0; i < 3; ++i)
        {
            const Field field = static_cast<Field>(i);
            Require((field == kQuality ? Orv::kRenderScaleRange : Orv::kFpsRange).Contains(saved[i]));
            char expected[32];
            std::snprintf(expected, sizeof(expected), "%g", static_cast<double>(model_.values[i]));
            Require(SavedLine(file, keys[i]) == expected);
            if (model_.typing == field) continue;
            // What the panel shows: the rates exactly; the quality to its two decimals, give or
            // take the file's six significant digits.
            if (field == kQuality)
            {
                Require(std::abs(std::strtod(captions[i].c_str(), nullptr) - static_cast<double>(saved[i])) <= 0.005 + 5e-6);
            }
            else
            {
                Require(saved[i] == std::round(saved[i]) && captions[i] == Formatted(field, saved[i]));
            }
        }
        // The quality sizes the map's picture: its side in whole 64-pixel steps.
        const double side = std::ceil(static_cast<double>(model_.sizedQuality) * kMapSize / 64.0) * 64.0;
        Require(Sim::HoldsObject(target_) && *targetWidth_ == static_cast<std::int32_t>(side) &&
                *targetHeight_ == *targetWidth_);
        // Nothing else moved.
        loaded.CaptureFPS = baseline_.CaptureFPS;
        loaded.MarkerFPS = baseline_.MarkerFPS;
        loaded.RenderScale = baseline_.RenderScale;
        Require(loaded == baseline_);
        // No call the engine would have stopped at.
        Require(Sim::Stats().ChecksFailed == 0);
    }

    // Longer than its field, a typed value shows its last characters, as many as the engine
    // can draw inside the field.
    void CheckTypedTail(std::size_t i, const std::string& shown) const
    {
        const std::string& whole = model_.text;
        Require(shown.size() <= whole.size() && whole.compare(whole.size() - shown.size(), shown.size(), shown) == 0);
        Require(shown.size() >= std::min(whole.size(), kTypedThatFit));
        // A build without the fonts measures a text by a rough width per character only.
        if (shown.size() == whole.size() || !Sim::ScreenDrawsText()) return;
        Sim::LayOutScreen();
        Require(Sim::PlacementOf(fieldBlocks_[i]).desiredWidth <= Sim::PlacementOf(fieldFills_[i]).rect.width + 1e-9);
    }

    Keys keys_;
    Model model_;
    fs::path folder_;
    fs::path file_;
    Orv::LiveOrvantaMod* mod_ = nullptr;
    std::array<const void*, 3> fieldTexts_{};
    std::array<RC::Unreal::UObject*, 3> fieldBlocks_{};
    std::array<RC::Unreal::UObject*, 3> fieldFills_{};
    const void* editText_ = nullptr;
    Point edit_;
    std::array<Point, 3> fields_;
    Point reset_;
    RC::Unreal::UObject* target_ = nullptr;
    const std::int32_t* targetWidth_ = nullptr;
    const std::int32_t* targetHeight_ = nullptr;
    Orv::ModSettings baseline_;
    std::string lastFile_;
    Orv::ModSettings lastLoaded_;
};

Session* session = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static Session started;
    session = &started;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    session->Restart();
    for (std::size_t i = 0; i < std::min(size, kMaxEvents); ++i)
    {
        session->Play(data[i]);
    }
    return 0;
}
