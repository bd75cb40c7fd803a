#pragma once
// What the main window shows, kept whether or not the window exists or is open: the front end
// builds the window only when the user first opens it, paints these contents then and each time
// it opens again, and passes changes on to its controls only while it is open.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/monitor/display.h"
#include "core/monitor/policy.h"

namespace zelto {

inline constexpr std::size_t kReadingCount = 7;
inline constexpr std::size_t kPolicyListCount = 3;

struct MainWindowContents {
    std::array<std::string, kReadingCount> readings;  // Label1 .. Label7, in Reading order
    std::optional<bool> linkOk;  // port list text black (true) or red (false); none yet
    int loadPercent = 0;         // ProgressBar1
    int beeperPicture = -1;      // Image5, none before the first record
    int batteryPicture = 0;      // Image4
    std::string charge;          // Label20
    bool clockVisible = true;    // Label21 and Label22
    std::string clock;           // Label22
    // Selected entry of ComboBox1, ComboBox2, ComboBox3 (PolicyList order) and ComboBox4, as
    // asked for: an index outside its list selects nothing.
    std::array<int, kPolicyListCount> policyIndex{-1, -1, -1};
    std::vector<std::string> ports;  // ComboBox4's entries
    int portIndex = -1;
    bool upsOffEnabled = true;  // ComboBox3 greyed while a network UPS is followed
    std::string caption;        // the window's title

    std::string& ReadingText(Reading which) { return readings[static_cast<std::size_t>(which)]; }
    int& PolicyIndexOf(PolicyList list) { return policyIndex[static_cast<std::size_t>(list)]; }
};

// The contents of a window nothing has been shown in yet: the texts and caption of its design.
MainWindowContents DesignContents();

}  // namespace zelto
