#include "VantoraDocument.h"

#include <cmath>
#include <filesystem>
#include <limits>

#include "FindExpression.h"
#include "FloatFormat.h"
#include "Format.h"
#include "LibraryText.h"
#include "RecordDisplay.h"
#include "StrUtils.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

std::string LowerExtension(const std::string& path) {
    return LowerCase(std::filesystem::path(path).extension().string());
}

}  // namespace

TVantoraDocument::TVantoraDocument(std::string libraryFolder) : FLibraryFolder(std::move(libraryFolder)) {
    ClearProbe();
}

TVantoraDocument::~TVantoraDocument() { Close(); }

TWaveFile& TVantoraDocument::File() const {
    if (!FWaveFile) throw Exception("No file!");
    return *FWaveFile;
}

bool TVantoraDocument::IsSameFile(const std::string& path) const {
    if (!FWaveFile) return false;
#ifdef _WIN32
    return SameText(Canonical(path), Canonical(FPath));
#else
    return Canonical(path) == Canonical(FPath);
#endif
}

void TVantoraDocument::ClearProbe() {
    FFirstTimeSorg = FFirstTimeExternal = FLastTimeSorg = FLastTimeExternal = NaN;
    FFirstRecord = FLastRecord = 0;
}

void TVantoraDocument::Open(const std::string& path, TWaveFileTrackEvent onTrack, TWaveFileTraceEvent onTrace) {
    Close();
    auto file = std::make_unique<TWaveFile>(path, FLibraryFolder);
    file->FOnTrack = std::move(onTrack);
    file->FOnTrace = std::move(onTrace);
    const char *instrument = nullptr, *serial = nullptr, *epoch = nullptr;
    file->Info(instrument, serial, epoch, FVGroup, FSamplingTime, FInfoFlags, FNumFacets);
    FInstrument = LibraryText(instrument);
    FSerial = LibraryText(serial);
    FEpoch = LibraryText(epoch);
    FFileKind = LowerExtension(path) == ".hxt" ? 1 : 0;
    FWaveFile = std::move(file);
    FPath = path;
}

void TVantoraDocument::Close() noexcept {
    Record.Clear();
    FWaveFile.reset();  // closes the recording and unloads the backend that owned its buffers
    FPath.clear();
    ClearProbe();
}

void TVantoraDocument::Probe() noexcept {
    ClearProbe();
    try {
        ReadRecord();
        FFirstTimeSorg = Record.TimeSorg;
        FFirstTimeExternal = Record.TimeExternal;
        FFirstRecord = Record.RecordNo;
        File().Seek(0xFFFFFFFFu);
        ReadRecord();
        FLastTimeSorg = Record.TimeSorg;
        FLastTimeExternal = Record.TimeExternal;
        FLastRecord = Record.RecordNo;
    } catch (...) {
        ClearProbe();
    }
    // Whatever the probe reached, Next starts at the first record: a failed
    // read of the last one (an index longer than its recording) must not
    // leave the reader where that read stopped.
    try {
        File().Seek(1);
    } catch (...) {
    }
    Record.Clear();
}

void TVantoraDocument::ReadRecord() { ReadRecordFrom(File(), Record, static_cast<TFileKind>(FFileKind)); }

void TVantoraDocument::SeekRecord(std::int64_t n) {
    TWaveFile& file = File();
    CheckRecordTarget(n, FLastRecord);
    std::uint32_t before = 0;
    try {
        before = file.Tell();
    } catch (const std::exception&) {
    }
    try {
        file.Seek(std::uint32_t(n));
    } catch (...) {
        // The reader refuses a target past its end only after moving there;
        // it goes back, so that Next goes on from the shot on screen.
        try {
            if (before) file.Seek(before);
        } catch (const std::exception&) {
        }
        throw;
    }
}

std::string FormatOptionalFloat(double x) { return std::isnan(x) ? "n/a" : Format("%.3f", x); }

std::vector<std::string> TVantoraDocument::HeaderRows() {
    TWaveFile& file = File();
    const char *instrument = nullptr, *serial = nullptr, *epoch = nullptr;
    double vGroup = 0, samplingTime = 0;
    std::uint16_t flags = 0, facets = 0;
    file.Info(instrument, serial, epoch, vGroup, samplingTime, flags, facets);
    return {
        "FILE INFORMATION",
        "File:=" + std::filesystem::path(FPath).filename().string(),
        "Instrument:=" + LibraryText(instrument),
        "Serial number:=" + LibraryText(serial),
        "Laser shots with waveforms:=" + Format("%u", FLastRecord),
        "Flags:=" + Format("0x%4.4x", flags),
        "Number of facets:=" + Format("%d", facets),
        "TIME INTERVAL",
        "Epoch:=" + LibraryText(epoch),
        "External time min [s]:=" + FormatOptionalFloat(FFirstTimeExternal),
        "External time max [s]:=" + FormatOptionalFloat(FLastTimeExternal),
        "Internal time min [s]:=" + FormatOptionalFloat(FFirstTimeSorg),
        "Internal time max [s]:=" + FormatOptionalFloat(FLastTimeSorg),
        "PARAMETERS",
        "Sampling interval [ns]:=" + FormatFloat("### ### ##0.000 000", samplingTime * 1e9),
        "Group velocity [m/s]:=" + FormatFloat("### ### ###.#", vGroup),
    };
}
