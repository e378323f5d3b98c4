#include "VantoraInfo.h"

#include "Forms.h"

void DrawInfoRow(TCanvas& canvas, const std::string& row, const TRect& rect, TColor headingFill, TColor fill) {
    const std::size_t eq = row.find('=');
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(eq == std::string::npos ? headingFill : fill);
    canvas.FillRect(rect);
    canvas.Brush().SetStyle(bsClear);
    if (eq == std::string::npos) {
        canvas.TextOut(rect.Left + 2, rect.Top + 1, row);
        return;
    }
    canvas.Pen().SetColor(clSilver);
    canvas.MoveTo(rect.Left + 2, rect.Bottom - 1);
    canvas.LineTo(rect.Right - 2, rect.Bottom - 1);
    const std::string value = row.substr(eq + 1);
    canvas.TextOut(rect.Left + 2, rect.Top + 1, row.substr(0, eq));
    canvas.TextOut(rect.Right - 2 - canvas.TextWidth(value), rect.Top + 1, value);
}

void ShowInfo(const std::vector<std::string>& rows) {
    TDialog dialog("Info", true);
    TListBox lbInfo(&dialog.Client(), 16);
    lbInfo.SetColor(clWindow);
    lbInfo.SetItems(rows);
    lbInfo.OnDrawItem = [&lbInfo](TCanvas& canvas, int index, const TRect& rect, bool) {
        DrawInfoRow(canvas, lbInfo.Items().at(std::size_t(index)), rect, clInfoBk, lbInfo.Color());
    };
    dialog.AddToClient(lbInfo);
    dialog.SetClientSize(380, 16 * int(rows.size()) + 60, false);
    dialog.ShowModal();
}
