// The machinery both settings files are read and written with.
//
// A file is handled as bytes on every platform: one byte is one character (a byte above 127
// stands for the character of the same number, as the classic locale's wide streams treat it
// on Windows), lines are cut at LF, and the writer puts CR LF itself. That gives the same file
// and the same reading on Windows and on the stand-in, where a wide stream in the classic
// locale would silently stop at the first byte above 127 and lose the rest.
#include "settings/IniText.hpp"

#include "reflection/Host.hpp"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cwchar>
#include <exception>
#include <istream>
#include <locale.h>
#include <locale>
#include <stdlib.h>
#include <wchar.h>

namespace Orv
{
    namespace fs = std::filesystem;

    // On Windows a wide string is the native path. Elsewhere wchar_t holds whole code points,
    // and going through char32_t makes the path UTF-8 whatever the process locale is (a wide
    // string would be converted through the locale and fail on non-ASCII).
    std::optional<fs::path> ToFsPath(const std::wstring& wide)
    {
        try
        {
            if constexpr (sizeof(wchar_t) == sizeof(char32_t))
                return fs::path(std::u32string(wide.begin(), wide.end()));
            else
                return fs::path(wide);
        }
        catch (const std::exception&)
        {
            return std::nullopt;
        }
    }

    std::optional<std::wstring> FromFsPath(const fs::path& path)
    {
        try
        {
            if constexpr (sizeof(wchar_t) == sizeof(char32_t))
            {
                const std::u32string points = path.u32string();
                return std::wstring(points.begin(), points.end());
            }
            else
            {
                return path.wstring();
            }
        }
        catch (const std::exception&)
        {
            return std::nullopt;
        }
    }

    std::wstring FileInFolder(const std::wstring& folder, std::string_view name)
    {
        if (folder.empty()) return {};
        const auto base = ToFsPath(folder);
        if (!base) return {};
        return FromFsPath(*base / name).value_or(std::wstring{});
    }

    bool NextIniLine(std::istream& text, std::string& bytes, std::wstring& line)
    {
        if (!std::getline(text, bytes)) return false;
        // A line cut at LF ends in the CR of its CR LF; one more CR before that is dropped as
        // well, as a text-mode read of the file would leave it.
        if (!text.eof() && !bytes.empty() && bytes.back() == '\r') bytes.pop_back();
        if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
        line.resize(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            line[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
        return true;
    }

    bool IsLineForKey(std::wstring_view line, std::string_view key)
    {
        if (line.size() <= key.size() || line[key.size()] != L'=') return false;
        for (std::size_t i = 0; i < key.size(); ++i)
        {
            if (line[i] != static_cast<wchar_t>(key[i])) return false;
        }
        return true;
    }

    namespace
    {
        // The files' numbers have a full stop whatever locale the game set: the conversion
        // runs in the C locale, so a comma-decimal process locale cannot reject "0.15" and
        // have the file rewritten with defaults.
#if defined(__MINGW32__)
        // The Windows test build's msvcrt has no conversion that takes a locale; it converts
        // in the process locale, which the tests leave as C.
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return std::wcstof(text, end); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return std::wcstod(text, end); }
#elif defined(_WIN32)
        _locale_t ClassicNumbers()
        {
            static const _locale_t classic = _create_locale(LC_NUMERIC, "C");
            return classic;
        }
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return _wcstof_l(text, end, ClassicNumbers()); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return _wcstod_l(text, end, ClassicNumbers()); }
#else
        locale_t ClassicNumbers()
        {
            static const locale_t classic = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
            return classic;
        }
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return wcstof_l(text, end, ClassicNumbers()); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return wcstod_l(text, end, ClassicNumbers()); }
#endif

        // The whole rest of the line must be one number. Infinity and NaN parse but are never
        // a usable setting, so they count as invalid.
        template <typename T>
        std::optional<T> ParseNumber(const std::wstring& line, std::size_t valueStart)
        {
            const wchar_t* begin = line.c_str() + valueStart;
            const wchar_t* lineEnd = line.c_str() + line.size();
            wchar_t* end = nullptr;
            errno = 0;
            const T value = ToNumber(begin, &end, T{});
            const bool rangeError = errno == ERANGE;
            if (end == begin || end != lineEnd || rangeError || !std::isfinite(value)) return std::nullopt;
            return value;
        }
    }

    std::optional<float> ParseIniFloat(const std::wstring& line, std::size_t valueStart)
    {
        return ParseNumber<float>(line, valueStart);
    }

    std::optional<double> ParseIniDouble(const std::wstring& line, std::size_t valueStart)
    {
        return ParseNumber<double>(line, valueStart);
    }

    std::optional<bool> ParseIniBool(std::wstring_view value)
    {
        if (value == L"1" || value == L"true" || value == L"True") return true;
        if (value == L"0" || value == L"false" || value == L"False") return false;
        return std::nullopt;
    }

    IniWriter::IniWriter()
    {
        out_.imbue(std::locale::classic());
    }

    std::ostream& IniWriter::Key(std::string_view section, std::string_view name)
    {
        if (section != section_)
        {
            if (!section_.empty()) out_ << "\r\n";
            section_ = section;
            out_ << '[' << section << "]\r\n";
        }
        return out_ << name << '=';
    }

    void IniWriter::EndLine(bool blankLineAfter)
    {
        out_ << (blankLineAfter ? "\r\n\r\n" : "\r\n");
    }

    std::string IniWriter::Text() &&
    {
        return std::move(out_).str();
    }

    bool ReplaceFileWithText(const std::wstring& path, const std::string& text)
    {
        if (path.empty()) return false;
        const std::wstring temporary = path + L".tmp";
        const auto temporaryFile = ToFsPath(temporary);
        if (!temporaryFile) return false;

        std::ofstream out(*temporaryFile, std::ios::binary | std::ios::trunc);
        if (out)
        {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
        }
        // A failed write leaves the real file as it was; the next save truncates the leftover.
        if (!out) return false;
        out.close();
        if (!out) return false;

        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE)
            return true;
        DeleteFileW(temporary.c_str());
        return false;
    }

    IniFileOpen OpenIniFile(const std::wstring& path, std::ifstream& in)
    {
        if (path.empty()) return IniFileOpen::Unavailable;
        const auto file = ToFsPath(path);
        if (!file) return IniFileOpen::Unavailable;

        std::error_code error;
        const auto status = fs::status(*file, error);
        if (error || !fs::exists(status)) return IniFileOpen::Missing;
        // A folder or a device under the name holds no settings, and must not be replaced
        // (nor, for a pipe, waited on).
        if (!fs::is_regular_file(status)) return IniFileOpen::Unavailable;

        in.open(*file, std::ios::binary);
        return in.is_open() ? IniFileOpen::Opened : IniFileOpen::Unavailable;
    }
}
