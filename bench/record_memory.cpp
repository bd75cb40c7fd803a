#include "bench/record_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/rotation_record.h"
#include "core/program/program.h"
#include "qt/file_settings_store.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/message_box_reporter.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/memory_sample.h"
#include "support/scripted_ups_port.h"

namespace zelto::bench {
namespace {

using test::MemorySample;
using test::SampleMemory;

bool WriteSettings(const QString& path) {
    QFile file(path);
    const QByteArray ini =
        "[UPS]\r\nPorts=/memory/ups\r\nCOMPort=0\r\nCompOff=6\r\nOffMethod=1\r\n"
        "OffUPS=0\r\nOFFAfter=10\r\n";
    return file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size();
}

// Counts the paint events of all widgets, to show that the window really was drawn.
class PaintCounter : public QObject {
public:
    std::size_t paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Lets the window repaint and deletes what was left for later, as the event loop would between
// two ticks.
void SettleEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Feed(MainWindowHost& form, std::size_t records) {
    for (std::size_t i = 0; i < records; ++i) {
        form.Timer1Timer();
        SettleEvents();
    }
}

void Print(const char* when, const MemorySample& sample) {
    std::printf("%-28s VmRSS %7lld kB   heap in use %10lld bytes\n", when,
                static_cast<long long>(sample.residentKb),
                static_cast<long long>(sample.heapBytes));
}

}  // namespace

int RunRecordMemory(std::size_t records, std::size_t warmUp) {
    QTemporaryDir folder;
    if (!folder.isValid() || !WriteSettings(folder.filePath("UPSZelto.ini")) ||
        !QDir::setCurrent(folder.path())) {
        std::fprintf(stderr, "no working folder for the settings file\n");
        return 1;
    }

    MessageBoxReporter errors;
    FileSettingsStore store;
    test::ScriptedUpsPort port;
    port.AnswerWith(RotationRecord);
    fakes::FakePortTable portTable;  // none: the port list comes from "Ports" alone
    // The trigger is "никогда", so nothing may ever ask.
    fakes::FakePowerRequests power;
    power.refusal = "not in a benchmark";
    power.onRequest = [](PowerAction) { std::fprintf(stderr, "unexpected power request\n"); };
    MainWindowHost form;
    Program program(Platform{store, port, portTable, form, form, form, power, errors});
    ConnectWindowToProgram(form, program);
    form.FormCreate();
    // The ticks come from here, one per record, as fast as the window takes them.
    form.Timer1().stop();
    form.ShowHideExecute();
    SettleEvents();

    Feed(form, warmUp);
    PaintCounter painted;
    QCoreApplication::instance()->installEventFilter(&painted);
    const MemorySample before = SampleMemory();
    QElapsedTimer clock;
    clock.start();
    const std::size_t answeredBefore = port.Commands().queries;
    const std::size_t step = records / 5 > 0 ? records / 5 : records;
    Print("after warm-up", before);
    for (std::size_t done = 0; done < records; done += step) {
        Feed(form, std::min(step, records - done));
        char when[64];
        std::snprintf(when, sizeof when, "after %zu records", std::min(done + step, records));
        Print(when, SampleMemory());
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const MemorySample after = SampleMemory();
    const std::size_t handled = port.Commands().queries - answeredBefore;

    std::printf("records_measured: %zu (after %zu warm-up)\n", handled, warmUp);
    std::printf("time_per_record_us: %.0f\n", seconds * 1e6 / static_cast<double>(handled));
    std::printf("rss_growth_kb: %lld\n",
                static_cast<long long>(after.residentKb - before.residentKb));
    std::printf("heap_growth_bytes: %lld\n",
                static_cast<long long>(after.heapBytes - before.heapBytes));
    std::printf("widget_paints: %zu\n", painted.paints);
    std::printf("errors_shown: %s\n", errors.OpenBox() != nullptr ? "yes" : "no");
    return handled == records ? 0 : 1;
}

}  // namespace zelto::bench
