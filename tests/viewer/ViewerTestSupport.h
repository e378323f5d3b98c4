#pragma once
// Recordings for the viewer's tests: shots with a reference pulse and an echo
// on the high-power channel, optionally with their index; and the dialogs the
// windows are given.

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "IndexWriter.h"
#include "RecordingWriter.h"
#include "VantoraDialogs.h"

// Dialogs that record what they are given and answer as told.
class TDialogsDouble : public TVantoraDialogs {
public:
    void Message(const std::string& text) override { Messages.push_back(text); }
    bool Confirm(const std::string& text) override {
        Confirms.push_back(text);
        return ConfirmAnswer;
    }
    bool OpenFileName(std::string& path, const std::string& title, const std::string& filter) override {
        OpenStarts.push_back(path);
        OpenTitle = title;
        OpenFilter = filter;
        path = OpenPath;
        return !OpenPath.empty();
    }
    void ShowInfo(const std::vector<std::string>& rows) override { Infos.push_back(rows); }
    void ShowAbout(const std::string& version, const std::string& library) override {
        Abouts.push_back(version + " / " + library);
    }

    std::vector<std::string> Messages, Confirms, Abouts;
    std::vector<std::vector<std::string>> Infos;
    bool ConfirmAnswer = true;
    std::string OpenPath, OpenTitle, OpenFilter;
    // The folder each open dialog was to start in.
    std::vector<std::string> OpenStarts;
};

// count shots from internal time 1 s, step 4-ns ticks apart, with a GPS/PPS
// housekeeping record after every 100th shot; external time 10 s later.
// Writes the index beside the recording when index is set. Shot damaged
// (1-based) gets a wrong checksum; the recording then has no sync words, so
// that a read of it fails instead of stepping over it.
inline void WriteViewerRecording(const std::string& path, int count, bool index, std::uint64_t step = 2500000,
                                 int damaged = 0) {
    TRecHeader h;
    h.ProtocolFlags = damaged ? 0x6 : 0x7;
    TRecordingWriter w(path, h, index);
    for (int i = 0; i < count; ++i) {
        const std::uint64_t t = 250000000ull + step * std::uint64_t(i);
        TRecord r;
        r.Time = t;
        r.Enc0[0] = r.Enc1[0] = 1000;
        r.Enc0[1] = r.Enc1[1] = 250;
        r.Enc0[2] = r.Enc1[2] = std::uint16_t(100 + i % 500);
        TRecSampleBlock ref;
        ref.TimeStamp = 2;
        ref.Channel = 0xC0;
        ref.Samples.assign(8, 0);
        for (int n = 0; n < 8; ++n) ref.Samples[std::size_t(n)] = std::uint8_t(10 + 20 * n);
        TRecSampleBlock hi;
        hi.TimeStamp = 60;
        hi.Channel = 0x00;
        hi.Samples.assign(16, 0);
        for (int n = 0; n < 16; ++n) hi.Samples[std::size_t(n)] = std::uint8_t(5 + (i + n) % 200);
        r.Blocks = {ref, hi};
        if (i + 1 == damaged) r.Checksum = 0;
        w.Write(r);
        if (i % 100 == 99) w.Write(TRecord::House(t + 7, t + 7, std::uint32_t(5000 + 10 * i)));
    }
    w.Close();
    if (!index) return;
    TIndexFile idx;
    idx.Entries = EntriesOf(w);
    for (TIndexEntry& e : idx.Entries) e.TimeExt = 10000000 + e.TimeInt / 250;
    idx.Write(std::filesystem::path(path).replace_extension(".idx").string());
}
