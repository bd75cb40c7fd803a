#pragma once
// The settings file on a Windows disk: whole-file reads, and replacement through a temporary file
// in the same folder that is flushed to the disk and then moved over the old one with
// write-through, so a power cut in the middle of a write leaves the old file or the new one.

#include "win32/windows_api.h"

#include "core/base/settings_store.h"

namespace zelto {

class Win32SettingsStore : public SettingsStore {
public:
    std::string CurrentDirectory() override;
    char PathSeparator() const override { return '\\'; }
    std::string_view NewFileLineEnd() const override { return "\r\n"; }
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    bool Exists(const std::string& path) override;
    bool ReplaceFile(const std::string& path, const std::string& text) override;
};

}  // namespace zelto
