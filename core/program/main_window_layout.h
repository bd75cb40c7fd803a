#pragma once
// Every control of the main window in one table: each front end builds TForm1 from it and the
// widget test checks the live window against it, so the windows and the table never drift apart.
// Plain data only, so that every front end can read it.

#include <vector>

#include "core/base/texts.h"

namespace zelto {

enum class ControlKind {
    Panel,    // a container with its own background and a raised-in-lowered bevel
    Frame,    // a white container with a lowered edge
    Text,     // fixed caption
    Value,    // a reading: replaced at run time, drawn red and bold
    Picture,  // 32 x 32 image
    Bar,      // progress bar 0-100 without text
    List,     // drop-down list without free text
    Rule,     // horizontal rule
    Button,   // push button
    Memo,     // read-only text of several lines, scrolled
};

// Left, top, width and height in pixels.
struct Rect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlRow {
    const char* name;  // also the widget's objectName
    ControlKind kind;
    const char* parent;  // objectName of the containing control; nullptr: the window itself
    Rect geometry;       // within the parent
    const char* text;    // UTF-8; lines split by '\n'; empty for pictures, lists and bars
};

inline constexpr int kMainWindowWidth = 409;  // the client area
inline constexpr int kMainWindowHeight = 255;
inline constexpr const char* kDesignCaption = "123";

// Rows in creation order: a parent always comes before its children.
const std::vector<ControlRow>& MainWindowLayout(Language language);

// A layout table built once for each language by `build(language)`; each call site's builder
// has tables of its own.
template <typename Build>
const std::vector<ControlRow>& LayoutIn(Language language, Build build) {
    static const std::vector<ControlRow> kRussian = build(Language::Russian);
    static const std::vector<ControlRow> kEnglish = build(Language::English);
    return language == Language::English ? kEnglish : kRussian;
}

}  // namespace zelto
