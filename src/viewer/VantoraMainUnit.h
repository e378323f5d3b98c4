#pragma once
// The window the program runs: the main window with its start on screen
// (settings, file drop, command line) and the drop handler.

#include <memory>
#include <string>
#include <vector>

#include "EditFunct.h"
#include "VantoraChart.h"

class TFormVantoraChart1 : public TFormVantoraChart {
public:
    // parameters: the command line without the program name; settingsPath:
    // the settings file read when the window is first shown.
    TFormVantoraChart1(TVantoraDialogs& dialogs, std::vector<std::string> parameters, std::string settingsPath,
                       std::string libraryFolder = {});

    // Runs the switches in order; the first that fails shows its message and ends the rest.
    void ExecuteCommandLine();
    void FilesDropped(TForm* sender, const std::vector<std::string>& names);

    static constexpr const char* DropFilter = "*.kqm;*.hxt";

private:
    void FormShow();
    void RunSwitch(const std::string& parameter);

    std::vector<std::string> FParameters;
    std::string FIniPath;
    std::unique_ptr<TFileDropControl> FFileDrop;
    // Calls queued for later find out through this whether the window still exists.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The settings file of a program: its path with the extension replaced by ".ini".
std::string SettingsPathOf(const std::string& exeName);
// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config; empty when the user has no home folder.
std::string UserConfigFolder();
// True when files can be created in folder by this process.
bool FolderWritable(const std::string& folder);
// Where the settings file lives: beside the program when its folder is
// writable (always so in a build folder), else under the program's own name
// in configFolder (an installed program in a system folder). Empty
// configFolder keeps it beside the program.
std::string SettingsLocation(const std::string& exeName, bool programFolderWritable, const std::string& configFolder);
// The same with the process's own answers.
std::string SettingsLocation(const std::string& exeName);
