#pragma once
// Every control of the main window in one table: the window is built from it and the widget test
// checks the live window against it, so the two can never drift apart.

#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/monitor/policy.h"

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
};

struct ControlRow {
    const char* name;  // also the widget's objectName
    ControlKind kind;
    const char* parent;  // objectName of the containing control; nullptr: the window itself
    QRect geometry;      // left, top, width, height within the parent
    const char* text;    // UTF-8; lines split by '\n'; empty for pictures, lists and bars
};

inline constexpr int kClientWidth = 409;
inline constexpr int kClientHeight = 255;
inline constexpr const char* kDesignCaption = "123";
inline constexpr const char* kBeeperHint = "Включить/выключить пищалку UPS";

// Rows in creation order: a parent always comes before its children.
const std::vector<ControlRow>& MainWindowLayout();

// The fixed items of a policy list, index for index.
QStringList PolicyItems(PolicyList list);

}  // namespace zelto
