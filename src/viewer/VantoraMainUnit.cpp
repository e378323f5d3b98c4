#include "VantoraMainUnit.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "CommandLine.h"
#include "StrUtils.h"

TFormVantoraChart1::TFormVantoraChart1(TVantoraDialogs& dialogs, std::vector<std::string> parameters,
                                       std::string settingsPath, std::string libraryFolder)
    : TFormVantoraChart(dialogs, std::move(libraryFolder)),
      FParameters(std::move(parameters)),
      FIniPath(std::move(settingsPath)) {
    Form.SetStayOnTop(false);
    Form.OnShow = [this] { FormShow(); };
}

void TFormVantoraChart1::FormShow() {
    Form.SetCaption("Vantora " + Version());
    Run([this] { LoadSettings(FIniPath); });
    FFileDrop = InstallFileDrop(Form, DropFilter, [this](TForm* sender, const std::vector<std::string>& names) {
        FilesDropped(sender, names);
    });
    // The switches run once the window is on screen and events flow.
    TApplication::Post([this, alive = std::weak_ptr<bool>(FAlive)] {
        if (alive.lock()) ExecuteCommandLine();
    });
}

void TFormVantoraChart1::RunSwitch(const std::string& parameter) {
    const TSwitch s = ParseSwitch(parameter);
    switch (s.Kind) {
    case TSwitchKind::Open:
        // A desktop launcher that starts the program without a file leaves
        // "/file=" empty: there is nothing to open.
        if (!s.Path.empty()) OpenFile(s.Path);
        break;
    case TSwitchKind::Index:
        ReindexFile();
        break;
    case TSwitchKind::Seek:
        SeekAndShow(s.Record);
        break;
    case TSwitchKind::SeekTime:
        SeekTimeAndShow(s.Time);
        break;
    case TSwitchKind::SeekTimeExternal:
        SeekTimeExternalAndShow(s.Time);
        break;
    case TSwitchKind::Close:
        CloseFile();
        break;
    case TSwitchKind::Exit:
        Form.Close();
        break;
    case TSwitchKind::None:
        break;
    }
}

void TFormVantoraChart1::ExecuteCommandLine() {
    Run([this] {
        for (const std::string& p : FParameters) RunSwitch(p);
    });
}

void TFormVantoraChart1::FilesDropped(TForm*, const std::vector<std::string>& names) {
    // The backend is never re-entered, nor its file closed, while it works.
    if (Busy() || names.empty()) return;
    const std::string ext = LowerCase(std::filesystem::path(names.front()).extension().string());
    if (ext != ".kqm" && ext != ".hxt") return;
    Run([this, first = names.front()] { OpenFile(first); });
}

std::string SettingsPathOf(const std::string& exeName) {
    return std::filesystem::path(exeName).replace_extension(".ini").string();
}

std::string UserConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(geteuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && *home ? std::string(home) + "/.config" : std::string();
}

bool FolderWritable(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) && access(folder.c_str(), W_OK) == 0;
}

std::string SettingsLocation(const std::string& exeName, bool programFolderWritable, const std::string& configFolder) {
    const std::string beside = SettingsPathOf(exeName);
    if (programFolderWritable || configFolder.empty()) return beside;
    return (std::filesystem::path(configFolder) / std::filesystem::path(beside).filename()).string();
}

std::string SettingsLocation(const std::string& exeName) {
    const std::filesystem::path folder = std::filesystem::path(exeName).parent_path();
    return SettingsLocation(exeName, FolderWritable(folder.empty() ? "." : folder.string()), UserConfigFolder());
}
