// The in-process benchmarks bench/run prints:
//   zelto_bench records [RECORDS [WARM-UP]]   memory over RECORDS records (10000, 1000)
//   zelto_bench countdown [OUTAGES]           mains failure to countdown dialog (6)
//   zelto_bench open                          tray click to the main window's first paint
// Offscreen unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/countdown_latency.h"
#include "bench/record_memory.h"
#include "bench/window_open_latency.h"

namespace {

long Argument(int argc, char** argv, int index, long fallback) {
    return argc > index ? std::strtol(argv[index], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "records") {
        return zelto::bench::RunRecordMemory(
            static_cast<std::size_t>(Argument(argc, argv, 2, 10000)),
            static_cast<std::size_t>(Argument(argc, argv, 3, 1000)));
    }
    if (mode == "countdown") {
        return zelto::bench::RunCountdownLatency(static_cast<int>(Argument(argc, argv, 2, 6)));
    }
    if (mode == "open") {
        return zelto::bench::RunWindowOpenLatency();
    }
    std::fprintf(stderr,
                 "usage: zelto_bench records [RECORDS [WARM-UP]] | countdown [OUTAGES] | open\n");
    return 2;
}
