// Times the window's Search, offscreen, against the headless search on the
// same practice folder (PAYXREF_BENCH_PRACTICE), whose listing must fit the
// pane. The folder dialog is answered with OK as soon as it shows.
// PAYXREF_BENCH_SHOT=FILE.png saves the window as the last search left it. The window
// is timed twice: from the click (the dialog's building, showing and closing
// included) and from the moment the folder is confirmed, which is the search
// the headless run compares with: the headless run has no folder to choose.
// The second one's time is the thread's CPU time, like the CPU column of the
// others, so that a loaded machine sways it little.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "app/application.h"
#include "app/main_window.h"
#include "app/rich_edit.h"
#include "framework/format.h"
#include "search/headless_search.h"
#include "store/practice_store.h"

namespace {

// CPU seconds the calling thread has used.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string Practice() {
    const char* folder = std::getenv("PAYXREF_BENCH_PRACTICE");
    // The folder dialog works with absolute paths.
    return folder && *folder ? std::filesystem::absolute(folder).string() : "";
}

// Presses OK in every modal window; notes an error box's text.
class User {
public:
    User() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start(1);
    }
    std::string error;
    // The thread's CPU seconds when OK was last pressed in the folder dialog.
    double confirmed = 0;

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            error = box->text().toStdString();
            box->button(QMessageBox::Ok)->click();
            return;
        }
        for (QPushButton* button : modal->findChildren<QPushButton*>())
            if (button->text() == "OK") {
                confirmed = ThreadCpuSeconds();
                button->click();
                return;
            }
    }
    QTimer timer_;
};

void BM_HeadlessSearch(benchmark::State& state) {
    const std::string folder = Practice();
    for (auto _ : state) {
        std::ostringstream out, err;
        if (app::RunHeadlessSearch({folder}, fw::FormatSettings{}, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            return;
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_WindowSearch(benchmark::State& state) {
    app::RecordCurrentPractice(Practice());
    app::TApplication application{"payxref"};
    TfrmMain window{application, fw::FormatSettings{}};
    window.show();
    User user;
    for (auto _ : state) {
        window.Button1->click();
        if (!user.error.empty()) {
            state.SkipWithError(user.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(window.RichEdit1->Text().size());
    }
    // PAYXREF_BENCH_SHOT=FILE.png keeps a picture of the window after the last
    // search, to look at what the user sees.
    const char* shot = std::getenv("PAYXREF_BENCH_SHOT");
    if (shot != nullptr && *shot != '\0' && !window.grab().save(QString::fromLocal8Bit(shot)))
        std::fprintf(stderr, "Cannot write the picture %s\n", shot);
}

// From the folder's confirmation to the end of the search, in CPU seconds.
void BM_WindowSearchAfterFolder(benchmark::State& state) {
    app::RecordCurrentPractice(Practice());
    app::TApplication application{"payxref"};
    TfrmMain window{application, fw::FormatSettings{}};
    window.show();
    User user;
    for (auto _ : state) {
        user.confirmed = -1;
        window.Button1->click();
        const double end = ThreadCpuSeconds();
        if (!user.error.empty()) {
            state.SkipWithError(user.error.c_str());
            return;
        }
        if (user.confirmed < 0) {
            state.SkipWithError("the folder dialog was not confirmed");
            return;
        }
        state.SetIterationTime(end - user.confirmed);
        benchmark::DoNotOptimize(window.RichEdit1->Text().size());
    }
}

BENCHMARK(BM_HeadlessSearch)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_WindowSearch)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_WindowSearchAfterFolder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->UseManualTime()
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
    if (Practice().empty()) {
        std::fprintf(stderr, "Set PAYXREF_BENCH_PRACTICE to a practice folder whose listing fits the pane\n");
        return 2;
    }
    // The window reads the practice folder from the per-user store: a store of its own.
    const auto config = std::filesystem::temp_directory_path() / ("payxref-window-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(config, ec);
    return 0;
}
