#pragma once
// Where the settings file's text lives. The core does every INI rule; a store only reads a
// whole file and replaces a whole file atomically.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelto {

// Of a settings file at most this much is read: far more than any settings file holds, so that
// the choices in one grown by mistake still hold rather than falling back to the defaults.
inline constexpr std::size_t kSettingsReadLimit = 16 * 1024 * 1024;

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The process's current directory at the moment of the call, without a trailing separator.
    virtual std::string CurrentDirectory() = 0;
    // What joins the directory and the file name: '/' or, on Windows, '\\'.
    virtual char PathSeparator() const = 0;
    // How the lines of a file the program creates end: "\n" or, on Windows, "\r\n". A file
    // that exists keeps its own line ends.
    virtual std::string_view NewFileLineEnd() const = 0;
    // The file's bytes, at most the first kSettingsReadLimit of them; nothing when it does not
    // exist or cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // The file's whole size in bytes, which may be more than ReadFile gives.
    virtual std::optional<std::uint64_t> FileSize(const std::string& path) {
        const auto text = ReadFile(path);
        return text ? std::optional<std::uint64_t>(text->size()) : std::nullopt;
    }
    // Whether the file is there, readable or not: a file that exists but cannot be read must
    // never be replaced by one holding a single key.
    virtual bool Exists(const std::string& path) { return ReadFile(path).has_value(); }
    // Replaces the file with the text so that a reader sees either the old or the new file,
    // never a partial one (temporary file in the same directory, flush, rename).
    virtual bool ReplaceFile(const std::string& path, const std::string& text) = 0;
};

}  // namespace zelto
