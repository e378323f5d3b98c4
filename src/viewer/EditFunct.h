#pragma once
// Accepting files dropped on a window: the dropped names are filtered by a
// mask list and the rest handed to a handler.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TForm;

using TFilesDroppedEvent = std::function<void(TForm* sender, const std::vector<std::string>& names)>;

// Letter case is ignored; "*" any run of characters, "?" one character,
// "[abc]" / "[a-z]" one character of the set ("[!...]" one not in it).
bool MatchesMask(const std::string& fileName, const std::string& mask);

// True when the name (its last path component) matches one of the filter's
// masks. The filter is a ";" list of masks, or "|" fields in pairs of a
// description and a ";" mask list; an empty filter matches everything.
bool MatchesFilterList(const std::string& fileName, const std::string& filter);

// Names that match the filter, in their order.
std::vector<std::string> FilterDroppedFiles(const std::vector<std::string>& names, const std::string& filter);

// Binds a form's file drops to a handler for as long as the object lives.
class TFileDropControl {
public:
    TFileDropControl(TForm& form, std::string filter, TFilesDroppedEvent onDrop);
    ~TFileDropControl();
    TFileDropControl(const TFileDropControl&) = delete;
    TFileDropControl& operator=(const TFileDropControl&) = delete;

    // What the form calls with every drop: filters, then calls OnDrop when a name is left.
    void Dropped(const std::vector<std::string>& names);

    const std::string& Filter() const { return FFilter; }

private:
    TForm& FForm;
    std::string FFilter;
    TFilesDroppedEvent FOnDrop;
};

std::unique_ptr<TFileDropControl> InstallFileDrop(TForm& form, const std::string& filter, TFilesDroppedEvent handler);
