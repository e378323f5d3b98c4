#pragma once
// What the main window asks of the user through dialogs. The program uses the
// toolkit's dialogs; tests put a double in their place that records the texts
// and gives the answers.

#include <string>
#include <vector>

class TVantoraDialogs {
public:
    virtual ~TVantoraDialogs() = default;
    // The message box of a failed action (the exception's message).
    virtual void Message(const std::string& text) = 0;
    // Yes/No confirmation; true unless the answer is No.
    virtual bool Confirm(const std::string& text) = 0;
    // The open dialog, starting in the folder path names on entry (empty: the
    // working folder); true with path set when the user chose a file.
    virtual bool OpenFileName(std::string& path, const std::string& title, const std::string& filter) = 0;
    // The modal header list (rows name "=" value; rows without "=" are headings).
    virtual void ShowInfo(const std::vector<std::string>& rows) = 0;
    // The modal About window.
    virtual void ShowAbout(const std::string& version, const std::string& libraryInfo) = 0;
};

// The dialogs of the toolkit, with the Info and About windows of the viewer.
class TToolkitDialogs : public TVantoraDialogs {
public:
    void Message(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    bool OpenFileName(std::string& path, const std::string& title, const std::string& filter) override;
    void ShowInfo(const std::vector<std::string>& rows) override;
    void ShowAbout(const std::string& version, const std::string& libraryInfo) override;
};
