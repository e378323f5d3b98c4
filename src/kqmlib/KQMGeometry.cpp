// Beam geometry of the current record: mirror angle from the encoder counts,
// facet in use, scan angles, and the laser beam reflected at that facet.

#include <cmath>
#include <limits>
#include <numbers>

#include "KQMReader.h"

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

// Frac keeps the sign of its argument.
Real Frac(Real X) { return X - std::trunc(X); }

// Mirror angle (radians, float precision) of one encoder of a 2.x or 3.x record.
float EncoderAngle(const TKQMHeader& H, std::uint16_t LEFC, std::uint32_t LEFCO, std::uint16_t LEPC, std::uint16_t LECC,
                   std::uint32_t LAO) {
    float Pos = float((Real(H.PositionStartPulse) / 10 + LEFC + LEFCO) / LEPC + LECC);
    Pos = float(Real(H.LACR) * Pos + LAO);
    const float Per = float(Real(H.LACC) / H.NF);
    Pos = float(Frac(Real(Pos) / Per) * Per);
    return float(2 * Pi / H.LACC * Pos);
}

// Facet of a 2.x or 3.x record from the coarse count of its (first) encoder.
std::uint32_t EncoderFacet(const TKQMHeader& H, std::uint16_t LECC, std::uint32_t LAO) {
    const std::uint32_t Coarse = (std::uint32_t(LECC) * H.LACR + LAO) % H.LACC;
    // The whole-number division is the floor of the exact quotient; the
    // extended-precision quotient of two 32-bit numbers never rounds up to
    // the next integer, so both agree everywhere.
    return Coarse * std::uint32_t(H.NF) / H.LACC;
}

}  // namespace

void TKQMReader::CalculateOutput() {
    TKQMMeasBlock* P = FThis;
    if (!P) return;

    if (P->Content & HOUSEKEEPING) {
        P->Theta = P->Phi = std::numeric_limits<float>::quiet_NaN();
        P->Facet = 0;
        P->Ori = {NaN, NaN, NaN};
        P->Dir = {NaN, NaN, NaN};
        return;
    }

    const TKQMHeader& H = FHeader;
    // Formatting costs an allocation per line; without a listener there is nothing to format.
    const bool Tracing = FTraceCallback != nullptr;
    if (Tracing) {
        Trace("----------------------------------------");
        Trace("Block: %d", P->Number);
        Trace("External time [s]=%.6f", double(P->TimeUs) / 1e6);
        Trace("Internal time [s]=%.9f", double(P->Time4ns * 4) / 1e9);
    }

    // A header without a usable facet count or circle count, or a record
    // without an encoder period, leaves the mirror angle undefined.
    bool AngleDefined = H.NF != 0 && H.LACC != 0 && H.LACC >= H.NF;
    float Tm = 0;
    std::uint32_t Facet = 0;
    switch (H.MeasBlockMainId) {
    case 1:
        if (AngleDefined) {
            const std::uint32_t Pos = P->LEV + H.LAO;
            Tm = float(Real(Pos % (H.LACC / H.NF)) / H.LACC * 2 * Pi);
            Facet = std::uint32_t(std::floor(Real(Pos % H.LACC) / H.LACC * H.NF));
        }
        break;
    case 2:
        AngleDefined = AngleDefined && P->LEPC != 0;
        if (AngleDefined) {
            Tm = EncoderAngle(H, P->LEFC, H.LEFCO, P->LEPC, P->LECC, H.LAO);
            Facet = EncoderFacet(H, P->LECC, H.LAO);
        }
        break;
    case 3:
        AngleDefined = AngleDefined && P->LEPC0 != 0 && (FLECC1_Invalid || P->LEPC1 != 0);
        if (AngleDefined) {
            float T0 = EncoderAngle(H, P->LEFC0, H.LEFCO0, P->LEPC0, P->LECC0, H.LAO0);
            if (!FLECC1_Invalid) {
                float T1 = EncoderAngle(H, P->LEFC1, H.LEFCO1, P->LEPC1, P->LECC1, H.LAO1);
                // Angles on both sides of the wrap are compared on the far side of it.
                if (std::fabs(Real(T0) - T1) > Pi) {
                    if (T0 < Pi) T0 = float(T0 + 2 * Pi);
                    if (T1 < Pi) T1 = float(T1 + 2 * Pi);
                }
                if (std::fabs(Real(T0) - T1) > EncoderTolerance) {
                    FLECC1_Invalid = true;
                    Trace("<!> Line encoder 1 invalid -> ignored");
                } else {
                    Tm = float((Real(T0) + T1) / 2);
                }
            }
            if (FLECC1_Invalid) Tm = T0;
            if (Tm >= 2 * Pi) Tm = float(Tm - 2 * Pi);
            Facet = EncoderFacet(H, P->LECC0, H.LAO0);
        }
        break;
    default:
        throw EKQMError(Format("Inknown MeasBlock %d.%d", H.MeasBlockMainId, H.MeasBlockSubId), 1);
    }

    // Only four facets are calibrated. One warning per file is enough: the
    // cause is in the header or repeats in every record.
    const bool FacetCalibrated = AngleDefined && Facet < 4;
    if (!FacetCalibrated && !FGeometryWarned) {
        FGeometryWarned = true;
        if (H.NF == 0 || H.LACC < H.NF)
            Trace("<!> Mirror geometry undefined (NF=%d, LACC=%u) -> beam geometry NaN", int(H.NF), H.LACC);
        else if (!AngleDefined)
            Trace("<!> MeasBlock# %8d: Line encoder period count 0 -> beam geometry NaN", P->Number);
        else
            Trace("<!> MeasBlock# %8d: Facet %u not calibrated -> beam geometry NaN", P->Number, Facet);
    }

    P->Facet = std::uint8_t(Facet);
    P->Theta = AngleDefined ? float((Pi / 4 + Tm) * 180 / Pi) : std::numeric_limits<float>::quiet_NaN();

    P->Phi = std::numeric_limits<float>::quiet_NaN();
    if (H.ParameterSubId == 1 && H.FECC != 0) {
        const std::int64_t Sum = std::int64_t(P->FEV) + std::int64_t(H.FEO);
        P->Phi = float(Real(Sum % std::int64_t(H.FECC)) / H.FECC * 2 * 180);
        if (Tracing) Trace("Phi [deg]=%.6f", P->Phi);
    }

    if (!FacetCalibrated) {
        P->Ori = {NaN, NaN, NaN};
        P->Dir = {NaN, NaN, NaN};
        return;
    }

    const Real Theta = Pi / 4 + Tm;
    const Real S = std::sin(Theta), C = std::cos(Theta);
    const TKQMParams& G = FParams;
    const Vec3 N = Widen(G.A[Facet]) + C * Widen(G.B[Facet]) + S * Widen(G.C[Facet]);
    const Vec3 L = Widen(G.L);
    const Real T = 2 * Dot(L, N);
    const Real S2 = 2 * (Dot(Widen(G.F), N) - G.D[Facet]);
    const Vec3 T1 = L - T * N;            // the laser direction mirrored at the facet
    const Vec3 T2 = Widen(G.O) - S2 * N;  // the laser origin mirrored at the facet plane
    P->Dir = Narrow(T1);
    P->Ori = Narrow(T2);

    if (Tracing) {
        Trace("Facet=%d", int(P->Facet));
        Trace("Theta [deg+45\xB0]=%.6f", P->Theta);
        Trace("theta [rad]=%.9f", Theta);
        Trace("sin(theta) [rad]=%.9f, cos(theta) [rad]=%.9f", S, C);
        Trace("n=(%.9f, %.9f, %.9f)", N.x, N.y, N.z);
        Trace("t=%.9f", T);
        Trace("s=%.9f", S2);
        Trace("t1=(%.9f, %.9f, %.9f)", T1.x, T1.y, T1.z);
        Trace("t2=(%.9f, %.9f, %.9f)", T2.x, T2.y, T2.z);
        Trace("dir=(%.9f, %.9f, %.9f)", P->Dir[0], P->Dir[1], P->Dir[2]);
        Trace("ori=(%.9f, %.9f, %.9f)", P->Ori[0], P->Ori[1], P->Ori[2]);
    }
}
