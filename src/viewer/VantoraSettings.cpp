#include "VantoraSettings.h"

#include <algorithm>
#include <cstdint>

#include "IniFile.h"

std::string AxisXName(TAxisX axis) {
    switch (axis) {
    case TAxisX::RawRange:
        return "RawRange";
    case TAxisX::RangeGate:
        return "RangeGate";
    case TAxisX::TimeStamp:
        break;
    }
    return "TimeStamp";
}

std::string EnhanceName(TEnhance enhance) {
    switch (enhance) {
    case TEnhance::Linear:
        return "Linear";
    case TEnhance::Smooth:
        return "Smooth";
    case TEnhance::None:
        break;
    }
    return "None";
}

bool AxisXFromName(const std::string& name, TAxisX& axis) {
    for (TAxisX a : {TAxisX::TimeStamp, TAxisX::RawRange, TAxisX::RangeGate})
        if (AxisXName(a) == name) {
            axis = a;
            return true;
        }
    return false;
}

bool EnhanceFromName(const std::string& name, TEnhance& enhance) {
    for (TEnhance e : {TEnhance::None, TEnhance::Linear, TEnhance::Smooth})
        if (EnhanceName(e) == name) {
            enhance = e;
            return true;
        }
    return false;
}

namespace {

int ReadInt(const TIniFile& ini, const char* key, int def) {
    const std::int64_t v = ini.ReadInteger(SettingsSection, key, def);
    return int(std::clamp<std::int64_t>(v, -1000000, 1000000));
}

}  // namespace

TSettingsRead ReadSettings(const TIniFile& ini) {
    TSettingsRead r;
    for (int i = 0; i < 3; ++i) {
        TAxisX axis;
        if (AxisXFromName(ini.ReadString(SettingsSection, "AxisX", "TimeStamp"), axis)) r.AxisRuns.push_back(axis);
    }
    for (TEnhance def : {TEnhance::None, TEnhance::Smooth, TEnhance::Linear})
        if (ini.ReadString(SettingsSection, "Enhance", EnhanceName(def)) == EnhanceName(def))
            r.EnhanceRuns.push_back(def);
    r.InfoPanel = ini.ReadBool(SettingsSection, "InfoPanel", true);
    r.SampleBlocks = ini.ReadBool(SettingsSection, "SampleBlocks", false);
    const int size = ReadInt(ini, "PointSize", 1);
    r.PointSize = size < MinPointSize ? 0 : std::min(size, MaxPointSize);
    r.Left = ReadInt(ini, "Left", 100);
    r.Top = ReadInt(ini, "Top", 100);
    r.Height = ReadInt(ini, "Height", 590);
    r.Width = ReadInt(ini, "Width", 833);
    return r;
}

void WriteSettings(TIniFile& ini, const TSettingsValues& v) {
    ini.WriteString(SettingsSection, "AxisX", AxisXName(v.Axis));
    ini.WriteString(SettingsSection, "Enhance", EnhanceName(v.Enhance));
    ini.WriteBool(SettingsSection, "InfoPanel", v.InfoPanel);
    ini.WriteBool(SettingsSection, "SampleBlocks", v.SampleBlocks);
    ini.WriteInteger(SettingsSection, "PointSize", v.PointSize);
    ini.WriteInteger(SettingsSection, "Left", v.Left);
    ini.WriteInteger(SettingsSection, "Top", v.Top);
    ini.WriteInteger(SettingsSection, "Height", v.Height);
    ini.WriteInteger(SettingsSection, "Width", v.Width);
}

TRect ClampWindowBounds(int left, int top, int width, int height, const TRect& area) {
    const int areaW = std::max(area.Right - area.Left, MinWindowWidth);
    const int areaH = std::max(area.Bottom - area.Top, MinWindowHeight);
    const int w = std::clamp(width, MinWindowWidth, areaW);
    const int h = std::clamp(height, MinWindowHeight, areaH);
    const int x = std::clamp(left, area.Left, area.Left + areaW - w);
    const int y = std::clamp(top, area.Top, area.Top + areaH - h);
    return TRect{x, y, x + w, y + h};
}
