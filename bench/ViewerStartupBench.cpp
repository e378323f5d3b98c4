// Start-up time of the viewer's window with a recording open: from program
// start to the first shot drawn on screen, for each recording named.
//   viewer_startup_bench <file.kqm> [<file.kqm> ...]
// The recordings need their index. Prints one line per recording: its size,
// the time until the window is shown, the file is open, and the shot is drawn.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Forms.h"
#include "TempDir.h"
#include "VantoraMainUnit.h"

namespace {

using TClock = std::chrono::steady_clock;

class TPrintDialogs : public TVantoraDialogs {
public:
    void Message(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
    bool Confirm(const std::string&) override { return true; }
    bool OpenFileName(std::string&, const std::string&, const std::string&) override { return false; }
    void ShowInfo(const std::vector<std::string>&) override {}
    void ShowAbout(const std::string&, const std::string&) override {}
};

double Ms(TClock::time_point from) { return std::chrono::duration<double, std::milli>(TClock::now() - from).count(); }

void Measure(const std::string& path) {
    const TClock::time_point start = TClock::now();
    TTempDir dir;
    TPrintDialogs dialogs;
    TFormVantoraChart1 window(dialogs, {"/file=" + path, "/seek=1"}, dir.File("Vantora.ini"), KQMLIB_DIR);
    window.Form.Show();
    double shown = -1, opened = -1, drawn = -1;
    int paintsWithShot = -1;
    while (Ms(start) < 60000) {
        TApplication::ProcessMessages();
        if (shown < 0 && window.Form.Visible()) shown = Ms(start);
        if (opened < 0 && window.Document().IsOpen()) opened = Ms(start);
        if (window.Chart1.SeriesCount() > 0 && paintsWithShot < 0)
            paintsWithShot = window.ChartHost->Control().PaintCount();
        if (paintsWithShot >= 0 && window.ChartHost->Control().PaintCount() > paintsWithShot) {
            drawn = Ms(start);
            break;
        }
    }
    std::printf("%-40s %8.1f MB  shown %7.1f ms  open %7.1f ms  first shot drawn %7.1f ms\n",
                std::filesystem::path(path).filename().c_str(),
                double(std::filesystem::file_size(path)) / (1024.0 * 1024.0), shown, opened, drawn);
}

}  // namespace

int main(int argc, char** argv) {
    TApplication::Initialize(argc, argv);
    for (int i = 1; i < argc; ++i) Measure(argv[i]);
    return 0;
}
