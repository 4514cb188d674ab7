// state.ini on disk: creation, repair, the replace through state.ini.tmp, the failures that
// must leave the real file alone, and where the file lives relative to the library.
#include "SettingsTestSupport.hpp"

#include "reflection/Host.hpp"
#include "settings/SettingsFile.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/ModLoader.hpp>

#include <clocale>
#include <cwchar>

#ifndef _WIN32
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

    // A game may switch the process to a locale whose decimal mark is a comma; the file's
    // numbers keep their full stop, and the writer already ignores the locale.
    TEST_F(SettingsFileTest, NumbersAreReadWithAFullStopWhateverTheProcessLocale)
    {
#if defined(__MINGW32__)
        GTEST_SKIP() << "the MinGW test build's C runtime has no conversion that takes a locale";
#endif
        const std::string text = DefaultFileWithout("IndoorCheckInterval") + "IndoorCheckInterval=0.25\r\n";
        ModSettings settings;
        {
            const CommaProcessLocale comma;
            if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale on this machine";
            settings = LoadWithContent(text);
        }
        EXPECT_EQ(settings.IndoorCheckInterval, 0.25f);
        EXPECT_EQ(ReadBytes(StateFile()), text) << "nothing rejected, nothing rewritten";
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

    TEST_F(SettingsFileTest, PathThatNoFileCanHaveIsNeitherReadNorWritten)
    {
#ifdef _WIN32
        GTEST_SKIP() << "every UTF-16 string is a path Windows can be asked for";
#else
        // One past the last code point: no file name can be encoded from it.
        const std::wstring path = folder.wstring() + L"/state" + wchar_t{0x110000} + L".ini";
        ModSettings settings;
        settings.Size = 500.0f;
        EXPECT_NO_THROW(Orv::LoadSettingsFile(settings, path));
        EXPECT_EQ(settings, Orv::DefaultSettings());
        EXPECT_FALSE(Orv::SaveSettingsFile(settings, path));
        EXPECT_TRUE(fs::is_empty(folder));
#endif
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

#ifdef _WIN32
    TEST(SettingsLocation, WindowsPathsAsTheModuleCallsGiveThem)
    {
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"C:\\Game\\Mods\\Orvanta\\dlls\\main.dll"),
                  L"C:\\Game\\Mods\\Orvanta");
        EXPECT_EQ(Orv::SettingsFolderFromModulePath(L"C:\\Game\\Mods\\Orvanta\\Dlls\\main.dll"),
                  L"C:\\Game\\Mods\\Orvanta\\Dlls");
        EXPECT_EQ(Orv::SettingsPathInFolder(L"C:\\Game\\Mods\\Orvanta"), L"C:\\Game\\Mods\\Orvanta\\state.ini");
        // A library in a dlls folder at the root of a drive: still one separator.
        EXPECT_EQ(Orv::SettingsPathInFolder(Orv::SettingsFolderFromModulePath(L"C:\\dlls\\main.dll")),
                  L"C:\\state.ini");
    }
#endif

    // The running test program's path, as the system reports it.
    fs::path ProgramPath()
    {
#ifdef _WIN32
        std::wstring path(32768, L'\0');
        path.resize(GetModuleFileNameW(nullptr, path.data(), 32768));
        return path;
#else
        return fs::read_symlink("/proc/self/exe");
#endif
    }

    TEST(SettingsLocation, ModuleFolderIsTheFolderOfTheCodeCallingIt)
    {
        // This test program links the settings code in, so its own folder is the answer.
        const auto program = ProgramPath();
        EXPECT_EQ(Orv::ModuleFolder(), program.parent_path().wstring());
        EXPECT_EQ(Orv::SettingsFilePath(), (program.parent_path() / "state.ini").wstring());
    }

    // The built mod library, installed the way the loader lays mods out:
    // <game>/Mods/Orvanta/dlls/main.dll (main.so on the stand-in's platform).
    class InstalledLibraryTest : public TempFolderTest
    {
    protected:
        void SetUp() override
        {
            TempFolderTest::SetUp();
            const fs::path built = ORVANTA_MAIN_LIBRARY;
            if (!fs::exists(built)) GTEST_SKIP() << "the mod library is not built";
            modFolder = folder / "Mods" / "Orvanta";
            installed = modFolder / "dlls" / Sim::ModLoader::LibraryFileName();
            fs::create_directories(installed.parent_path());
            fs::copy_file(built, installed);
            Sim::ResetEngine();
            Sim::DefineDefaultGame();
        }

        // Loads the library, lets it see the engine start (where it loads its settings) and
        // unloads it again.
        void RunModOnce()
        {
            Sim::ModLoader loader(modFolder);
            std::string error;
            ASSERT_TRUE(loader.Load(error)) << error;
            ASSERT_NE(loader.StartMod(), nullptr);
            loader.UnrealInit();
        }

        fs::path modFolder;
        fs::path installed;
    };

    TEST_F(InstalledLibraryTest, KeepsItsSettingsBesideItsDllsFolder)
    {
        ASSERT_NO_FATAL_FAILURE(RunModOnce());
        EXPECT_EQ(ReadBytes(modFolder / "state.ini"), kDefaultFile);
        EXPECT_FALSE(fs::exists(modFolder / "state.ini.tmp"));
        EXPECT_FALSE(fs::exists(installed.parent_path() / "state.ini"));

        // The next start finds a file to repair and replaces it, keeping its good value.
        WriteBytes(modFolder / "state.ini", "[Layout]\r\nSize=300\r\n");
        ASSERT_NO_FATAL_FAILURE(RunModOnce());
        ModSettings expected;
        expected.Size = 300.0f;
        EXPECT_EQ(ReadBytes(modFolder / "state.ini"), Orv::FormatSettingsText(expected));
        EXPECT_FALSE(fs::exists(modFolder / "state.ini.tmp"));
    }

    TEST_F(InstalledLibraryTest, ModuleCallsFindTheLibraryFromAnAddressInsideIt)
    {
#ifdef _WIN32
        HMODULE library = LoadLibraryW(installed.c_str());
        ASSERT_NE(library, nullptr);
        void* inside = reinterpret_cast<void*>(GetProcAddress(library, "start_mod"));
        EXPECT_NE(GetProcAddress(library, "uninstall_mod"), nullptr);
#else
        void* library = dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        void* inside = dlsym(library, "start_mod");
        EXPECT_NE(dlsym(library, "uninstall_mod"), nullptr);
#endif
        ASSERT_NE(inside, nullptr);

        HMODULE module = nullptr;
        ASSERT_TRUE(GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(inside), &module));
        std::wstring path(32768, L'\0');
        const DWORD length = GetModuleFileNameW(module, path.data(), 32768);
        path.resize(length);
        EXPECT_TRUE(fs::equivalent(path, installed)) << fs::path(path).string();
        EXPECT_TRUE(fs::equivalent(Orv::SettingsFolderFromModulePath(path), modFolder));

        // Too small a buffer: the size reported back, which the mod takes as a failure.
        wchar_t small[8];
        EXPECT_EQ(GetModuleFileNameW(module, small, 8), 8u);
#ifndef _WIN32
        // The stand-in terminates the truncated path as current Windows does (Wine does not).
        EXPECT_EQ(std::wstring(small), path.substr(0, 7));
#endif
#ifdef _WIN32
        FreeLibrary(library);
#else
        dlclose(library);
#endif
    }

#ifdef _WIN32
    // state.ini held open by another program (an editor, a sync tool). Windows refuses to
    // open a file its holder locked, and to replace one opened without delete sharing.
    class HeldOpenElsewhere
    {
    public:
        HeldOpenElsewhere(const fs::path& file, DWORD share)
            : handle_(CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr))
        {
        }
        HeldOpenElsewhere(const HeldOpenElsewhere&) = delete;
        HeldOpenElsewhere& operator=(const HeldOpenElsewhere&) = delete;
        ~HeldOpenElsewhere()
        {
            if (IsOpen()) CloseHandle(handle_);
        }
        bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    private:
        HANDLE handle_;
    };

    TEST_F(SettingsFileTest, LockedFileGivesDefaultsAndIsNotReplaced)
    {
        const auto text = DefaultFileWithout("RenderScale") + "Size=300\r\n";
        WriteBytes(StateFile(), text);
        {
            HeldOpenElsewhere lock(StateFile(), 0);
            ASSERT_TRUE(lock.IsOpen());
            EXPECT_EQ(Load(), Orv::DefaultSettings());
        }
        EXPECT_EQ(ReadBytes(StateFile()), text);
        EXPECT_FALSE(fs::exists(TempFile()));
    }

    TEST_F(SettingsFileTest, RefusedReplaceKeepsTheFileAndDeletesTheTemporary)
    {
        WriteBytes(StateFile(), "old");
        {
            HeldOpenElsewhere reader(StateFile(), FILE_SHARE_READ | FILE_SHARE_WRITE);
            ASSERT_TRUE(reader.IsOpen());
            EXPECT_FALSE(Orv::SaveSettingsFile(ModSettings{}, StateFile().wstring()));
            EXPECT_FALSE(fs::exists(TempFile()));
            EXPECT_EQ(ReadBytes(StateFile()), "old");
        }
        EXPECT_TRUE(Orv::SaveSettingsFile(ModSettings{}, StateFile().wstring()));
        EXPECT_EQ(ReadBytes(StateFile()), kDefaultFile);
    }
#endif
}
