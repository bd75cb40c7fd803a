// The soak: a day of status records (86,400, one per simulated second) through the real main
// window, countdown dialog and error boxes, offscreen and as fast as they take them. The UPS is
// in memory and follows a script that repeats every simulated hour: mains failures cancelled by
// mains coming back, by the user, and ones that run out (one set off by the charge, one with a bad
// countdown length), bad records, garbage, oversized chunks, silence and an unplugged device.
// Power requests only count; every third is refused, as a system may.
//
//   soak [--hours N] [--max-heap-growth-kb K] [--max-rss-growth-kb K]
//
// Prints the memory at start, after the first simulated hour (warm-up) and after every hour, and
// at the end what happened and what is left: nested event loops (none ever runs), open error
// boxes (at most one). Exits non-zero when memory grew beyond the bounds after the warm-up,
// when anything is left over, or when the program did not do what the script called for.
//
// Ticks are called directly, one per simulated second; they count every countdown down in the
// real dialog, as Timer1's ticks do.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QMetaObject>
#include <QPalette>
#include <QPixmapCache>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/events/event_log.h"
#include "core/program/program.h"
#include "qt/countdown_dialog.h"
#include "qt/file_settings_store.h"
#include "qt/journal_window.h"
#include "qt/journal_window_host.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/message_box_reporter.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/event_fakes.h"
#include "support/memory_sample.h"
#include "support/scripted_ups_port.h"

namespace zelto::test {
namespace {

constexpr long kHour = 3600;
constexpr char kPortPath[] = "/memory/ups";

struct Options {
    long hours = 24;
    std::int64_t maxHeapGrowthKb = 128;
    std::int64_t maxRssGrowthKb = 4096;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const long value = std::strtol(argv[++i], nullptr, 10);
        if (name == "--hours" && value >= 2) {
            options.hours = value;
        } else if (name == "--max-heap-growth-kb" && value >= 0) {
            options.maxHeapGrowthKb = value;
        } else if (name == "--max-rss-growth-kb" && value >= 0) {
            options.maxRssGrowthKb = value;
        } else {
            return false;
        }
    }
    return true;
}

// The error boxes open now, wherever they came from; with `hiddenToo` also those closed but
// not yet deleted.
int CountBoxes(bool hiddenToo) {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && (hiddenToo || widget->isVisible())) {
            ++count;
        }
    }
    return count;
}

void PrintMemory(const char* when, const MemorySample& sample) {
    std::printf("%-18s RSS %7lld kB   heap in use %10lld bytes\n", when,
                static_cast<long long>(sample.residentKb),
                static_cast<long long>(sample.heapBytes));
    std::fflush(stdout);
}

// The outages of every simulated hour, as seconds into the hour: [from, to) is kept clear of
// line faults.
struct Window {
    long from;
    long to;
};
constexpr Window kOutageWindows[] = {{280, 330}, {1180, 1250}, {2080, 2330}, {2680, 2750}};

// Faults in the order the script puts them on the line, one every 97 seconds outside outages.
enum class LineEvent {
    Split,
    Short,
    Long,
    Double,
    GarbageShort,
    GarbageLong,
    Flood,
    OversizedFlood,
    BadLoad,
    BadBattery,
    Silence,
    Unplugged,
    Count
};

// The simulated day starts on a whole history slot.
constexpr std::int64_t kDayStart = 1'699'920'000;

fakes::MemoryJournalFile Counting() {
    fakes::MemoryJournalFile file;
    file.keep = false;
    return file;
}

fakes::FakeNotifier CountingNotifier() {
    fakes::FakeNotifier notifier;
    notifier.keep = false;
    return notifier;
}

class SoakDay : public QObject {
public:
    SoakDay(const Options& options, const QString& iniPath)
        : options_(options),
          seconds_(options.hours * kHour),
          iniPath_(iniPath),
          program_(
              Platform{store_, ups_, portTable_, form_, form_, form_, power_, events_, &events_}),
          // Built before the day, so that its showings can be counted.
          countdown_(form_.CountdownWindow()) {
        // As the program entry puts them together.
        ConnectWindowToProgram(form_, program_);
        countdown_.installEventFilter(this);
        // Every third power request refused, as a system may.
        power_.onRequest = [this](PowerAction) {
            power_.refusal =
                power_.actions.size() % 3 == 0
                    ? std::optional<std::string>(
                          "org.freedesktop.login1.SleepVerbNotSupported: not in a soak")
                    : std::nullopt;
        };
    }

    // Start-up, then the day; returns when the last simulated second is done.
    void Run() {
        WriteSettings("10");
        form_.FormCreate();
        // The ticks come from the script, one per simulated second: Timer1 may not fire on its
        // own.
        form_.Timer1().stop();
        wall_.start();
        QMetaObject::invokeMethod(this, &SoakDay::Step, Qt::QueuedConnection);
        QApplication::exec();
        levelAfterDay_ = QThread::currentThread()->loopLevel();
    }

    int Report() {
        const double wallSeconds = static_cast<double>(wall_.nsecsElapsed()) / 1e9;
        const long hours = options_.hours;
        std::printf("\nsimulated: %ld h (%ld ticks) in %.1f s wall time, %.0fx real time\n", hours,
                    secondsDone_, wallSeconds, static_cast<double>(secondsDone_) / wallSeconds);
        std::printf("records shown: %llu; queries sent: %llu; port opened %llu times\n",
                    static_cast<unsigned long long>(program_.State().RecordsHandled),
                    static_cast<unsigned long long>(ups_.Commands().queries),
                    static_cast<unsigned long long>(ups_.Opens()));
        std::printf(
            "countdowns (real dialog): %llu shown, %llu ran out, %llu cancelled by "
            "mains, %llu cancelled by the user\n",
            static_cast<unsigned long long>(countdownsShown_),
            static_cast<unsigned long long>(power_.actions.size()),
            static_cast<unsigned long long>(countdownsShown_ - power_.actions.size() -
                                            userCancels_),
            static_cast<unsigned long long>(userCancels_));
        std::printf(
            "power requests: %llu (power-off %llu, hibernate %llu, stand-by %llu), "
            "%llu refused; UPS switch-off commands: %llu\n",
            static_cast<unsigned long long>(power_.actions.size()),
            static_cast<unsigned long long>(Requests(PowerAction::PowerOff)),
            static_cast<unsigned long long>(Requests(PowerAction::Hibernate)),
            static_cast<unsigned long long>(Requests(PowerAction::Suspend)),
            static_cast<unsigned long long>(power_.actions.size() / 3),
            static_cast<unsigned long long>(ups_.Commands().switchOffs));
        std::printf("line faults: %llu; error boxes opened: %llu, closed by the user: %llu\n",
                    static_cast<unsigned long long>(faults_),
                    static_cast<unsigned long long>(boxesOpened_),
                    static_cast<unsigned long long>(boxesClosed_));
        std::printf(
            "history: %zu slots kept at the end, ring %zu bytes at most; journal: %llu lines, "
            "%llu rotations; notifications: %llu\n",
            historySlots_, mostHistoryBytes_, static_cast<unsigned long long>(journalFile_.appends),
            static_cast<unsigned long long>(journalFile_.rotations),
            static_cast<unsigned long long>(notifier_.shown));
        std::printf("error boxes open at once: at most %d; at the end %d open, %d in all\n",
                    mostBoxes_, CountBoxes(false), CountBoxes(true));
        std::printf(
            "nested event loops: deepest %d beyond the main one; at the end %d beyond it "
            "(level %d inside the main loop, %d after it)\n",
            deepestLevel_ - 1, lastLevel_ - 1, lastLevel_, levelAfterDay_);

        // What the script called for, hour after hour.
        std::uint64_t switchOffs = 0;
        for (long hour = 0; hour < hours; ++hour) {
            switchOffs += UpsOffIndex(hour) > 0 ? 2 : 0;
        }
        Expect(secondsDone_ == seconds_, "not every simulated second ran");
        Expect(countdownsShown_ == 4 * static_cast<std::uint64_t>(hours),
               "countdowns shown: " + std::to_string(countdownsShown_) + ", expected " +
                   std::to_string(4 * hours));
        Expect(power_.actions.size() == 2 * static_cast<std::size_t>(hours),
               "power requests: " + std::to_string(power_.actions.size()) + ", expected " +
                   std::to_string(2 * hours));
        Expect(userCancels_ == static_cast<std::uint64_t>(hours), "user cancels");
        Expect(ups_.Commands().switchOffs == switchOffs,
               "switch-off commands: " + std::to_string(ups_.Commands().switchOffs) +
                   ", expected " + std::to_string(switchOffs));
        Expect(mostBoxes_ <= 1, "more than one error box open at once");
        Expect(CountBoxes(true) <= 1, "closed error boxes left behind");
        Expect(lastLevel_ == 1 && levelAfterDay_ == 0, "a nested event loop was left running");
        Expect(deepestLevel_ <= 1, "an event loop ran nested in the main one");

        const MemorySample& warm = samples_.at(1);
        const MemorySample& end = samples_.back();
        const std::int64_t heapGrowthKb = (end.heapBytes - warm.heapBytes) / 1024;
        const std::int64_t rssGrowthKb = end.residentKb - warm.residentKb;
        std::printf(
            "memory after the warm-up hour to the end: RSS %+lld kB (bound %lld), heap "
            "%+lld kB (bound %lld)\n",
            static_cast<long long>(rssGrowthKb), static_cast<long long>(options_.maxRssGrowthKb),
            static_cast<long long>(heapGrowthKb), static_cast<long long>(options_.maxHeapGrowthKb));
        // Under valgrind the allocator is valgrind's and malloc's statistics stay at zero; its own
        // leak check stands for the heap figure there.
        if (warm.heapBytes == 0 && end.heapBytes == 0) {
            std::printf("heap figure not available with this allocator\n");
        }
        Expect(heapGrowthKb <= options_.maxHeapGrowthKb, "the heap grew after the warm-up");
        // Under AddressSanitizer freed memory waits in quarantine, so the resident set grows by
        // design; the heap figure and the leak check at exit stand for it there.
        if (!kUnderAddressSanitizer) {
            Expect(rssGrowthKb <= options_.maxRssGrowthKb,
                   "the resident set grew after the warm-up");
        }
        for (const auto& failure : failures_) {
            std::printf("FAIL: %s\n", failure.c_str());
        }
        std::printf("%s\n", failures_.empty() ? "PASS" : "FAIL");
        return failures_.empty() ? 0 : 1;
    }

    void SampleStart() {
        samples_.push_back(SampleMemory());
        PrintMemory("start", samples_.back());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &countdown_ && event->type() == QEvent::Show) {
            ++countdownsShown_;
            countdownShownAt_ = current_;
        }
        return false;
    }

private:
    std::size_t Requests(PowerAction action) const {
        return static_cast<std::size_t>(
            std::count(power_.actions.begin(), power_.actions.end(), action));
    }

    // One simulated second. The next one is queued first, as the timer's next tick would be.
    void Step() {
        if (second_ >= seconds_) {
            lastLevel_ = QThread::currentThread()->loopLevel();
            QApplication::quit();
            return;
        }
        const long now = second_++;
        current_ = now;
        clock_.now.unixSeconds = kDayStart + now;
        QMetaObject::invokeMethod(this, &SoakDay::Step, Qt::QueuedConnection);
        const int level = QThread::currentThread()->loopLevel();
        deepestLevel_ = std::max(deepestLevel_, level);

        Script(now);
        form_.Timer1Timer();
        WatchBoxes(now);
        ++secondsDone_;
        if ((now + 1) % kHour == 0) {
            EndOfHour(now / kHour);
        }
    }

    void Script(long now) {
        const long hour = now / kHour;
        const long t = now % kHour;
        if (t == 0 && hour % 2 == 0) {
            // Shown for two hours, hidden for two: painting is part of the day too.
            form_.ShowHideExecute();
        }
        if (t % 600 == 150) {
            form_.Window().Image5Click();
        }
        // "Журнал" open for half of the warm-up hour: built once, drawn each second.
        if (hour == 0 && t == 600) {
            journal_.Open();
        }
        if (hour == 0 && t == 2400 && journal_.WindowIfBuilt() != nullptr) {
            journal_.WindowIfBuilt()->close();
        }
        if (t == 3000) {
            form_.Window().ComboBox4DropDown();
        }
        EndLineEvents(now);

        // A: mains fail and come back while the countdown still runs.
        if (t == 295) {
            WriteSettings("10");
        } else if (t == 300) {
            ups_.SetMains(false);
        } else if (t == 306) {
            ups_.SetMains(true);
        }
        // B: the countdown runs out; every sixth hour its length in the file is bad, so the
        // default ten seconds are counted after the error box.
        if (t == 1190) {
            Choose("ComboBox3", UpsOffIndex(hour));
            Choose("ComboBox2", static_cast<int>(hour % 3));
            WriteSettings(hour % 6 == 5 ? "x1" : "3");
        } else if (t == 1200) {
            ups_.SetMains(false);
        } else if (t == 1230) {
            ups_.SetMains(true);
        }
        // C: "при 50% батареи" with the battery draining a tenth of a volt every 20 s; the
        // charge reaches 46 % at 10.6 V and the countdown of 0 s runs out at once.
        if (t == 2090) {
            Choose("ComboBox1", 2);
            WriteSettings("0");
        } else if (t == 2100) {
            ups_.SetBatteryTenths(113);
            ups_.SetMains(false);
        } else if (t > 2100 && t < 2300 && (t - 2100) % 20 == 0 && ups_.BatteryTenths() > 100) {
            ups_.SetBatteryTenths(ups_.BatteryTenths() - 1);
        } else if (t == 2300) {
            ups_.SetBatteryTenths(136);
            ups_.SetMains(true);
        } else if (t == 2310) {
            Choose("ComboBox1", 0);
        }
        // D: the user cancels; no second countdown in the same outage.
        if (t == 2695) {
            WriteSettings("10");
        } else if (t == 2700) {
            ups_.SetMains(false);
        } else if (t == 2730) {
            ups_.SetMains(true);
        }
        if (t > 2700 && t < 2730 && countdown_.isVisible() && now - countdownShownAt_ == 2) {
            countdown_.findChild<QPushButton*>("Button1")->click();
            ++userCancels_;
        }

        if (t % 97 == 13 && Quiet(t)) {
            StartLineEvent(now);
        }
    }

    static int UpsOffIndex(long hour) { return static_cast<int>(hour % 11); }

    static bool Quiet(long t) {
        for (const auto& window : kOutageWindows) {
            if (t + 30 >= window.from && t < window.to) {
                return false;
            }
        }
        return true;
    }

    void StartLineEvent(long now) {
        using Fault = ScriptedUpsPort::Fault;
        const auto event = static_cast<LineEvent>(faults_++ % static_cast<int>(LineEvent::Count));
        switch (event) {
            case LineEvent::Split:
                ups_.Queue(Fault::Split);
                break;
            case LineEvent::Short:
                ups_.Queue(Fault::Short);
                break;
            case LineEvent::Long:
                ups_.Queue(Fault::Long);
                break;
            case LineEvent::Double:
                ups_.Queue(Fault::Double);
                break;
            case LineEvent::GarbageShort:
                ups_.Queue(Fault::Garbage, 30);
                break;
            case LineEvent::GarbageLong:
                ups_.Queue(Fault::Garbage, 300);
                break;
            case LineEvent::Flood:
                ups_.Queue(Fault::Flood, 4000);
                break;
            case LineEvent::OversizedFlood:
                ups_.Queue(Fault::Flood, 70000);
                break;
            // Bad records come in runs, so that errors arrive while a box is still open.
            case LineEvent::BadLoad:
                ups_.Queue(Fault::BadLoad);
                ups_.Queue(Fault::BadBattery);
                break;
            case LineEvent::BadBattery:
                for (int i = 0; i < 3; ++i) {
                    ups_.Queue(Fault::BadBattery);
                }
                break;
            case LineEvent::Silence:
                ups_.SetSilent(true);
                silentUntil_ = now + 5;
                break;
            case LineEvent::Unplugged:
                ups_.SetPresent(false);
                unpluggedUntil_ = now + 8;
                break;
            case LineEvent::Count:
                break;
        }
    }

    void EndLineEvents(long now) {
        if (now == silentUntil_) {
            ups_.SetSilent(false);
        }
        if (now == unpluggedUntil_) {
            ups_.SetPresent(true);
        }
    }

    // A list choice as the user makes it.
    void Choose(const char* list, int index) {
        auto* combo = form_.Window().findChild<QComboBox*>(list);
        if (combo == nullptr) {
            Fail(std::string("no ") + list);
            return;
        }
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // Never more than one box; the user closes a box some forty seconds after it appeared.
    void WatchBoxes(long now) {
        mostBoxes_ = std::max(mostBoxes_, CountBoxes(false));
        QMessageBox* box = errors_.OpenBox();
        if (box != lastBox_.data()) {
            lastBox_ = box;
            if (box != nullptr) {
                ++boxesOpened_;
                boxOpenedAt_ = now;
            }
        }
        if (box != nullptr && now - boxOpenedAt_ >= 40) {
            box->button(QMessageBox::Ok)->click();
            ++boxesClosed_;
        }
    }

    void EndOfHour(long hour) {
        // The hour's outages are over and a normal record came in the last tick.
        const ProgramState& state = program_.State();
        // What the window shows, or would show when it opens: it may be hidden now.
        const std::string& mains = form_.Contents().readings[0];
        Expect(state.LinkOk && mains == "228.0 V" && state.ShutdownArmed && !countdown_.isVisible(),
               "hour " + std::to_string(hour + 1) + " did not end with records on mains");
        // The history's ring keeps its size, and all of the day's slots with records in it.
        const History& history = events_.Readings();
        const std::size_t kept = history.Points(clock_.Now().unixSeconds).size();
        mostHistoryBytes_ = std::max(mostHistoryBytes_, history.Bytes());
        Expect(history.Bytes() <= 64 * 1024, "the history takes more than 64 KiB");
        Expect(kept <= 5760, "the history holds more than a day of 15-second slots");
        const auto hoursKept = static_cast<std::size_t>(std::min(hour + 1, 24L));
        Expect(kept >= hoursKept * 240 / 2, "the history lost slots: " + std::to_string(kept) +
                                                " kept after hour " + std::to_string(hour + 1));
        historySlots_ = kept;
        samples_.push_back(SampleMemory());
        char when[32];
        std::snprintf(when, sizeof when, hour == 0 ? "hour 1 (warm-up)" : "hour %ld", hour + 1);
        PrintMemory(when, samples_.back());
    }

    void WriteSettings(const char* offAfter) {
        const QByteArray ini =
            QByteArray("[UPS]\r\nPorts=") + kPortPath +
            "\r\nCOMPort=0\r\nCompOff=0\r\nOffMethod=1\r\nOffUPS=0\r\nOFFAfter=" + offAfter +
            "\r\n";
        QFile file(iniPath_);
        if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size()) {
            Fail("cannot write " + iniPath_.toStdString());
        }
    }

    void Expect(bool ok, const std::string& what) {
        if (!ok) {
            Fail(what);
        }
    }
    void Fail(const std::string& what) { failures_.push_back(what); }

    Options options_;
    const long seconds_;
    QString iniPath_;

    // In the order the program entry creates them, so they go in the reverse order.
    MessageBoxReporter errors_;
    FileSettingsStore store_;
    ScriptedUpsPort ups_;
    fakes::FakePortTable portTable_;  // none: the port list comes from "Ports" alone
    fakes::FakePowerRequests power_;
    MainWindowHost form_;
    fakes::FakeClock clock_{Moment{kDayStart, 0}};
    fakes::MemoryJournalFile journalFile_ = Counting();
    fakes::FakeNotifier notifier_ = CountingNotifier();
    EventLog events_{clock_, journalFile_, notifier_, errors_};
    Program program_;
    JournalWindowHost journal_{events_, clock_, form_};
    TForm2& countdown_;

    QElapsedTimer wall_;
    long second_ = 0;   // the next simulated second to run
    long current_ = 0;  // the second whose step runs now (the innermost one)
    long secondsDone_ = 0;
    long countdownShownAt_ = -1;
    long silentUntil_ = -1;
    long unpluggedUntil_ = -1;
    std::uint64_t countdownsShown_ = 0;
    std::uint64_t userCancels_ = 0;
    std::uint64_t faults_ = 0;
    std::uint64_t boxesOpened_ = 0;
    std::uint64_t boxesClosed_ = 0;
    QPointer<QMessageBox> lastBox_;
    long boxOpenedAt_ = 0;
    int mostBoxes_ = 0;
    int deepestLevel_ = 0;
    int lastLevel_ = -1;
    int levelAfterDay_ = -1;
    std::size_t mostHistoryBytes_ = 0;
    std::size_t historySlots_ = 0;
    std::vector<MemorySample> samples_;
    std::vector<std::string> failures_;
};

}  // namespace
}  // namespace zelto::test

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    zelto::test::Options options;
    if (!zelto::test::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: soak [--hours N (2 or more)] [--max-heap-growth-kb K] "
                     "[--max-rss-growth-kb K]\n");
        return 2;
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // Qt keeps the style's drawings of the controls in its pixmap cache (up to 10 MB) and sweeps
    // out stale keys with a 30-second timer of its own, which a day run in seconds never gives a
    // chance: the cache would fill to its limit here as it never does at one tick a second. The
    // cache is off for the soak, so what grows is what the program itself keeps.
    QPixmapCache::setCacheLimit(0);
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir::setCurrent(folder.path())) {
        std::fprintf(stderr, "soak: no working folder for the settings file\n");
        return 1;
    }
    std::printf("soak: %ld simulated hours of records through the real window, offscreen\n",
                options.hours);
    int result = 0;
    {
        zelto::test::SoakDay day(options, folder.filePath("UPSZelto.ini"));
        day.SampleStart();
        day.Run();
        result = day.Report();
    }
    return result;
}
