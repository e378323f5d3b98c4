#pragma once
// The viewer's settings file: section [WAVECHART] of "<program>.ini". Values
// are untrusted: numbers that do not parse count as missing, sizes and
// positions are brought into the screen, the point size into its range.

#include <string>
#include <vector>

#include "Graphics.h"

class TIniFile;

enum class TAxisX { TimeStamp, RawRange, RangeGate };
enum class TEnhance { None, Linear, Smooth };

inline constexpr const char* SettingsSection = "WAVECHART";
inline constexpr int MinPointSize = 1;
inline constexpr int MaxPointSize = 50;
inline constexpr int MinWindowWidth = 320;
inline constexpr int MinWindowHeight = 240;

std::string AxisXName(TAxisX axis);
std::string EnhanceName(TEnhance enhance);
// Exact (case-sensitive) names; false for anything else.
bool AxisXFromName(const std::string& name, TAxisX& axis);
bool EnhanceFromName(const std::string& name, TEnhance& enhance);

// What reading the file asks the window to do, in this order.
struct TSettingsRead {
    // "AxisX" is read three times with the default "TimeStamp": each read
    // whose value names an axis runs that axis's action.
    std::vector<TAxisX> AxisRuns;
    // "Enhance" is read with the defaults "None", "Smooth", "Linear" in turn;
    // a read runs its default's action when the value equals that default. A
    // missing key so runs all three, ending in Linear interpolation.
    std::vector<TEnhance> EnhanceRuns;
    bool InfoPanel = true;
    bool SampleBlocks = false;
    // 0 when the value is below the minimum (which leaves the size as it is).
    int PointSize = 1;
    int Left = 100, Top = 100, Height = 590, Width = 833;
};

TSettingsRead ReadSettings(const TIniFile& ini);

struct TSettingsValues {
    TAxisX Axis = TAxisX::TimeStamp;
    TEnhance Enhance = TEnhance::None;
    bool InfoPanel = true;
    bool SampleBlocks = false;
    int PointSize = 1;
    int Left = 100, Top = 100, Height = 590, Width = 833;
};

void WriteSettings(TIniFile& ini, const TSettingsValues& values);

// The window's bounds brought into the work area, at least the minimum size.
TRect ClampWindowBounds(int left, int top, int width, int height, const TRect& workArea);
