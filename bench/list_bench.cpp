// Opening a folder with 20,000 subfolders in the main window while the
// drive's cache holds a million folder lines, and what scrolling the list
// parses. Runs the real window offscreen.
//
//   bench/list.sh [subfolders] [cache lines] [rounds]

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/StringList.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "ui/main/RowModel.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
namespace fs = std::filesystem;

namespace {
struct YesUi : MessageUi {
    void ShowMessage(const std::string& t, int) override {
        std::fprintf(stderr, "message: %s\n", t.c_str());
    }
    int AskQuestion(const std::string&, int) override { return ID_YES; }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int subfolders = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 1000000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    std::string base = fs::temp_directory_path().string() + "/nrvs-listbench-XXXXXX";
    if (!::mkdtemp(base.data())) return 1;
    const std::string exeDir = base + "/exe/", driveDir = base + "/drive/";
    fs::create_directories(exeDir);
    fs::create_directories(driveDir + "big");
    platform::SetExecutablePath(exeDir + "norvessa");
    platform::DetectDriveMap();
    int letter = -1;
    for (int n = 25; n >= 3 && letter < 0; --n)
        if (platform::DriveRoots()[static_cast<size_t>(n)].empty()) letter = n;
    platform::SetDriveMapEntry(letter, driveDir);
    const std::string root = std::string(1, static_cast<char>('A' + letter)) + ":\\";

    std::fprintf(stderr, "making %d folders and a cache of %d lines...\n", subfolders, lines);
    char name[32];
    for (int i = 0; i < subfolders; ++i) {
        std::snprintf(name, sizeof name, "d%05d", i);
        ::mkdir((driveDir + "big/" + name).c_str(), 0755);
    }
    StringList cache;
    cache.reserve(static_cast<size_t>(lines) + 1);
    cache.push_back("2026/12/07 10:00:00=00:00:03");
    cache.push_back(root + " > 1E12:1.1E12:0:0:0:900000:2:" + std::to_string(lines - 1) +
                    ":0:0:0:0");
    cache.push_back(root + "big\\ > 5E9:6E9:0:0:0:40000:" + std::to_string(subfolders) + ":" +
                    std::to_string(subfolders) + ":0:0:0:0");
    for (int i = 0; i < subfolders; ++i) {
        std::snprintf(name, sizeof name, "d%05d", i);
        cache.push_back(root + "big\\" + name + "\\ > " + std::to_string(1000 + i * 7) + ":" +
                        std::to_string(4096 * (1 + i % 5)) + ":0:0:2:2:0:0:0:0:0:0");
    }
    for (int i = static_cast<int>(cache.size()); i < lines + 1; ++i)
        cache.push_back(root + "other\\p" + std::to_string(i % 997) + "\\sub\\folder" +
                        std::to_string(i) + "\\ > 4096:4096:4096:4096:1:1:0:0:0:0:0:0");
    std::sort(cache.begin() + 1, cache.end(), platform::LessIgnoreCase);
    SaveLines(cache, exeDir + "NRVS_" + std::string(1, static_cast<char>('A' + letter)) + ".txt");
    cache.clear();
    cache.shrink_to_fit();

    YesUi ui;
    SetMessageUi(&ui);
    Global() = GlobalState{};
    auto* w = new MainWindow({});
    w->show();
    w->refreshTimer->stop();
    auto t0 = std::chrono::steady_clock::now();
    w->OpenPath(root, true);
    double openDrive = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    w->OpenPath(root + "big\\", false);
    QTreeWidgetItem* node = w->folderTree->currentItem();

    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        auto s = std::chrono::steady_clock::now();
        w->FillList(node);
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count());
    }
    const size_t rows = w->Rows().size();

    // Scrolling: how many rows the view has the model parse per page.
    auto* model = static_cast<RowModel*>(w->folderList->model());
    QScrollBar* bar = w->folderList->verticalScrollBar();
    const int visible =
        w->folderList->viewport()->height() / std::max(1, w->folderList->rowHeight(0)) + 1;
    long parsed = 0;
    int pages = 0;
    for (int v = bar->pageStep(); v <= bar->maximum() && pages < 50;
         v += bar->pageStep(), ++pages) {
        long before = model->ParsedRows();
        bar->setValue(v);
        w->folderList->viewport()->repaint();
        QApplication::processEvents();
        parsed += model->ParsedRows() - before;
    }

    const double median = Median(times);
    std::printf("drive opened (cache of %d lines loaded, tree and list filled): %.3f s\n", lines,
                openDrive);
    std::printf("folder with %d subfolders: %zu rows, fill median %.3f s over %d rounds (target "
                "0.300 s: %s, %.2f of "
                "the target)\n",
                subfolders, rows, median, rounds, median < 0.3 ? "met" : "NOT met", median / 0.3);
    std::printf("scrolling %d pages: %.1f rows parsed per page, %d rows visible\n", pages,
                pages ? double(parsed) / pages : 0.0, visible);
    delete w;
    SetMessageUi(nullptr);
    platform::SetDriveMapEntry(letter, "");
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
