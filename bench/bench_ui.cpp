// Measures the work the overlay does on every 0.1 s tick (new content, spring step, repaint) and the cost of
// describing the tray menu, which happens on every change of what the menu shows.
//
//     QT_QPA_PLATFORM=offscreen build-bench/bench/bench_ui
//
// Prints "name value" lines for bench/run.sh.

#include "overlay/OverlayView.h"
#include "ui/MenuModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    constexpr int ticks = 2000;
    OverlayView view;
    view.resize(140, 60);
    QPixmap canvas(view.size());
    QElapsedTimer timer;
    timer.start();
    for (int tick = 0; tick < ticks; ++tick) {
        view.setContent(OverlayState::recording, tick, static_cast<float>(tick % 10) / 10.0f);
        view.render(&canvas);
    }
    std::printf("overlay_tick_ms %.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e6 / ticks);

    constexpr int menus = 20000;
    qsizetype rows = 0;
    timer.restart();
    for (int i = 0; i < menus; ++i) {
        rows += describeMenu(static_cast<RecordingState>(i % 3), allModes()[i % 13], i % 2 == 0,
                             QStringLiteral("\u2318\u21E7R"))
                    .items.size();
    }
    std::printf("menu_description_us %.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e3 / menus);
    std::fprintf(stderr, "%lld rows per menu\n", static_cast<long long>(rows / menus));
    return 0;
}
