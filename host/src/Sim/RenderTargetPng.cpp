// Render targets for people to look at: what a target holds, written as a PNG file through
// libpng where the build has it (the Windows build does without and writes nothing).
#include "Sim/EngineState.hpp"

#include <Sim/Scene.hpp>

#include <algorithm>
#include <cstdio>

#ifdef ORVANTA_HAVE_PNG
#include <png.h>

#include <csetjmp>
#endif

namespace Sim
{
using namespace Detail;

namespace
{
void SortByAge(std::vector<UObject*>& targets)
{
    const auto& held = State().play.renderTargets;
    std::sort(targets.begin(), targets.end(),
              [&held](const UObject* a, const UObject* b) { return held.at(a).made < held.at(b).made; });
}
} // namespace

std::vector<UObject*> RenderTargets()
{
    std::vector<UObject*> targets;
    for (const auto& [target, pixels] : State().play.renderTargets)
    {
        if (EngineAccess::SlotOf(target) != nullptr)
        {
            targets.push_back(const_cast<UObject*>(target));
        }
    }
    SortByAge(targets);
    return targets;
}

std::vector<UObject*> CaptureComponents()
{
    UClass* captureClass = FindClass(L"/Script/Engine.SceneCaptureComponent2D");
    std::vector<UObject*> components;
    for (const auto& [component, record] : State().play.components)
    {
        if (captureClass != nullptr && EngineAccess::SlotOf(component) != nullptr && component->GetObjectItem()->IsValid(false) &&
            component->IsA(captureClass))
        {
            components.push_back(const_cast<UObject*>(component));
        }
    }
    return components;
}

std::vector<UObject*> CaptureTargets()
{
    const std::vector<UObject*> components = CaptureComponents();
    std::vector<UObject*> targets;
    for (UObject* component : components)
    {
        UObject* target = ObjectReference(component, L"TextureTarget");
        if (State().play.renderTargets.contains(target) && EngineAccess::SlotOf(target) != nullptr &&
            std::find(targets.begin(), targets.end(), target) == targets.end())
        {
            targets.push_back(target);
        }
    }
    SortByAge(targets);
    return targets;
}

namespace
{
#ifdef ORVANTA_HAVE_PNG
struct PngFile
{
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;

    ~PngFile()
    {
        png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        if (file != nullptr)
        {
            std::fclose(file);
        }
    }
};

std::FILE* OpenForWriting(const std::filesystem::path& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

// libpng reports errors by a long jump out of its own frames: nothing here owns anything that
// needs unwinding between setjmp and the calls.
bool Encode(PngFile& out, const RenderTargetImage& pixels)
{
    if (setjmp(png_jmpbuf(out.png)) != 0)
    {
        return false;
    }
    png_init_io(out.png, out.file);
    png_set_IHDR(out.png, out.info, static_cast<png_uint_32>(pixels.width), static_cast<png_uint_32>(pixels.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(out.png, out.info);
    for (int32 row = 0; row < pixels.height; ++row)
    {
        png_write_row(out.png, pixels.rgba.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(pixels.width) * 4);
    }
    png_write_end(out.png, nullptr);
    return true;
}

bool WritePng(const RenderTargetImage& image, const std::filesystem::path& path)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4)
    {
        return false;
    }
    PngFile out;
    out.file = OpenForWriting(path);
    out.png = out.file != nullptr ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr) : nullptr;
    out.info = out.png != nullptr ? png_create_info_struct(out.png) : nullptr;
    if (out.info == nullptr || !Encode(out, image))
    {
        return false;
    }
    return std::fflush(out.file) == 0 && std::ferror(out.file) == 0;
}
#else
bool WritePng(const RenderTargetImage&, const std::filesystem::path&) { return false; }
#endif
} // namespace

bool WriteImagePng(const RenderTargetImage& image, const std::filesystem::path& path) { return WritePng(image, path); }

bool WriteRenderTargetPng(const UObject* renderTarget, const std::filesystem::path& path)
{
    RenderTargetImage image;
    return ReadRenderTarget(renderTarget, image) && WritePng(image, path);
}
} // namespace Sim
