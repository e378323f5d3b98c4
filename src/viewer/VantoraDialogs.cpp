#include "VantoraDialogs.h"

#include "Forms.h"
#include "VantoraAbout.h"
#include "VantoraInfo.h"

void TToolkitDialogs::Message(const std::string& text) { ShowMessageBox(text, TApplication::Title()); }
bool TToolkitDialogs::Confirm(const std::string& text) { return ConfirmYesNo(text, "Confirm"); }
bool TToolkitDialogs::OpenFileName(std::string& path, const std::string& title, const std::string& filter) {
    return PromptForOpenFile(path, title, filter);
}
void TToolkitDialogs::ShowInfo(const std::vector<std::string>& rows) { ::ShowInfo(rows); }
void TToolkitDialogs::ShowAbout(const std::string& version, const std::string& libraryInfo) {
    ::ShowAbout(version, libraryInfo);
}
