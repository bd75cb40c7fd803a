// Charge estimate, charge pictures, tray status and the on-battery clock.

#include <gtest/gtest.h>

#include <string>

#include "core/monitor/battery_clock.h"
#include "core/monitor/charge.h"
#include "core/monitor/tray_tip.h"
#include "tests/support/monitor_rig.h"

namespace zelto {
namespace {

using fakes::MonitorRig;
using fakes::PowerRecord;

// The only values the estimate can take: one per tenth of a volt above the base.
constexpr int kChargeSteps[] = {0, 8, 15, 23, 31, 38, 46, 54, 62, 69, 77, 85, 92, 100};

// "13.6" for 136.
std::string BatteryField(int tenths) {
    std::string text = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    return text.size() < 4 ? "0" + text : text;
}

TEST(ChargeEstimate, EveryTenthFrom9To14VoltsOnBothBases) {
    for (const int base : {kChargeBaseOnBattery, kChargeBaseOnMains}) {
        for (int tenths = 90; tenths <= 140; ++tenths) {
            const int above = tenths - base;
            const int expected = above <= 0 ? 0 : above >= 13 ? 100 : kChargeSteps[above];
            EXPECT_EQ(ChargeEstimate(tenths, base), expected)
                << BatteryField(tenths) << " V, base " << base;
        }
    }
}

TEST(ChargeEstimate, TieAt38AndAHalfGoesToEven) {
    // 10.5 V on battery: 5 x 7.7 = 38.5.
    EXPECT_EQ(ChargeEstimate(105, kChargeBaseOnBattery), 38);
    EXPECT_EQ(ChargeEstimate(125, kChargeBaseOnMains), 38);
}

TEST(ChargeEstimate, ExtremesOfTheField) {
    EXPECT_EQ(ChargeEstimate(0, kChargeBaseOnBattery), 0);
    EXPECT_EQ(ChargeEstimate(999, kChargeBaseOnMains), 100);
    EXPECT_EQ(ChargeEstimate(65535, kChargeBaseOnBattery), 100);
}

TEST(ChargeEstimate, WorkedValuesThroughTheMonitor) {
    const struct {
        const char* battery;
        bool onBattery;
        const char* charge;
    } cases[] = {
        {"10.0", true, "0 %"},   {"10.5", true, "38 %"},   {"11.0", true, "77 %"},
        {"11.2", true, "92 %"},  {"11.3", true, "100 %"},  {"13.6", true, "100 %"},
        {"09.9", true, "0 %"},   {"12.0", false, "0 %"},   {"11.3", false, "0 %"},
        {"13.0", false, "77 %"}, {"13.3", false, "100 %"}, {"12.1", false, "8 %"},
    };
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.TriggerIndex = 6;
        rig.TickWith(PowerRecord(c.battery, c.onBattery));
        EXPECT_EQ(rig.display.charge, c.charge) << c.battery << (c.onBattery ? " battery" : "");
        EXPECT_EQ(std::to_string(rig.state.BatteryCharge) + " %", c.charge);
    }
}

TEST(ChargePicture, LevelsByCharge) {
    const struct {
        int charge;
        int picture;
    } cases[] = {{100, 0}, {99, 1}, {92, 1}, {50, 1}, {49, 2}, {46, 2},
                 {20, 2},  {19, 3}, {15, 3}, {8, 3},  {0, 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(ChargeLevelPicture(c.charge), c.picture) << c.charge;
    }
}

TEST(TrayStatus, OnBatteryEmpty) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    rig.TickWith(PowerRecord("10.0", true));
    EXPECT_EQ(rig.display.trayPicture, 3);
    EXPECT_EQ(rig.display.trayTip, "Питание от UPS. Заряд батареи: 0%");
    EXPECT_EQ(rig.state.TrayTip, "Питание от UPS. Заряд батареи: 0%");
    EXPECT_EQ(rig.display.batteryPicture, 3);
    EXPECT_EQ(rig.display.charge, "0 %");
}

TEST(TrayStatus, OnBatteryHalfAndFull) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    rig.TickWith(PowerRecord("11.0", true));
    EXPECT_EQ(rig.display.trayPicture, 1);
    EXPECT_EQ(rig.display.trayTip, "Питание от UPS. Заряд батареи: 77%");
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.display.trayPicture, 0);
    EXPECT_EQ(rig.display.batteryPicture, 0);
    EXPECT_EQ(rig.display.trayTip, "Питание от UPS. Заряд батареи: 100%");
    rig.state.language = Language::English;
    rig.TickWith(PowerRecord("11.0", true));
    EXPECT_EQ(rig.display.trayTip, "On UPS battery. Battery charge: 77%");
}

TEST(TrayStatus, OnMainsAlwaysThePlugPicture) {
    MonitorRig rig;
    rig.TickWith(PowerRecord("12.4", false));
    EXPECT_EQ(rig.display.trayPicture, 8);
    EXPECT_EQ(rig.display.trayTip, "Питание от сети. Заряд батареи: 31%");
    EXPECT_EQ(rig.display.batteryPicture, 2);
    EXPECT_EQ(rig.display.charge, "31 %");
}

TEST(TrayStatus, TipsFitTheTray) {
    for (const Language language : {Language::Russian, Language::English}) {
        for (const bool onBattery : {true, false}) {
            for (const int charge : kChargeSteps) {
                EXPECT_LE(TrayTipText(language, onBattery, charge).size(), 63u);
            }
        }
    }
}

TEST(MainsPresent, Rearms) {
    MonitorRig rig;
    rig.state.ShutdownArmed = false;
    rig.TickWith(PowerRecord("13.6", false));
    EXPECT_TRUE(rig.state.ShutdownArmed);
    EXPECT_EQ(rig.countdown.closes, 0);
    EXPECT_TRUE(rig.countdown.runs.empty());
}

TEST(BatteryClock, FiftyNinthAndSixtiethRecord) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    for (int i = 0; i < 59; ++i) {
        rig.TickWith(PowerRecord("12.0", true));
    }
    EXPECT_EQ(rig.display.clock, "00:59");
    EXPECT_EQ(rig.display.clockVisible, true);
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.display.clock, "01:00");
    EXPECT_EQ(rig.state.OnBatteryMinutes, 1u);
    EXPECT_EQ(rig.state.OnBatterySeconds, 0u);
}

TEST(BatteryClock, TicksWithoutRecordsNeitherAdvanceNorReset) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    rig.TickWith(PowerRecord("12.0", true));
    rig.Tick();
    rig.TickWith("garbage");
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.display.clock, "00:02");
}

TEST(BatteryClock, MainsResetsAndHides) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    for (int i = 0; i < 7; ++i) {
        rig.TickWith(PowerRecord("12.0", true));
    }
    EXPECT_EQ(rig.display.clock, "00:07");
    rig.TickWith(PowerRecord("13.6", false));
    EXPECT_EQ(rig.display.clockVisible, false);
    EXPECT_EQ(rig.state.OnBatterySeconds, 0u);
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.display.clockVisible, true);
    EXPECT_EQ(rig.display.clock, "00:01");
}

TEST(BatteryClock, MinutesGoPast255) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    rig.state.OnBatteryMinutes = 255;
    rig.state.OnBatterySeconds = 59;
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.display.clock, "256:00");
    EXPECT_EQ(rig.state.OnBatteryMinutes, 256u);
}

TEST(BatteryClock, Text) {
    const struct {
        std::uint32_t minutes;
        std::uint8_t seconds;
        const char* text;
    } cases[] = {{0, 7, "00:07"},   {3, 59, "03:59"},   {12, 0, "12:00"},
                 {99, 10, "99:10"}, {100, 9, "100:09"}, {1000, 0, "1000:00"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BatteryClockText(c.minutes, c.seconds), c.text);
    }
}

}  // namespace
}  // namespace zelto
