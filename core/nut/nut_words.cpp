#include "core/nut/nut_words.h"

#include <utility>

namespace zelto {
namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Dropped outright: control bytes other than the separators, DEL and everything above ASCII.
bool IsDropped(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && !IsSeparator(c)) || byte > 0x7E;
}

class WordCollector {
public:
    void Start() { open_ = true; }
    bool IsOpen() const { return open_; }

    void Add(char c) {
        if (current_.size() < kNutMaxWordLength) {
            current_ += c;
        }
    }

    void End() {
        if (open_ && result_.words.size() < kNutMaxWords) {
            result_.words.push_back(current_);
        }
        current_.clear();
        open_ = false;
    }

    NutWords Finish(bool malformed) {
        result_.malformed = malformed;
        return std::move(result_);
    }

private:
    NutWords result_;
    std::string current_;
    bool open_ = false;
};

}  // namespace

NutWords SplitNutWords(std::string_view line) {
    WordCollector words;
    bool quoted = false;
    bool escaped = false;
    for (const char c : line) {
        if (IsDropped(c)) {
            continue;
        }
        if (escaped) {
            escaped = false;
            if (!words.IsOpen()) {
                words.Start();
            }
            words.Add(c);
        } else if (c == '\\') {
            escaped = true;
        } else if (quoted) {
            if (c == '"') {
                quoted = false;
                words.End();
            } else if (c == '#') {
                return words.Finish(true);
            } else {
                words.Add(c);
            }
        } else if (c == '"') {
            words.End();
            words.Start();
            quoted = true;
        } else if (c == '#') {
            break;
        } else if (IsSeparator(c)) {
            words.End();
        } else {
            if (!words.IsOpen()) {
                words.Start();
            }
            words.Add(c);
        }
    }
    if (quoted) {
        return words.Finish(true);
    }
    words.End();
    return words.Finish(false);
}

}  // namespace zelto
