#pragma once
// The settings file on disk: whole-file reads, and atomic replacement through QSaveFile
// (temporary file in the same directory, flushed to disk, then renamed over the old one), so a
// power cut in the middle of a write leaves either the old or the new file.

#include "core/base/settings_store.h"

namespace zelto {

class FileSettingsStore : public SettingsStore {
public:
    std::string CurrentDirectory() override;
    char PathSeparator() const override { return '/'; }
    std::string_view NewFileLineEnd() const override { return "\n"; }
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    bool Exists(const std::string& path) override;
    bool ReplaceFile(const std::string& path, const std::string& text) override;
};

}  // namespace zelto
