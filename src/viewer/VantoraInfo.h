#pragma once
// The modal "Info" window: a list of heading rows and name "=" value rows.

#include <string>
#include <vector>

#include "Graphics.h"

class TCanvas;

// Paints one row: a heading (no "=") on fill, a value row with its name at the
// left, its value right-aligned and a silver line along its bottom.
void DrawInfoRow(TCanvas& canvas, const std::string& row, const TRect& rect, TColor headingFill, TColor fill);

void ShowInfo(const std::vector<std::string>& rows);
