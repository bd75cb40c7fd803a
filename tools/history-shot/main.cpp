// history-shot OUTPUT.png: fills the program's event log with a simulated day, one status
// record a second on a clock of its own, then opens "Журнал" on it and saves what the window
// shows. The day: mains with a little wander, the load following office hours, the link lost
// for half an hour at night, and an outage in the evening in which the battery runs down to
// the UPS's own "battery low" and then charges again.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/events/event_log.h"
#include "core/link/protocol.h"
#include "qt/journal_window.h"

namespace {

using zelto::Moment;

constexpr std::int64_t kHour = 3600;
// 2024-03-14 18:00 UTC, 21:00 at UTC+3: the picture's "now".
constexpr std::int64_t kEnd = 1710439200;
constexpr std::int32_t kOffset = 3 * 3600;

class DayClock : public zelto::Clock {
public:
    Moment Now() override { return Moment{now, kOffset}; }
    std::int64_t now = 0;
};

class NoFile : public zelto::JournalFile {
public:
    std::string Path() const override { return "UPSZelto.log"; }
    std::uint64_t Size() override { return 0; }
    bool Append(std::string_view) override { return true; }
    bool Rotate() override { return true; }
};

class NoNotifier : public zelto::Notifier {
public:
    void Show(const zelto::Notification&) override {}
};

class PrintedErrors : public zelto::ErrorReporter {
public:
    void Report(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

std::string Field(double value, int width, int decimals) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*.*f", width, decimals, value);
    return text;
}

// The record of second `t` of the day, local time `local` seconds after midnight.
std::string RecordAt(std::int64_t local, bool outage, double battery) {
    const double hours = static_cast<double>(local % (24 * kHour)) / kHour;
    const double mains =
        outage ? 0.0 : 226.0 + 4.0 * std::sin(hours / 3.0) + 1.5 * std::sin(hours * 7.0);
    const double output = outage ? 219.5 : 220.0 + 0.6 * std::sin(hours * 5.0);
    const bool office = hours >= 8.5 && hours < 18.5;
    const double load = (office ? 34.0 : 14.0) + 4.0 * std::sin(hours * 11.0);
    const bool low = outage && battery < 11.0;
    return "(" + Field(mains, 5, 1) + " " + Field(mains, 5, 1) + " " + Field(output, 5, 1) + " " +
           Field(std::round(load), 3, 0) + " 50.0 " + Field(battery, 4, 1) + " 30.0 " +
           (outage ? "1" : "0") + (low ? "1" : "0") + "001001\r";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: history-shot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    DayClock clock;
    NoFile file;
    NoNotifier notifier;
    PrintedErrors errors;
    zelto::EventLog events(clock, file, notifier, errors);

    const std::int64_t start = kEnd - 24 * kHour + 1;
    const std::int64_t linkLostFrom = kEnd - 18 * kHour;  // 03:00 local
    const std::int64_t linkLostTo = linkLostFrom + kHour / 2;
    const std::int64_t outageFrom = kEnd - 2 * kHour - 20 * 60;  // 18:40 local
    const std::int64_t outageTo = outageFrom + 38 * 60;
    double battery = 13.6;
    clock.now = start;
    events.Started();
    for (clock.now = start; clock.now <= kEnd; ++clock.now) {
        events.Monitor().TickStarted();
        if (clock.now >= linkLostFrom && clock.now < linkLostTo) {
            continue;
        }
        const bool outage = clock.now >= outageFrom && clock.now < outageTo;
        // The battery falls fast under load and recovers slowly on charge.
        battery = outage ? std::max(10.4, battery - 0.0012) : std::min(13.6, battery + 0.0003);
        events.Monitor().RecordReceived(
            zelto::StatusRecord(RecordAt(clock.now + kOffset, outage, battery)), std::nullopt);
    }

    zelto::TJournalForm window(events, clock, zelto::Language::Russian);
    window.resize(720, 540);
    window.Refresh();
    window.show();
    int status = 1;
    // Grabbed once the window has been drawn on the screen.
    QTimer::singleShot(500, [&] {
        const QPixmap picture = window.grab();
        status = picture.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
