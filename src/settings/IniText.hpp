// What state.ini and hud.ini share: paths as the platform spells them, the byte-wise line
// reading, numbers and booleans in the classic locale, the layout of the written text, the
// load that creates, repairs or leaves a file, and the write through "<name>.tmp".
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iosfwd>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace Orv
{
    enum class SettingsReadResult
    {
        Complete,     // nothing to repair
        NeedsRewrite, // a value was rejected, an older key was used, or keys are missing
        ReadError,    // the text could not be read to its end; what was read is not to be trusted
    };

    // Empty when the string names no path this platform can hold.
    [[nodiscard]] std::optional<std::filesystem::path> ToFsPath(const std::wstring& wide);
    [[nodiscard]] std::optional<std::wstring> FromFsPath(const std::filesystem::path& path);

    // `folder`/`name`, or empty when the folder is empty or not a path.
    [[nodiscard]] std::wstring FileInFolder(const std::wstring& folder, std::string_view name);

    // The next line of the file, without its line end: `bytes` as read, `line` the same with
    // each byte widened to the character of its number. False after the last line.
    bool NextIniLine(std::istream& text, std::string& bytes, std::wstring& line);

    // Keys are case-sensitive, start in column 0 and are followed directly by '='. Since the
    // '=' is part of the match, no key can match a line meant for a longer one.
    [[nodiscard]] bool IsLineForKey(std::wstring_view line, std::string_view key);

    // The whole rest of the line from `valueStart` as one finite number in the classic locale.
    [[nodiscard]] std::optional<float> ParseIniFloat(const std::wstring& line, std::size_t valueStart);
    [[nodiscard]] std::optional<double> ParseIniDouble(const std::wstring& line, std::size_t valueStart);

    // 1, true, True, 0, false, False and nothing else.
    [[nodiscard]] std::optional<bool> ParseIniBool(std::wstring_view value);

    // The text of a settings file as both files lay it out: a "[Section]" line when the section
    // changes, a blank line between sections, CR LF line ends, and values in the classic locale
    // (%g with six significant digits, a full stop, no grouping; booleans as 1 and 0).
    class IniWriter
    {
    public:
        IniWriter();

        // Starts the line of `name`; the value goes to the returned stream.
        std::ostream& Key(std::string_view section, std::string_view name);
        void EndLine(bool blankLineAfter = false);
        [[nodiscard]] std::string Text() &&;

    private:
        std::ostringstream out_;
        std::string_view section_;
    };

    // The whole text goes to `path`.tmp, which then replaces `path`; on any failure `path`
    // stays as it was and no temporary is left behind. False for an empty path.
    bool ReplaceFileWithText(const std::wstring& path, const std::string& text);

    // How far a load got before the record's own reader had its say.
    enum class IniFileOpen
    {
        Unavailable, // no path, or a folder or device under the name: leave everything alone
        Missing,     // no file: one with the defaults is to be written
        Opened,
    };

    IniFileOpen OpenIniFile(const std::wstring& path, std::ifstream& in);

    // Resets the record to its defaults, then fills it from the file at `path`. A missing file
    // is created; an incomplete or damaged one is rewritten; one that cannot be read is left
    // alone and the defaults stay.
    template <typename Record>
    void LoadIniRecord(Record& record, const std::wstring& path, SettingsReadResult (*read)(Record&, std::istream&),
                       bool (*save)(const Record&, const std::wstring&))
    {
        record = Record{};
        SettingsReadResult result = SettingsReadResult::Complete;
        {
            std::ifstream in;
            switch (OpenIniFile(path, in))
            {
            case IniFileOpen::Unavailable:
                return;
            case IniFileOpen::Missing:
                save(record, path);
                return;
            case IniFileOpen::Opened:
                break;
            }
            result = read(record, in);
        } // closed before a rewrite: Windows does not replace a file that is still open
        if (result == SettingsReadResult::NeedsRewrite) save(record, path);
        if (result == SettingsReadResult::ReadError) record = Record{};
    }
}
