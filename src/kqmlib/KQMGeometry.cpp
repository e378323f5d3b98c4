// Beam geometry of the current record: mirror angle from the encoder counts,
// facet in use, scan angles, and the laser beam reflected at that facet.

#include <cfenv>
#include <cmath>
#include <limits>
#include <numbers>

#include "EncoderAngle.h"
#include "KQMReader.h"
#include "SinCos.h"

namespace {

using Real = long double;  // the working precision of everything not stored as float
constexpr Real Pi = std::numbers::pi_v<long double>;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The two encoders of a 3.x record may disagree by this much (radians) before
// encoder 1 is no longer trusted.
constexpr Real EncoderTolerance = 10 / (180 * Pi);

struct Vec3 {
    Real x, y, z;
};

Vec3 Widen(const TKQMVector3F& V) { return {V[0], V[1], V[2]}; }
Vec3 operator+(const Vec3& A, const Vec3& B) { return {A.x + B.x, A.y + B.y, A.z + B.z}; }
Vec3 operator-(const Vec3& A, const Vec3& B) { return {A.x - B.x, A.y - B.y, A.z - B.z}; }
Vec3 operator*(Real K, const Vec3& V) { return {K * V.x, K * V.y, K * V.z}; }
Real Dot(const Vec3& A, const Vec3& B) { return A.x * B.x + A.y * B.y + A.z * B.z; }
TKQMVector3D Narrow(const Vec3& V) { return {double(V.x), double(V.y), double(V.z)}; }

// Facet of a 2.x or 3.x record from the coarse count of its (first) encoder.
std::uint32_t EncoderFacet(const TKQMHeader& H, std::uint16_t LECC, std::uint32_t LAO) {
    const std::uint32_t Coarse = (std::uint32_t(LECC) * H.LACR + LAO) % H.LACC;
    // The whole-number division is the floor of the exact quotient; the
    // extended-precision quotient of two 32-bit numbers never rounds up to
    // the next integer, so both agree everywhere.
    return Coarse * std::uint32_t(H.NF) / H.LACC;
}

// Mirror angle and facet of a 1.x record, from its one line encoder value.
void Mirror_1(const TKQMHeader& H, const TKQMMeasBlock* P, float& Tm, std::uint32_t& Facet) {
    const std::uint32_t Pos = P->LEV + H.LAO;
    Tm = float(Real(Pos % (H.LACC / H.NF)) / H.LACC * 2 * Pi);
    Facet = std::uint32_t(std::floor(Real(Pos % H.LACC) / H.LACC * H.NF));
}

// Frame angle (degrees) from the frame encoder; NaN where the header has no frame encoder.
float FrameAngle(const TKQMHeader& H, const TKQMMeasBlock* P) {
    if (H.ParameterSubId != 1 || H.FECC == 0) return std::numeric_limits<float>::quiet_NaN();
    const std::int64_t Sum = std::int64_t(P->FEV) + std::int64_t(H.FEO);
    return float(Real(Sum % std::int64_t(H.FECC)) / H.FECC * 2 * 180);
}

void ClearGeometry(TKQMMeasBlock* P) {
    P->Ori = {NaN, NaN, NaN};
    P->Dir = {NaN, NaN, NaN};
}

}  // namespace

const TKQMAngleConstants& TKQMReader::AngleConstants() { return UpdateAngleConstants(FHeader, FAngleConstants); }

// The mirror position of one record: whether the angle is defined at all, the
// angle (radians, float precision) and the facet the beam meets.
struct TKQMReader::TMirror {
    bool AngleDefined = false;
    float Tm = 0;
    std::uint32_t Facet = 0;
};

// The mirror angle is worked out for every record, wanted or not: a
// disagreement of the encoders changes every later angle. The beam is only
// worked out for a caller that takes it, or for the detail lines.
void TKQMReader::CalculateOutput(bool Geometry) {
    TKQMMeasBlock* P = FThis;
    if (!P) return;
    if (P->Content & HOUSEKEEPING) {
        P->AngleDefined = false;
        P->Tm = 0;
        P->Facet = 0;
        ClearGeometry(P);
        return;
    }

    // Without a listener there is nothing to format.
    const bool Tracing = FTraceCallback != nullptr;
    if (Tracing) {
        Trace("----------------------------------------");
        Trace("Block: %d", P->Number);
        Trace("External time [s]=%.6f", double(P->TimeUs) / 1e6);
        Trace("Internal time [s]=%.9f", double(P->Time4ns * 4) / 1e9);
    }

    const TMirror M = MirrorAngle(P);
    // Only four facets are calibrated.
    const bool FacetCalibrated = M.AngleDefined && M.Facet < 4;
    if (!FacetCalibrated) WarnGeometry(P, M);

    P->Facet = std::uint8_t(M.Facet);
    P->AngleDefined = M.AngleDefined;
    P->Tm = M.Tm;
    if (Tracing) {
        const float Frame = Phi(*P);
        if (!std::isnan(Frame)) Trace("Phi [deg]=%.6f", Frame);
    }

    if (FacetCalibrated && (Geometry || Tracing))
        BeamGeometry(P, M.Tm, Tracing);
    else
        ClearGeometry(P);
}

// A header without a usable facet count or circle count, or a record without
// an encoder period, leaves the mirror angle undefined.
TKQMReader::TMirror TKQMReader::MirrorAngle(const TKQMMeasBlock* P) {
    const TKQMHeader& H = FHeader;
    TMirror M;
    M.AngleDefined = H.NF != 0 && H.LACC != 0 && H.LACC >= H.NF;
    switch (H.MeasBlockMainId) {
    case 1:
        if (M.AngleDefined) Mirror_1(H, P, M.Tm, M.Facet);
        return M;
    case 2:
        M.AngleDefined = M.AngleDefined && P->LEPC != 0;
        if (M.AngleDefined) {
            M.Tm = EncoderAngle(H, AngleConstants(), P->LEFC, H.LEFCO, P->LEPC, P->LECC, H.LAO);
            M.Facet = EncoderFacet(H, P->LECC, H.LAO);
        }
        return M;
    case 3:
        M.AngleDefined = M.AngleDefined && P->LEPC0 != 0 && (FLECC1_Invalid || P->LEPC1 != 0);
        return M.AngleDefined ? MirrorAngle_3(P) : M;
    default:
        throw EKQMError(Format("Inknown MeasBlock %d.%d", H.MeasBlockMainId, H.MeasBlockSubId), 1);
    }
}

// Version 3.x has two encoders; their mean is the angle while they agree.
// Once they disagree by more than the tolerance, encoder 1 is ignored for the
// rest of the file.
TKQMReader::TMirror TKQMReader::MirrorAngle_3(const TKQMMeasBlock* P) {
    const TKQMHeader& H = FHeader;
    TMirror M;
    M.AngleDefined = true;
    const TKQMAngleConstants& K = AngleConstants();
    float T0 = EncoderAngle(H, K, P->LEFC0, H.LEFCO0, P->LEPC0, P->LECC0, H.LAO0);
    if (!FLECC1_Invalid) {
        float T1 = EncoderAngle(H, K, P->LEFC1, H.LEFCO1, P->LEPC1, P->LECC1, H.LAO1);
        // Angles on both sides of the wrap are compared on the far side of it.
        if (std::fabs(Real(T0) - T1) > Pi) {
            if (T0 < Pi) T0 = float(T0 + 2 * Pi);
            if (T1 < Pi) T1 = float(T1 + 2 * Pi);
        }
        if (std::fabs(Real(T0) - T1) > EncoderTolerance) {
            FLECC1_Invalid = true;
            Trace("<!> Line encoder 1 invalid -> ignored");
        } else {
            M.Tm = float((Real(T0) + T1) / 2);
        }
    }
    if (FLECC1_Invalid) M.Tm = T0;
    if (M.Tm >= 2 * Pi) M.Tm = float(M.Tm - 2 * Pi);
    M.Facet = EncoderFacet(H, P->LECC0, H.LAO0);
    return M;
}

// One warning per file is enough: the cause is in the header or repeats in every record.
void TKQMReader::WarnGeometry(const TKQMMeasBlock* P, const TMirror& M) {
    if (FGeometryWarned) return;
    FGeometryWarned = true;
    const TKQMHeader& H = FHeader;
    if (H.NF == 0 || H.LACC < H.NF)
        Trace("<!> Mirror geometry undefined (NF=%d, LACC=%u) -> beam geometry NaN", int(H.NF), H.LACC);
    else if (!M.AngleDefined)
        Trace("<!> MeasBlock# %8d: Line encoder period count 0 -> beam geometry NaN", P->Number);
    else
        Trace("<!> MeasBlock# %8d: Facet %u not calibrated -> beam geometry NaN", P->Number, M.Facet);
}

// The laser beam reflected at the facet in use: the facet normal turned by
// the mirror angle, the direction and origin mirrored at the facet plane.
struct TBeam {
    Real Theta, S, C;
    Vec3 N;
    Real T, S2;
    Vec3 T1, T2;
};

inline TBeam Beam(const TKQMParams& G, std::uint32_t Facet, float Tm) {
    TBeam B;
    B.Theta = Pi / 4 + Tm;
    SinCosExtended(B.Theta, B.S, B.C);
    B.N = Widen(G.A[Facet]) + B.C * Widen(G.B[Facet]) + B.S * Widen(G.C[Facet]);
    const Vec3 L = Widen(G.L);
    B.T = 2 * Dot(L, B.N);
    B.S2 = 2 * (Dot(Widen(G.F), B.N) - G.D[Facet]);
    B.T1 = L - B.T * B.N;            // the laser direction mirrored at the facet
    B.T2 = Widen(G.O) - B.S2 * B.N;  // the laser origin mirrored at the facet plane
    return B;
}

// Without the detail lines only the beam is kept: the x87 registers then
// hold every value in between, where keeping them all for the lines would
// store and load them as 80-bit values.
void TKQMReader::BeamGeometry(TKQMMeasBlock* P, float Tm, bool Tracing) {
    if (Tracing) return TraceBeamGeometry(P, Tm);
    const TBeam B = Beam(FParams, P->Facet, Tm);
    P->Dir = Narrow(B.T1);
    P->Ori = Narrow(B.T2);
}

void TKQMReader::TraceBeamGeometry(TKQMMeasBlock* P, float Tm) {
    const TBeam B = Beam(FParams, P->Facet, Tm);
    P->Dir = Narrow(B.T1);
    P->Ori = Narrow(B.T2);
    Trace("Facet=%d", int(P->Facet));
    Trace("Theta [deg+45\xB0]=%.6f", this->Theta(*P));
    Trace("theta [rad]=%.9f", B.Theta);
    Trace("sin(theta) [rad]=%.9f, cos(theta) [rad]=%.9f", B.S, B.C);
    Trace("n=(%.9f, %.9f, %.9f)", B.N.x, B.N.y, B.N.z);
    Trace("t=%.9f", B.T);
    Trace("s=%.9f", B.S2);
    Trace("t1=(%.9f, %.9f, %.9f)", B.T1.x, B.T1.y, B.T1.z);
    Trace("t2=(%.9f, %.9f, %.9f)", B.T2.x, B.T2.y, B.T2.z);
    Trace("dir=(%.9f, %.9f, %.9f)", P->Dir[0], P->Dir[1], P->Dir[2]);
    Trace("ori=(%.9f, %.9f, %.9f)", P->Ori[0], P->Ori[1], P->Ori[2]);
}

float TKQMReader::Theta(const TKQMMeasBlock& P) const {
    if (!P.AngleDefined || (P.Content & HOUSEKEEPING)) return std::numeric_limits<float>::quiet_NaN();
    return float((Pi / 4 + P.Tm) * 180 / Pi);
}

float TKQMReader::Phi(const TKQMMeasBlock& P) const {
    if (P.Content & HOUSEKEEPING) return std::numeric_limits<float>::quiet_NaN();
    return FrameAngle(FHeader, &P);
}
