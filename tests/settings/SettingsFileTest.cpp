// state.ini on disk: creation, repair, the replace through state.ini.tmp, the failures that
// must leave the real file alone, and where the file lives relative to the library.
#include "SettingsTestSupport.hpp"

#include "reflection/Host.hpp"
#include "settings/SettingsFile.hpp"

#ifdef __linux__
#include <dlfcn.h>
#endif

namespace
{
    using namespace OrvTest;
    using Orv::ModSettings;

    class SettingsFileTest : public TempFolderTest
    {
    protected:
        ModSettings LoadWithContent(const std::string& content)
        {
            WriteBytes(StateFile(), content);
            return Load();
        }

        ModSettings Load()
        {
            ModSettings settings;
            settings.Zoom = 1234.0f; // loading must start from the defaults, not from this
            Orv::LoadSettingsFile(settings, StateFile().wstring());
            return settings;
        }
    };

    TEST_F(SettingsFileTest, MissingFileIsCreatedWithDefaults)
    {
        EXPECT_EQ(Load(), Orv::DefaultSettings());
        EXPECT_EQ(ReadBytes(StateFile()), kDefaultFile);
        EXPECT_FALSE(fs::exists(TempFile()));
    }

    TEST_F(SettingsFileTest, CompleteFileIsLeftAsItIs)
    {
        // LF line ends and a comment: a rewrite would be visible in the bytes.
        std::string text = "; mine\n";
        for (char c : kDefaultFile)
            if (c != '\r') text += c;
        text.replace(text.find("Zoom=8000"), 9, "Zoom=3000");
        EXPECT_EQ(LoadWithContent(text).Zoom, 3000.0f);
        EXPECT_EQ(ReadBytes(StateFile()), text);

        const auto withoutShowPois = DefaultFileWithout("ShowPois");
        LoadWithContent(withoutShowPois);
        EXPECT_EQ(ReadBytes(StateFile()), withoutShowPois);
    }

    TEST_F(SettingsFileTest, RepairKeepsGoodValuesAndDropsBadAndOlderLines)
    {
        auto text = DefaultFileWithout("RenderScale") + "Size=300\r\nZoom=3000 \r\nIndoorClipHeight=50\r\n";
        const auto settings = LoadWithContent(text);
        EXPECT_EQ(settings.Size, 300.0f);
        EXPECT_EQ(settings.Zoom, 8000.0f);

        ModSettings expected;
        expected.Size = 300.0f;
        EXPECT_EQ(ReadBytes(StateFile()), Orv::FormatSettingsText(expected));
        EXPECT_NE(ReadBytes(StateFile()).find("\r\nRenderScale=4\r\n"), std::string::npos);
        EXPECT_FALSE(fs::exists(TempFile()));
    }

    TEST_F(SettingsFileTest, Utf16FileYieldsDefaultsAndIsRewritten)
    {
        std::string utf16 = "\xFF\xFE";
        for (char c : "Zoom=3000\r\n" + kDefaultFile)
        {
            utf16.push_back(c);
            utf16.push_back('\0');
        }
        EXPECT_EQ(LoadWithContent(utf16), Orv::DefaultSettings());
        EXPECT_EQ(ReadBytes(StateFile()), kDefaultFile);
    }

    TEST_F(SettingsFileTest, StateFileThatIsAFolderIsNeitherReadNorReplaced)
    {
        fs::create_directory(StateFile());
        WriteBytes(StateFile() / "keep", "x");
        EXPECT_EQ(Load(), Orv::DefaultSettings());
        EXPECT_EQ(ReadBytes(StateFile() / "keep"), "x");
        EXPECT_FALSE(fs::exists(TempFile()));
    }

    TEST_F(SettingsFileTest, UnwritableLocationUsesDefaultsAndWritesNothing)
    {
        // The tests may run as root, which writes through any permission bits. A path whose
        // folder is a regular file cannot be created by anyone (ENOTDIR).
        WriteBytes(folder / "file", "contents");
        const auto inside = (folder / "file" / "state.ini").wstring();
        ModSettings settings;
        settings.Size = 500.0f;
        EXPECT_NO_THROW(Orv::LoadSettingsFile(settings, inside));
        EXPECT_EQ(settings, Orv::DefaultSettings());
        EXPECT_FALSE(Orv::SaveSettingsFile(settings, inside));
        EXPECT_EQ(ReadBytes(folder / "file"), "contents");
    }

    TEST_F(SettingsFileTest, FailedWriteLeavesTheRealFileUntouched)
    {
        // A folder in the temporary file's place refuses to be opened for writing, even for root.
        fs::create_directory(TempFile());
        const auto text = DefaultFileWithout("RenderScale") + "Size=300\r\n";
        EXPECT_EQ(LoadWithContent(text).Size, 300.0f);
        EXPECT_EQ(ReadBytes(StateFile()), text);
        EXPECT_FALSE(Orv::SaveSettingsFile(ModSettings{}, StateFile().wstring()));
        EXPECT_EQ(ReadBytes(StateFile()), text);
    }

    TEST_F(SettingsFileTest, FailedReplaceDeletesTheTemporaryFile)
    {
        fs::create_directory(StateFile());
        WriteBytes(StateFile() / "keep", "x");
        EXPECT_FALSE(Orv::SaveSettingsFile(ModSettings{}, StateFile().wstring()));
        EXPECT_FALSE(fs::exists(TempFile()));
        EXPECT_EQ(ReadBytes(StateFile() / "keep"), "x");
    }

    TEST_F(SettingsFileTest, LeftoverTemporaryFileIsTruncatedByTheNextSave)
    {
        WriteBytes(TempFile(), std::string(100000, 'z'));
        WriteBytes(StateFile(), "old");
        EXPECT_TRUE(Orv::SaveSettingsFile(ModSettings{}, StateFile().wstring()));
        EXPECT_EQ(ReadBytes(StateFile()), kDefaultFile);
        EXPECT_FALSE(fs::exists(TempFile()));
    }

    TEST_F(SettingsFileTest, EmptyPathDisablesReadingAndWriting)
    {
        ModSettings settings;
        settings.Size = 500.0f;
        Orv::LoadSettingsFile(settings, L"");
        EXPECT_EQ(settings, Orv::DefaultSettings());
        EXPECT_FALSE(Orv::SaveSettingsFile(settings, L""));
    }

    TEST(SettingsLocation, FolderOfTheLibraryOrAboveItsDllsFolder)
    {
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"/game/Mods/Orvanta/dlls/main.dll"), L"/game/Mods/Orvanta");
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"/game/Mods/Orvanta/DLLs/main.dll"),
                  L"/game/Mods/Orvanta/DLLs");
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"/game/Mods/dlls2/main.dll"), L"/game/Mods/dlls2");
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"/game/dlls/x/main.dll"), L"/game/dlls/x");
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"main.dll"), L"");
        // Non-ASCII folders must survive whatever the process locale is.
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"/j\u00e4ger/\u4e16/dlls/main.dll"), L"/j\u00e4ger/\u4e16");

        EXPECT_EQ(Orv::SettingsPathInFolder(L""), L"");
        EXPECT_EQ(Orv::SettingsPathInFolder(L"/game"), (fs::path("/game") / "state.ini").wstring());
    }

#ifdef __linux__
    TEST(SettingsLocation, ModuleFolderIsTheFolderOfTheCodeCallingIt)
    {
        // This test program links the settings code in, so its own folder is the answer.
        const auto program = fs::read_symlink("/proc/self/exe");
        EXPECT_EQ(Orv::ModuleFolder(), program.parent_path().wstring());
        EXPECT_EQ(Orv::SettingsFilePath(), (program.parent_path() / "state.ini").wstring());
    }

    class ModuleLookupTest : public TempFolderTest
    {
    };

    TEST_F(ModuleLookupTest, LibraryInADllsFolderKeepsItsSettingsOneUp)
    {
        const fs::path library = ORVANTA_MAIN_LIBRARY;
        if (!fs::exists(library)) GTEST_SKIP() << "the mod library is not built";
        const auto copy = folder / "Mods" / "Orvanta" / "dlls" / "main.so";
        fs::create_directories(copy.parent_path());
        fs::copy_file(library, copy);

        void* handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        void* inside = dlsym(handle, "start_mod");
        ASSERT_NE(inside, nullptr);

        HMODULE module = nullptr;
        ASSERT_TRUE(GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(inside), &module));
        std::wstring path(32768, L'\0');
        const DWORD length = GetModuleFileNameW(module, path.data(), 32768);
        path.resize(length);
        EXPECT_EQ(path, copy.wstring());
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(path), (folder / "Mods" / "Orvanta").wstring());

        // Too small a buffer: truncated, terminated, and the size reported back as Windows does.
        wchar_t small[8];
        EXPECT_EQ(GetModuleFileNameW(module, small, 8), 8u);
        EXPECT_EQ(std::wstring(small), copy.wstring().substr(0, 7));
        dlclose(handle);
    }
#endif
}
