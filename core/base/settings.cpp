#include "core/base/settings.h"

#include "core/base/conversion.h"
#include "core/base/errors.h"
#include "core/base/ini_text.h"

namespace zelto {
namespace {

// The profile functions read a value into a buffer of 2048 characters.
constexpr std::size_t kValueBuffer = 2048;

}  // namespace

std::string Settings::FilePath() {
    return PathBeside(kSettingsFileName);
}

std::string Settings::PathBeside(std::string_view fileName) {
    const char separator = store_.PathSeparator();
    std::string path = store_.CurrentDirectory();
    if (path.empty()) {
        path = ".";
    }
    if (path.back() != separator) {
        path += separator;
    }
    return path.append(fileName);
}

std::optional<std::string> Settings::FindSetting(std::string_view section, std::string_view key) {
    const auto text = store_.ReadFile(FilePath());
    if (!text) {
        return std::nullopt;
    }
    auto value = IniFind(*text, section, key);
    if (value && value->size() > kValueBuffer - 1) {
        value->resize(kValueBuffer - 1);
    }
    return value;
}

std::string Settings::ReadSetting(std::string_view section, std::string_view key,
                                  std::string_view fallback) {
    auto value = FindSetting(section, key);
    return value ? *value : std::string(fallback);
}

void Settings::WriteSetting(std::string_view section, std::string_view key,
                            std::string_view value) {
    const std::string path = FilePath();
    const auto text = store_.ReadFile(path);
    if (!text && store_.Exists(path)) {
        throw UnableToWrite(path);
    }
    if (text && text->size() > kLargestSettingsRewrite) {
        throw TooLargeToRewrite(path, store_.FileSize(path).value_or(text->size()));
    }
    if (!store_.ReplaceFile(path, IniSet(text.value_or(std::string()), section, key, value,
                                         store_.NewFileLineEnd()))) {
        throw UnableToWrite(path);
    }
}

std::int32_t Settings::ReadInt(std::string_view key, std::string_view fallback) {
    return StrToInt(ReadSetting(kSection, key, fallback));
}

Language ReadLanguage(Settings& settings) {
    return LanguageFromSetting(settings.ReadSetting(kSection, kLanguageKey, "ru"));
}

}  // namespace zelto
