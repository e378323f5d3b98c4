#include "VantoraAbout.h"

#include <memory>
#include <vector>

#include "Forms.h"

namespace {

const char* const TermsOfUse =
    "This program is provided as is, without warranty of any kind, express or implied. "
    "It reads recordings and writes index files beside them; it never changes a recording. "
    "Use it only on recordings you are entitled to access. The authors are not liable for any "
    "damage arising from its use.";

}  // namespace

void ShowAbout(const std::string& version, const std::string& libraryInfo) {
    TDialog dialog("About", false, TDialogPosition::ScreenCentre);
    dialog.SetClientSize(401, 220, true);
    TPanel page(&dialog.Client(), true, 8, 4);
    TPanel title(&page, false, 0, 0);
    TLabel van(&title, "Van");
    van.SetFont("serif", 48, true, true);
    van.SetTextColor(clWhite);
    van.SetBackColor(0x804000);  // the picture behind the first part of the name
    TLabel tora(&title, "tora");
    tora.SetFont("serif", 48, true, true);
    TLabel versionLabel(&title, version);
    versionLabel.SetAlignment(talRight);
    title.Add(van);
    title.Add(tora);
    title.AddStretch();
    title.Add(versionLabel);
    TLabel description(&page, "Waveform viewer for \nsample data files (.kqm) and \nwaveform files (.hxt)");
    // The build tag can be long: the library's text gets a line of its own.
    TPanel libraryRow(&page, true, 0, 0);
    TLabel libraryCaption(&libraryRow, "Waveform extraction library:");
    TLabel libraryLabel(&libraryRow, libraryInfo);
    libraryRow.Add(libraryCaption);
    libraryRow.Add(libraryLabel);
    TMemo terms(&page);
    terms.SetWordWrap(true);
    terms.AddLine(TermsOfUse);
    terms.ShowFirstLine();
    page.Add(title);
    page.Add(description);
    page.Add(libraryRow);
    page.Add(terms, 1);
    dialog.AddToClient(page);
    dialog.ShowModal();
}
