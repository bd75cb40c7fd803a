#include "core/program/main_window_contents.h"

#include <cstring>

#include "core/program/main_window_layout.h"

namespace zelto {
namespace {

const char* DesignText(const char* name) {
    // The readings' placeholders are the same in every language.
    for (const auto& row : MainWindowLayout(Language::Russian)) {
        if (std::strcmp(row.name, name) == 0) {
            return row.text;
        }
    }
    return "";
}

}  // namespace

MainWindowContents DesignContents() {
    MainWindowContents contents;
    const char* const readingLabels[kReadingCount] = {"Label1", "Label2", "Label3", "Label4",
                                                      "Label5", "Label6", "Label7"};
    for (std::size_t i = 0; i < kReadingCount; ++i) {
        contents.readings[i] = DesignText(readingLabels[i]);
    }
    contents.charge = DesignText("Label20");
    contents.clock = DesignText("Label22");
    contents.caption = kDesignCaption;
    return contents;
}

}  // namespace zelto
