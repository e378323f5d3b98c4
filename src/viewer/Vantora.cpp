// Vantora: the waveform viewer.

#include <string>
#include <vector>

#include "Forms.h"
#include "VantoraDialogs.h"
#include "VantoraMainUnit.h"
#include "VantoraTrace.h"

int main(int argc, char** argv) {
    TApplication::Initialize(argc, argv);
    TApplication::SetTitle("Vantora");
    TToolkitDialogs dialogs;
    TApplication::SetExceptionHandler([&dialogs](const std::string& message) { dialogs.Message(message); });
    std::vector<std::string> parameters(argv + 1, argv + argc);
    TFormVantoraChart1 form(dialogs, parameters, SettingsLocation(TApplication::ExeName()));
    TFormVantoraTrace trace;
    form.SetTraceWindow(&trace);
    // The program ends with its main window, whatever other window is open.
    auto close = form.Form.OnClose;
    form.Form.OnClose = [close] {
        if (close) close();
        TApplication::Terminate();
    };
    form.Form.Show();
    return TApplication::Run();
}
