#pragma once
// The settings file "UPSZelto.ini" in the current directory, read and written with the rules of
// the Windows profile functions on the same text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/settings_store.h"
#include "core/base/texts.h"

namespace zelto {

inline constexpr std::string_view kSettingsFileName = "UPSZelto.ini";
inline constexpr std::string_view kSection = "UPS";
// A settings file is a few hundred bytes. A rewrite takes the whole text through memory and onto
// the disk at every choice; past this size it is refused, while the file's values still read.
inline constexpr std::size_t kLargestSettingsRewrite = 1024 * 1024;

class Settings {
public:
    explicit Settings(SettingsStore& store) : store_(store) {}

    // The current directory, a separator and the file name, built anew at every access.
    std::string FilePath();
    // Another file in the settings file's folder (the journal), built the same way.
    std::string PathBeside(std::string_view fileName);

    // The key's value, or the default when the key or the file is missing. A key present with
    // an empty value gives the empty text.
    std::string ReadSetting(std::string_view section, std::string_view key,
                            std::string_view fallback);
    // The key's value, or nothing when the key or the file is missing.
    std::optional<std::string> FindSetting(std::string_view section, std::string_view key);
    // Changes only the key's own line (or adds it), keeping every other byte. Throws
    // UnableToWrite with the full path when the system refuses the write, TooLargeToRewrite
    // for a file past kLargestSettingsRewrite.
    void WriteSetting(std::string_view section, std::string_view key, std::string_view value);

    // ReadSetting in section "UPS", converted with StrToInt.
    std::int32_t ReadInt(std::string_view key, std::string_view fallback);

private:
    SettingsStore& store_;
};

// "Language" in section "UPS": "en" for English, anything else (or nothing) Russian.
Language ReadLanguage(Settings& settings);

}  // namespace zelto
