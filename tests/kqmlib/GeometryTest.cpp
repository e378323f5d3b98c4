// Beam geometry from the encoder counts: mirror angle, facet, scan angles,
// the beam reflected at the facet, and the per-record detail lines.
//
// The writer's default mirror turns about x with facet 1 facing (0, 1, 1)/sqrt2
// at angle 0; the laser at (0, 0, 0.1) shoots along -z; facets lie 0.05 from
// the axis. At a scan angle of 45 degrees facet 1 faces straight up, so the
// beam goes back up from the mirrored origin (0, 0, 0); every further degree
// of mirror angle turns the beam by two.

#include <cmath>
#include <cstring>

#include "ReaderTestAccess.h"
#include "ReadTestSupport.h"

namespace {

constexpr double R2 = 0.70710678118654752;

// 65536 counts per revolution, 4 facets, 64 counts per coarse step (writer defaults).
TRecHeader Header(std::uint16_t MeasMain, std::uint16_t ParMain, std::uint16_t ParSub = 0) {
    TRecHeader H;
    H.MeasMain = MeasMain;
    H.MeasSub = 0;
    H.ParMain = ParMain;
    H.ParSub = ParSub;
    return H;
}

// A shot whose (first) encoder stands at Counts of the revolution.
TRecord At(std::uint32_t Counts, std::uint64_t Time = 1000) {
    TRecord R = Shot(Time, {Blk(0, 0x40, Ramp(4))});
    R.LineEncoderValue = Counts;
    // 2.x/3.x: period 64 makes the fine count one count of the revolution.
    R.Enc0[0] = R.Enc1[0] = 64;
    R.Enc0[1] = R.Enc1[1] = std::uint16_t(Counts % 64);
    R.Enc0[2] = R.Enc1[2] = std::uint16_t(Counts / 64);
    return R;
}

void ExpectNear(const NARVI_FLOAT64_VECTOR3_T& V, double X, double Y, double Z, const std::string& What) {
    EXPECT_NEAR(V.x, X, 1e-6) << What;
    EXPECT_NEAR(V.y, Y, 1e-6) << What;
    EXPECT_NEAR(V.z, Z, 1e-6) << What;
}

}  // namespace

TEST(Geometry, MirrorAngleFacetAndBeamForEveryEncoderLayout) {
    const struct { std::uint16_t MeasMain, ParMain; } Layouts[] = {{1, 2}, {2, 3}, {3, 5}};
    for (const auto& L : Layouts) {
        const std::string Name = "measurement block " + std::to_string(L.MeasMain);
        TTestRecording Rec(Header(L.MeasMain, L.ParMain));
        // Version 1 takes its line encoder value directly; 65536 wraps to 0.
        Rec.Write({At(L.MeasMain == 1 ? 65536 : 0), At(4096), At(16384 + 4096), At(65536 - 4096)});
        THandle H(Rec.Path());

        TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << Name << ": " << LastError();
        EXPECT_EQ(S.Facet, 0u) << Name;
        EXPECT_FLOAT_EQ(TKQMReaderTestAccess::Theta(H.Reader()), 45.0f) << Name;
        ExpectNear(S.Dir, 0, 0, 1, Name + " dir at 45");
        ExpectNear(S.Ori, 0, 0, 0, Name + " ori at 45");

        S = H.Read();  // 22.5 degrees further: the beam turns by 45
        EXPECT_EQ(S.Facet, 0u) << Name;
        EXPECT_FLOAT_EQ(TKQMReaderTestAccess::Theta(H.Reader()), 67.5f) << Name;
        ExpectNear(S.Dir, 0, -R2, R2, Name + " dir at 67.5");

        S = H.Read();  // the same angle on the next facet
        EXPECT_EQ(S.Facet, 1u) << Name;
        EXPECT_FLOAT_EQ(TKQMReaderTestAccess::Theta(H.Reader()), 67.5f) << Name;
        EXPECT_NEAR(std::hypot(S.Dir.x, S.Dir.y, S.Dir.z), 1.0, 1e-6) << Name;

        S = H.Read();
        EXPECT_EQ(S.Facet, 3u) << Name;
        EXPECT_EQ(H.Count("<!>"), 0) << Name;
    }
}

TEST(Geometry, TwoEncodersAreAveragedUntilTheyDisagree) {
    TRecHeader Hd = Header(3, 5);
    Hd.Numbers["NumberFacets"] = {1};  // one facet: angles over the whole revolution
    TTestRecording Rec(Hd);
    auto Two = [](std::uint32_t C0, std::uint32_t C1) {
        TRecord R = At(C0);
        R.Enc1[1] = std::uint16_t(C1 % 64);
        R.Enc1[2] = std::uint16_t(C1 / 64);
        return R;
    };
    // 0.01768 rad is 184.4 counts.
    Rec.Write({Two(4096, 4096 + 184),    // averaged
               Two(65500, 100),          // across the wrap: 65568 -> 32
               Two(4096, 4096 + 185),    // too far apart: encoder 1 is ignored from now on
               Two(4096, 4096 + 100)});  // would agree, still ignored
    THandle H(Rec.Path());
    const double Deg = 360.0 / 65536;  // degrees per count
    const double Expected[] = {45 + (4096 + 92) * Deg, 45 + 32 * Deg, 45 + 4096 * Deg, 45 + 4096 * Deg};
    for (double E : Expected) {
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_NEAR(TKQMReaderTestAccess::Theta(H.Reader()), E, 2e-4);
        EXPECT_EQ(S.Facet, 0u);
    }
    EXPECT_EQ(H.Count("<!> Line encoder 1 invalid -> ignored"), 1);
    EXPECT_TRUE(TKQMReaderTestAccess::SecondEncoderIgnored(H.Reader()));

    // A caller that takes no beam still moves the encoders' state on: the
    // beam it asks for later is the one a caller taking every beam gets.
    THandle Every(Rec.Path()), Last(Rec.Path());
    TShot WithBeam;
    for (int I = 0; I < 4; ++I) WithBeam = Every.Read();
    for (int I = 0; I < 3; ++I) {
        NARVI_UINT16_T Facet = 99;
        NARVI_UINT32_T Count = 0, Size = 0;
        NARVI_SBL_PTR_T Sbl = nullptr;
        ASSERT_EQ(narvi_read(Last.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, &Facet, &Count, &Size, &Sbl), 0);
        EXPECT_EQ(Facet, 0u);
    }
    const TShot S = Last.Read();
    EXPECT_EQ(std::memcmp(&S.Dir, &WithBeam.Dir, sizeof S.Dir), 0);
    EXPECT_EQ(std::memcmp(&S.Ori, &WithBeam.Ori, sizeof S.Ori), 0);
    EXPECT_TRUE(TKQMReaderTestAccess::SecondEncoderIgnored(Last.Reader()));
}

TEST(Geometry, FrameAngle) {
    const struct {
        std::uint16_t ParSub;
        std::uint32_t Circle, Offset, Stored;  // frame encoder value as written (21 bits)
        double Phi;                            // NaN: none
    } Cases[] = {
        {1, 3600, 100, 800, 90},        {1, 3600, 100, 2097152 - 1000, -90},  // negative values keep their sign
        {1, 3600, 100, 3500 + 3600, 0}, {1, 0, 100, 800, NAN},                // no circle count
        {0, 3600, 100, 800, NAN},                                             // no frame encoder in the parameters
    };
    for (const auto& C : Cases) {
        TRecHeader Hd = Header(3, 5, C.ParSub);
        Hd.MeasSub = 1;
        if (C.ParSub == 1) {
            Hd.Numbers["FrameEncoderCircleCount"] = {double(C.Circle)};
            Hd.Numbers["FrameEncoderOffset"] = {double(C.Offset)};
        }
        TTestRecording Rec(Hd);
        TRecord R = At(4096);
        R.FrameEncoderValue = C.Stored;
        Rec.Write({R});
        THandle H(Rec.Path());
        ASSERT_EQ(H.Read().Code, 0) << LastError();
        const float Phi = TKQMReaderTestAccess::Phi(H.Reader());
        if (std::isnan(C.Phi)) {
            EXPECT_TRUE(std::isnan(Phi)) << Phi;
            EXPECT_EQ(H.Count("Phi [deg]="), 0);
        } else {
            EXPECT_NEAR(Phi, C.Phi, 1e-4) << C.Stored;
            EXPECT_EQ(H.Count("Phi [deg]="), 1);
        }
    }
}

TEST(Geometry, UnusableCalibrationGivesNaNGeometryAndOneWarning) {
    const struct {
        const char* Name;
        double NF, LACC;
        std::uint32_t Counts;
        std::uint16_t Period;
        const char* Warning;
    } Cases[] = {
        {"no facets", 0, 65536, 4096, 64, "<!> Mirror geometry undefined (NF=0, LACC=65536)"},
        {"no circle count", 4, 0, 4096, 64, "<!> Mirror geometry undefined (NF=4, LACC=0)"},
        {"fewer counts than facets", 4, 2, 1, 64, "<!> Mirror geometry undefined (NF=4, LACC=2)"},
        {"facet beyond the calibrated four", 8, 65536, 40000, 64, "Facet 4 not calibrated -> beam geometry NaN"},
        {"no encoder period", 4, 65536, 4096, 0, "Line encoder period count 0 -> beam geometry NaN"},
    };
    for (const auto& C : Cases) {
        TRecHeader Hd = Header(3, 5);
        Hd.Numbers["NumberFacets"] = {C.NF};
        Hd.Numbers["LineAngleCircleCount"] = {C.LACC};
        TTestRecording Rec(Hd);
        TRecord R = At(C.Counts);
        R.Enc0[0] = R.Enc1[0] = C.Period;
        Rec.Write({R, R});
        THandle H(Rec.Path());
        for (int I = 0; I < 2; ++I) {
            const TShot S = H.Read();
            ASSERT_EQ(S.Code, 0) << C.Name << ": " << LastError();
            EXPECT_TRUE(std::isnan(S.Ori.x) && std::isnan(S.Ori.y) && std::isnan(S.Ori.z)) << C.Name;
            EXPECT_TRUE(std::isnan(S.Dir.x) && std::isnan(S.Dir.y) && std::isnan(S.Dir.z)) << C.Name;
            ASSERT_EQ(S.Count, 1u) << C.Name;  // the samples are still there
            EXPECT_EQ(S.Samples(0), Wide(Ramp(4))) << C.Name;
        }
        EXPECT_EQ(H.Count(C.Warning), 1) << C.Name;
        EXPECT_EQ(H.Count("<!>"), 1) << C.Name;
    }
}

TEST(Geometry, DetailLinesOfEveryRecordButHousekeeping) {
    TTestRecording Rec(Header(3, 5));
    Rec.Write({At(4096, 250000000), TRecord::House(250000100, 0, 0), At(0, 250000200)}, true,
              [](std::vector<TIndexEntry>& E) { E[2].TimeExt = 123456789; });
    THandle H(Rec.Path());
    for (int I = 0; I < 3; ++I) ASSERT_EQ(H.Read().Code, 0) << LastError();
    const std::vector<std::string> Prefixes = {"----------------------------------------",
                                               "Block: 1",
                                               "External time [s]=1.000000",
                                               "Internal time [s]=1.000000000",
                                               "Facet=0",
                                               "Theta [deg+45\xB0]=67.500000",
                                               "theta [rad]=1.178097",
                                               "sin(theta) [rad]=0.923879",
                                               "n=(0.000000000, -0.382683",
                                               "t=-1.847759",
                                               "s=0.084775",
                                               "t1=(0.000000000, -0.707106",
                                               "t2=(",
                                               "dir=(0.000000000, -0.707106",
                                               "ori=(",
                                               "----------------------------------------",
                                               "Block: 3",
                                               "External time [s]=123.456789",
                                               "Internal time [s]=1.000000800",
                                               "Facet=0",
                                               "Theta [deg+45\xB0]=45.000000"};
    ASSERT_GE(H.Lines.size(), Prefixes.size());
    for (std::size_t I = 0; I < Prefixes.size(); ++I)
        EXPECT_TRUE(H.Lines[I].starts_with(Prefixes[I])) << I << ": " << H.Lines[I] << " / " << Prefixes[I];
    EXPECT_EQ(H.Count("Block: "), 2);  // none for the housekeeping record
}
