#include "core/program/main_window_layout.h"

namespace zelto {

namespace {

std::vector<ControlRow> MainWindowLayoutIn(Language language) {
    using K = ControlKind;
    const auto T = [language](TextId id) { return Text(language, id).data(); };
    // Label heights follow the 13-pixel line of the window design's 8-point font; two-line
    // captions take two lines. Label widths reach to just before the next control in the row, so
    // that the wider fallback font still fits without touching its neighbour.
    return {
        {"Panel1", K::Panel, nullptr, {0, 0, 409, 217}, ""},
        {"Label13", K::Text, "Panel1", {160, 8, 70, 13}, T(TextId::Temperature)},
        {"Label7", K::Value, "Panel1", {232, 8, 60, 13}, "00.0 °C"},
        {"Label14", K::Text, "Panel1", {296, 8, 54, 13}, T(TextId::Frequency)},
        {"Label5", K::Value, "Panel1", {352, 8, 52, 13}, "00 Hz"},
        {"Label8", K::Text, "Panel1", {8, 27, 64, 26}, T(TextId::MainsVoltage)},
        {"Label1", K::Value, "Panel1", {46, 40, 60, 13}, "000.0 V"},
        {"Label9", K::Text, "Panel1", {160, 27, 64, 26}, T(TextId::InputVoltage)},
        {"Label2", K::Value, "Panel1", {232, 40, 60, 13}, "000.0 V"},
        {"Label10", K::Text, "Panel1", {296, 27, 64, 26}, T(TextId::OutputVoltage)},
        {"Label3", K::Value, "Panel1", {352, 40, 52, 13}, "000.0 V"},
        {"Image2", K::Picture, "Panel1", {40, 56, 32, 32}, ""},
        {"Image3", K::Picture, "Panel1", {184, 56, 32, 32}, ""},
        {"Image1", K::Picture, "Panel1", {328, 56, 32, 32}, ""},
        {"Label11", K::Text, "Panel1", {296, 96, 54, 13}, T(TextId::Load)},
        {"Label4", K::Value, "Panel1", {352, 96, 52, 13}, "000 %"},
        {"Panel2", K::Frame, "Panel1", {296, 112, 97, 12}, ""},
        {"ProgressBar1", K::Bar, "Panel2", {1, 1, 95, 10}, ""},
        {"Label18", K::Text, "Panel1", {8, 104, 40, 13}, T(TextId::Link)},
        {"ComboBox4", K::List, "Panel1", {8, 120, 65, 21}, ""},
        {"Image5", K::Picture, "Panel1", {144, 120, 32, 32}, ""},
        {"Image4", K::Picture, "Panel1", {184, 120, 32, 32}, ""},
        {"Label12", K::Text, "Panel1", {224, 136, 124, 13}, T(TextId::BatteryVoltage)},
        {"Label6", K::Value, "Panel1", {352, 136, 52, 13}, "00.0 V"},
        {"Label21", K::Text, "Panel1", {8, 152, 132, 13}, T(TextId::BatteryTime)},
        {"Label22", K::Value, "Panel1", {144, 152, 64, 13}, "00:00"},
        {"Label19", K::Text, "Panel1", {272, 152, 78, 13}, T(TextId::BatteryCharge)},
        {"Label20", K::Value, "Panel1", {352, 152, 52, 13}, "0 %"},
        // The rule is drawn along the bottom of its box, in the gap below the row of texts above
        // it.
        {"Bevel1", K::Rule, "Panel1", {8, 160, 393, 12}, ""},
        {"Label15", K::Text, "Panel1", {8, 176, 132, 13}, T(TextId::ShutDownComputer)},
        {"ComboBox1", K::List, "Panel1", {8, 192, 129, 21}, ""},
        {"Label16", K::Text, "Panel1", {144, 176, 124, 13}, T(TextId::ShutdownMethod)},
        {"ComboBox2", K::List, "Panel1", {144, 192, 121, 21}, ""},
        {"Label17", K::Text, "Panel1", {272, 176, 132, 13}, T(TextId::ThenUpsOffIn)},
        {"ComboBox3", K::List, "Panel1", {272, 192, 129, 21}, ""},
        {"Image6", K::Picture, nullptr, {3, 220, 32, 32}, ""},
        {"Button1", K::Button, nullptr, {224, 224, 91, 25}, T(TextId::AboutButton)},
        {"Button3", K::Button, nullptr, {328, 224, 75, 25}, T(TextId::ExitButton)},
    };
}

}  // namespace

const std::vector<ControlRow>& MainWindowLayout(Language language) {
    return LayoutIn(language, [](Language in) { return MainWindowLayoutIn(in); });
}

}  // namespace zelto
