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

// Where the run of ordinary characters starting at `from` ends: at the next character that
// means something to the splitter. Runs are added to a word whole, not a character at a time.
std::size_t RunEnd(std::string_view line, std::size_t from, bool quoted) {
    while (from < line.size()) {
        const char c = line[from];
        if (IsDropped(c) || c == '\\' || c == '"' || c == '#' || (!quoted && IsSeparator(c))) {
            break;
        }
        ++from;
    }
    return from;
}

class WordCollector {
public:
    // Room for the four words of the usual request or answer, made once.
    WordCollector() { result_.words.reserve(4); }

    void Start() { open_ = true; }
    bool IsOpen() const { return open_; }

    void Add(std::string_view run) {
        if (current_.size() < kNutMaxWordLength) {
            current_.append(run.substr(0, kNutMaxWordLength - current_.size()));
        }
    }

    void End() {
        if (open_ && result_.words.size() < kNutMaxWords) {
            result_.words.push_back(std::move(current_));
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
    std::size_t at = 0;
    while (at < line.size()) {
        const char c = line[at];
        if (IsDropped(c)) {
            ++at;
            continue;
        }
        if (escaped) {
            escaped = false;
            if (!words.IsOpen()) {
                words.Start();
            }
            words.Add(line.substr(at, 1));
        } else if (c == '\\') {
            escaped = true;
        } else if (quoted && c == '"') {
            quoted = false;
            words.End();
        } else if (quoted && c == '#') {
            return words.Finish(true);
        } else if (c == '"') {
            words.End();
            words.Start();
            quoted = true;
        } else if (c == '#') {
            break;
        } else if (IsSeparator(c) && !quoted) {
            words.End();
        } else {
            if (!words.IsOpen()) {
                words.Start();
            }
            const std::size_t end = RunEnd(line, at, quoted);
            words.Add(line.substr(at, end - at));
            at = end;
            continue;
        }
        ++at;
    }
    if (quoted) {
        return words.Finish(true);
    }
    words.End();
    return words.Finish(false);
}

}  // namespace zelto
