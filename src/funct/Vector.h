#pragma once
// Small fixed-size vectors and matrices of the reader library (beam geometry
// parameters are stored in them) with the free functions on them.
//
// Vectors are row vectors: a transform computes v' = v x M. The 4-component
// types are homogeneous 3D vectors: dot product, length, normalisation and
// cross product use x, y and z only. Arithmetic runs in long double and is
// stored in the result's component type. Procedures named verb-first
// (NormalizeVector, InvertMatrix ...) change their argument in place;
// functions named noun-first (VectorNormalize, MatrixInvert ...) return a
// new value. Nothing here throws.

#include <array>
#include <concepts>
#include <cmath>
#include <cstddef>
#include <cstdint>

using TVector2F = std::array<float, 2>;
using TVector2D = std::array<double, 2>;
using TVector3F = std::array<float, 3>;
using TVector3D = std::array<double, 3>;
using TVector4F = std::array<float, 4>;
using TVector4D = std::array<double, 4>;
using TMatrix2F = std::array<TVector2F, 2>;
using TMatrix2D = std::array<TVector2D, 2>;
using TMatrix3F = std::array<TVector3F, 3>;
using TMatrix3D = std::array<TVector3D, 3>;
using TMatrix4F = std::array<TVector4F, 4>;
using TMatrix4D = std::array<TVector4D, 4>;

using PVector2F = TVector2F*;
using PVector2D = TVector2D*;
using PVector3F = TVector3F*;
using PVector3D = TVector3D*;
using PVector4F = TVector4F*;
using PVector4D = TVector4D*;
using PMatrix2F = TMatrix2F*;
using PMatrix2D = TMatrix2D*;
using PMatrix3F = TMatrix3F*;
using PMatrix3D = TMatrix3D*;
using PMatrix4F = TMatrix4F*;
using PMatrix4D = TMatrix4D*;

// Integer points (the GUI layer's TPoint, with int members x and y) are taken
// by shape, so that this library does not depend on the GUI layer.
template <class P>
concept IntegerPoint = requires(const P& p) {
    { p.x } -> std::convertible_to<std::int64_t>;
    { p.y } -> std::convertible_to<std::int64_t>;
};

// Component indices.
inline constexpr int _X_ = 0, _Y_ = 1, _Z_ = 2, _W_ = 3;
inline constexpr int _R_ = 0, _G_ = 1, _B_ = 2;
inline constexpr int _U_ = 0, _V_ = 1;
inline constexpr int RANGE = 0, THETA = 1, PHI = 2;

// Singularity threshold of the 3-by-3 inversions; EPSILON2 is kept for
// callers that test against it.
inline constexpr float EPSILON = 1e-40f;
inline constexpr float EPSILON2 = 1e-30f;

inline constexpr TVector4D NULL_VECTOR_4D{0, 0, 0, 0};
inline constexpr TVector4F NULL_VECTOR_4F{0, 0, 0, 0};
inline constexpr TVector3D NULL_VECTOR_3D{0, 0, 0};
inline constexpr TVector3F NULL_VECTOR_3F{0, 0, 0};
inline constexpr TVector2D NULL_VECTOR_2D{0, 0};
inline constexpr TVector2F NULL_VECTOR_2F{0, 0};

inline constexpr TVector4D X_VECTOR_4D{1, 0, 0, 0};
inline constexpr TVector4D Y_VECTOR_4D{0, 1, 0, 0};
inline constexpr TVector4D Z_VECTOR_4D{0, 0, 1, 0};
inline constexpr TVector4D W_VECTOR_4D{0, 0, 0, 1};
inline constexpr TVector4F X_VECTOR_4F{1, 0, 0, 0};
inline constexpr TVector4F Y_VECTOR_4F{0, 1, 0, 0};
inline constexpr TVector4F Z_VECTOR_4F{0, 0, 1, 0};
inline constexpr TVector4F W_VECTOR_4F{0, 0, 0, 1};
inline constexpr TVector3D X_VECTOR_3D{1, 0, 0};
inline constexpr TVector3D Y_VECTOR_3D{0, 1, 0};
inline constexpr TVector3D Z_VECTOR_3D{0, 0, 1};
inline constexpr TVector3F X_VECTOR_3F{1, 0, 0};
inline constexpr TVector3F Y_VECTOR_3F{0, 1, 0};
inline constexpr TVector3F Z_VECTOR_3F{0, 0, 1};

inline constexpr TVector4D NULL_POINT_4D{0, 0, 0, 1};

inline constexpr TMatrix4D IDENTITY_MATRIX_4D{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
inline constexpr TMatrix3D IDENTITY_MATRIX_3D{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
inline constexpr TMatrix4D NULL_MATRIX_4D{};
inline constexpr TMatrix4F NULL_MATRIX_4F{};
inline constexpr TMatrix3D NULL_MATRIX_3D{};
inline constexpr TMatrix3F NULL_MATRIX_3F{};

inline constexpr TVector4D X_AXIS_4D{1, 0, 0, 0};
inline constexpr TVector4D Y_AXIS_4D{0, 1, 0, 0};
inline constexpr TVector4D Z_AXIS_4D{0, 0, 1, 0};
inline constexpr TVector3D X_AXIS_3D{1, 0, 0};
inline constexpr TVector3D Y_AXIS_3D{0, 1, 0};
inline constexpr TVector3D Z_AXIS_3D{0, 0, 1};

namespace vector_detail {

using Ext = long double;

// Components that take part in dot, length, normalisation and cross product:
// x, y, z of a homogeneous 4-vector, all of a 2- or 3-vector.
template <std::size_t N>
inline constexpr std::size_t Spatial = N == 4 ? 3 : N;

template <class T, std::size_t N>
Ext Dot(const std::array<T, N>& a, const std::array<T, N>& b) {
    Ext s = 0;
    for (std::size_t i = 0; i < Spatial<N>; ++i) s += Ext(a[i]) * Ext(b[i]);
    return s;
}

template <class T, std::size_t N>
std::array<T, N> Add(const std::array<T, N>& a, const std::array<T, N>& b) {
    std::array<T, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = T(Ext(a[i]) + Ext(b[i]));
    return r;
}

template <class T, std::size_t N>
std::array<T, N> Sub(const std::array<T, N>& a, const std::array<T, N>& b) {
    std::array<T, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = T(Ext(a[i]) - Ext(b[i]));
    return r;
}

template <class T, std::size_t N>
std::array<T, N> Scale(const std::array<T, N>& v, Ext f) {
    std::array<T, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = T(Ext(v[i]) * f);
    return r;
}

template <class T, std::size_t N>
std::array<T, N> Combine(const std::array<T, N>& a, const std::array<T, N>& b, Ext f1, Ext f2) {
    std::array<T, N> r;
    for (std::size_t i = 0; i < Spatial<N>; ++i) r[i] = T(Ext(a[i]) * f1 + Ext(b[i]) * f2);
    if constexpr (N == 4) r[3] = 1;
    return r;
}

template <class T, std::size_t N>
std::array<T, N> Cross(const std::array<T, N>& a, const std::array<T, N>& b) {
    std::array<T, N> r;
    r[0] = T(Ext(a[1]) * b[2] - Ext(a[2]) * b[1]);
    r[1] = T(Ext(a[2]) * b[0] - Ext(a[0]) * b[2]);
    r[2] = T(Ext(a[0]) * b[1] - Ext(a[1]) * b[0]);
    if constexpr (N == 4) r[3] = 0;
    return r;
}

template <class T, std::size_t N>
double Length(const std::array<T, N>& v) {
    return double(std::sqrt(Dot(v, v)));
}

// Divides the spatial part by its length; the caller decides about zero.
template <class T, std::size_t N>
void DivideByLength(std::array<T, N>& v) {
    const Ext len = std::sqrt(Dot(v, v));
    for (std::size_t i = 0; i < Spatial<N>; ++i) v[i] = T(Ext(v[i]) / len);
}

template <class T, std::size_t N>
std::array<T, N> NormalizeGuarded(std::array<T, N> v) {
    if (Dot(v, v) != 0) DivideByLength(v);
    return v;
}

// Row vector times matrix: v'[j] = sum over k of v[k] M[k][j].
template <class T, class U, std::size_t N>
std::array<T, N> Transform(const std::array<T, N>& v, const std::array<std::array<U, N>, N>& m) {
    std::array<T, N> r;
    for (std::size_t j = 0; j < N; ++j) {
        Ext s = 0;
        for (std::size_t k = 0; k < N; ++k) s += Ext(v[k]) * Ext(m[k][j]);
        r[j] = T(s);
    }
    return r;
}

template <class T, std::size_t N>
bool Equals(const std::array<T, N>& a, const std::array<T, N>& b, double eps) {
    // Written as "not within" so that a NaN component never compares equal.
    for (std::size_t i = 0; i < N; ++i)
        if (!(std::fabs(Ext(a[i]) - Ext(b[i])) <= eps)) return false;
    return true;
}

template <class T, std::size_t N>
bool IsNull(const std::array<T, N>& v) {
    for (T c : v)
        if (c != 0) return false;
    return true;
}

template <class T, std::size_t N>
using Mat = std::array<std::array<T, N>, N>;

template <class T, std::size_t N>
Mat<T, N> MatAdd(const Mat<T, N>& a, const Mat<T, N>& b) {
    Mat<T, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = Add(a[i], b[i]);
    return r;
}

template <class T, std::size_t N>
Mat<T, N> MatMul(const Mat<T, N>& a, const Mat<T, N>& b) {
    Mat<T, N> r;
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j) {
            Ext s = 0;
            for (std::size_t k = 0; k < N; ++k) s += Ext(a[i][k]) * Ext(b[k][j]);
            r[i][j] = T(s);
        }
    return r;
}

template <class T, std::size_t N>
Mat<T, N> Transposed(const Mat<T, N>& m) {
    Mat<T, N> r;
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j) r[i][j] = m[j][i];
    return r;
}

template <class T, std::size_t N>
Mat<T, N> MatScale(const Mat<T, N>& m, Ext f) {
    Mat<T, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = Scale(m[i], f);
    return r;
}

template <class T, std::size_t N>
bool MatEquals(const Mat<T, N>& a, const Mat<T, N>& b, double eps) {
    for (std::size_t i = 0; i < N; ++i)
        if (!Equals(a[i], b[i], eps)) return false;
    return true;
}

template <class To, class From, std::size_t N>
std::array<To, N> Convert(const std::array<From, N>& v) {
    std::array<To, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = To(v[i]);
    return r;
}

template <class To, class From, std::size_t N>
Mat<To, N> ConvertMat(const Mat<From, N>& m) {
    Mat<To, N> r;
    for (std::size_t i = 0; i < N; ++i) r[i] = Convert<To>(m[i]);
    return r;
}

}  // namespace vector_detail

// --- trigonometry ----------------------------------------------------------

inline void VectorSinCos(double Theta, double& Sin, double& Cos) {
    Sin = std::sin(Theta);
    Cos = std::cos(Theta);
}
inline void VectorSinCos(float Theta, float& Sin, float& Cos) {
    Sin = std::sin(Theta);
    Cos = std::cos(Theta);
}
inline void VectorSinCos(double Theta, double Radius, double& Sin, double& Cos) {
    Sin = double(std::sin(vector_detail::Ext(Theta)) * Radius);
    Cos = double(std::cos(vector_detail::Ext(Theta)) * Radius);
}
inline void VectorSinCos(float Theta, float Radius, float& Sin, float& Cos) {
    Sin = float(std::sin(vector_detail::Ext(Theta)) * Radius);
    Cos = float(std::cos(vector_detail::Ext(Theta)) * Radius);
}

// --- conversion between float widths ---------------------------------------

inline TVector4D S2D(const TVector4F& v) { return vector_detail::Convert<double>(v); }
inline TVector3D S2D(const TVector3F& v) { return vector_detail::Convert<double>(v); }
inline TMatrix4D S2D(const TMatrix4F& m) { return vector_detail::ConvertMat<double, float, 4>(m); }
inline TMatrix3D S2D(const TMatrix3F& m) { return vector_detail::ConvertMat<double, float, 3>(m); }
inline TVector4F D2S(const TVector4D& v) { return vector_detail::Convert<float>(v); }
inline TVector3F D2S(const TVector3D& v) { return vector_detail::Convert<float>(v); }
inline TMatrix4F D2S(const TMatrix4D& m) { return vector_detail::ConvertMat<float, double, 4>(m); }
inline TMatrix3F D2S(const TMatrix3D& m) { return vector_detail::ConvertMat<float, double, 3>(m); }

// --- construction ----------------------------------------------------------

inline TVector2F VectorMake2F(float X, float Y) { return {X, Y}; }
inline TVector2D VectorMake2D(double X, double Y) { return {X, Y}; }
template <IntegerPoint P>
TVector2D VectorMake2D(const P& Point) {
    return {double(Point.x), double(Point.y)};
}
inline TVector3D VectorMake3D(double X, double Y, double Z) { return {X, Y, Z}; }
inline void MakeVector3D(TVector3D& V, double X, double Y, double Z) { V = {X, Y, Z}; }
inline TVector3D VectorMake3D(const TVector4D& V) { return {V[0], V[1], V[2]}; }
inline TVector3F VectorMake3F(const TVector4F& V) { return {V[0], V[1], V[2]}; }
inline TVector3F VectorMake3F(const TVector4D& V) { return {float(V[0]), float(V[1]), float(V[2])}; }
inline TVector4D VectorMake4D(double X, double Y, double Z, double W) { return {X, Y, Z, W}; }
inline TVector4D VectorMake4D(const TVector3D& V, double W) { return {V[0], V[1], V[2], W}; }
inline TVector4D VectorMake4D(const TVector3F& V, double W) { return {V[0], V[1], V[2], W}; }

TMatrix3D MatrixMake3D(const TMatrix4D& M);
TMatrix4D MatrixMake4D(const TMatrix3D& M, const TVector3D& Translation);
TMatrix4D TransformMatrixMake4D(const TMatrix3D& M, const TVector3D& Translation);

// --- normalisation ---------------------------------------------------------

// No guard against a zero vector: the division gives the floating-point result.
inline void NormalizeVector(TVector4D& V) {
    vector_detail::DivideByLength(V);
    V[3] = 0;
}
inline void NormalizeVector(TVector4F& V) { vector_detail::DivideByLength(V); }
inline void NormalizeVector(TVector3D& V) { vector_detail::DivideByLength(V); }
inline void NormalizeVector(TVector3F& V) { vector_detail::DivideByLength(V); }

// A zero vector is returned unchanged (2-vectors excepted).
inline TVector4D VectorNormalize(const TVector4D& V) { return vector_detail::NormalizeGuarded(V); }
inline TVector4F VectorNormalize(const TVector4F& V) { return vector_detail::NormalizeGuarded(V); }
inline TVector3D VectorNormalize(const TVector3D& V) { return vector_detail::NormalizeGuarded(V); }
inline TVector3F VectorNormalize(const TVector3F& V) { return vector_detail::NormalizeGuarded(V); }
inline TVector2D VectorNormalize(TVector2D V) {
    vector_detail::DivideByLength(V);
    return V;
}
inline TVector2F VectorNormalize(TVector2F V) {
    vector_detail::DivideByLength(V);
    return V;
}

// --- sums, scaling, products -------------------------------------------------

#define NARVI_VECTOR_ALL_TYPES(X) X(TVector4D) X(TVector4F) X(TVector3D) X(TVector3F) X(TVector2D) X(TVector2F)
#define NARVI_VECTOR_ARITH(V)                                                                               \
    inline V VectorAdd(const V& V1, const V& V2) { return vector_detail::Add(V1, V2); }                     \
    inline V VectorSubtract(const V& V1, const V& V2) { return vector_detail::Sub(V1, V2); }                \
    inline V VectorScale(const V& v, double Factor) { return vector_detail::Scale(v, Factor); }             \
    inline double VectorDotProduct(const V& V1, const V& V2) { return double(vector_detail::Dot(V1, V2)); } \
    inline double VectorLength(const V& v) { return vector_detail::Length(v); }
NARVI_VECTOR_ALL_TYPES(NARVI_VECTOR_ARITH)
#undef NARVI_VECTOR_ARITH
#undef NARVI_VECTOR_ALL_TYPES

// Sets w := 1 on 4-vectors.
inline TVector4D VectorCombine(const TVector4D& V1, const TVector4D& V2, double F1, double F2) {
    return vector_detail::Combine(V1, V2, F1, F2);
}
inline TVector4F VectorCombine(const TVector4F& V1, const TVector4F& V2, double F1, double F2) {
    return vector_detail::Combine(V1, V2, F1, F2);
}
inline TVector3D VectorCombine(const TVector3D& V1, const TVector3D& V2, double F1, double F2) {
    return vector_detail::Combine(V1, V2, F1, F2);
}
inline TVector3F VectorCombine(const TVector3F& V1, const TVector3F& V2, double F1, double F2) {
    return vector_detail::Combine(V1, V2, F1, F2);
}

// Sets w := 0 on 4-vectors.
inline TVector4D VectorCrossProduct(const TVector4D& V1, const TVector4D& V2) { return vector_detail::Cross(V1, V2); }
inline TVector4F VectorCrossProduct(const TVector4F& V1, const TVector4F& V2) { return vector_detail::Cross(V1, V2); }
inline TVector3D VectorCrossProduct(const TVector3D& V1, const TVector3D& V2) { return vector_detail::Cross(V1, V2); }
inline TVector3F VectorCrossProduct(const TVector3F& V1, const TVector3F& V2) { return vector_detail::Cross(V1, V2); }

inline double VectorLength2(const TVector3F& V) { return double(vector_detail::Dot(V, V)); }

// Over all four components, w included.
inline double VectorDistance2(const TVector4D& V1, const TVector4D& V2) {
    vector_detail::Ext s = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const vector_detail::Ext d = vector_detail::Ext(V1[i]) - V2[i];
        s += d * d;
    }
    return double(s);
}

inline double PointDistance(const TVector2D& P1, const TVector2D& P2) { return VectorLength(VectorSubtract(P1, P2)); }
inline double PointDistance(const TVector3D& P1, const TVector3D& P2) { return VectorLength(VectorSubtract(P1, P2)); }
inline double PointDistance(const TVector4D& P1, const TVector4D& P2) { return VectorLength(VectorSubtract(P1, P2)); }
template <IntegerPoint P>
double PointDistance(const P& P1, const P& P2) {
    // Squares of 32-bit coordinate differences do not fit 32-bit integers.
    const auto dx = vector_detail::Ext(std::int64_t(P1.x) - std::int64_t(P2.x));
    const auto dy = vector_detail::Ext(std::int64_t(P1.y) - std::int64_t(P2.y));
    return double(std::sqrt(dx * dx + dy * dy));
}

inline double VectorAngleCosine(const TVector4D& V1, const TVector4D& V2) {
    return double(vector_detail::Dot(V1, V2) / (vector_detail::Ext(VectorLength(V1)) * VectorLength(V2)));
}
inline double VectorAngleCosine(const TVector4F& V1, const TVector4F& V2) {
    return double(vector_detail::Dot(V1, V2) / (vector_detail::Ext(VectorLength(V1)) * VectorLength(V2)));
}
inline double VectorAngleCosine(const TVector2D& V1, const TVector2D& V2) {
    return double(vector_detail::Dot(V1, V2) / (vector_detail::Ext(VectorLength(V1)) * VectorLength(V2)));
}

// For unit vectors: parallel or antiparallel within 0.001 of the dot product.
inline bool VectorsParallel(const TVector4F& V1, const TVector4F& V2) {
    return std::fabs(std::fabs(vector_detail::Dot(V1, V2)) - 1) <= 0.001L;
}

inline TVector3F VectorReduce(const TVector3F& V) {
    const vector_detail::Ext z = V[2];
    return {float(V[0] / z), float(V[1] / z), float(V[2] / z)};
}

// Outer product: M[i][j] = V1[i] x V2[j].
TMatrix3F VectorMultiply(const TVector3F& V1, const TVector3F& V2);

// --- transformation ----------------------------------------------------------

inline TVector4F VectorTransform(const TVector4F& V, const TMatrix4D& M) { return vector_detail::Transform(V, M); }
inline TVector4F VectorTransform(const TVector4F& V, const TMatrix4F& M) { return vector_detail::Transform(V, M); }
inline TVector4D VectorTransform(const TVector4D& V, const TMatrix4D& M) { return vector_detail::Transform(V, M); }
inline TVector3F VectorTransform(const TVector3F& V, const TMatrix3F& M) { return vector_detail::Transform(V, M); }
inline TVector3D VectorTransform(const TVector3D& V, const TMatrix3D& M) { return vector_detail::Transform(V, M); }
inline TVector2D VectorTransform(const TVector2D& V, const TMatrix2D& M) { return vector_detail::Transform(V, M); }
inline TVector2F VectorTransform(const TVector2F& V, const TMatrix2F& M) { return vector_detail::Transform(V, M); }
// The fourth row of M is added as translation.
TVector3D VectorTransform(const TVector3D& V, const TMatrix4D& M);

TVector3F VectorRotate(const TVector3F& V, const TVector3F& Axis, double Angle);
TVector4F VectorRotate(const TVector4F& V, const TVector3F& Axis, double Angle);
TVector4D VectorRotate(const TVector4D& V, const TVector3D& Axis, double Angle);

// --- comparison --------------------------------------------------------------

inline bool VectorEquals(const TVector4D& V1, const TVector4D& V2, double Eps) {
    return vector_detail::Equals(V1, V2, Eps);
}
inline bool VectorEquals(const TVector3D& V1, const TVector3D& V2, double Eps) {
    return vector_detail::Equals(V1, V2, Eps);
}
inline bool VectorEquals(const TVector2D& V1, const TVector2D& V2, double Eps) {
    return vector_detail::Equals(V1, V2, Eps);
}
inline bool VectorIsNull(const TVector4D& V) { return vector_detail::IsNull(V); }
inline bool VectorIsNull(const TVector3D& V) { return vector_detail::IsNull(V); }
inline bool VectorIsNull(const TVector2D& V) { return vector_detail::IsNull(V); }

inline bool MatrixEquals(const TMatrix4D& M1, const TMatrix4D& M2, double Eps) {
    return vector_detail::MatEquals(M1, M2, Eps);
}
inline bool MatrixEquals(const TMatrix3D& M1, const TMatrix3D& M2, double Eps) {
    return vector_detail::MatEquals(M1, M2, Eps);
}
inline bool MatrixEquals(const TMatrix2D& M1, const TMatrix2D& M2, double Eps) {
    return vector_detail::MatEquals(M1, M2, Eps);
}

// --- matrices ----------------------------------------------------------------

#define NARVI_MATRIX_ALL_TYPES(X) X(TMatrix4D, 4) X(TMatrix4F, 4) X(TMatrix3D, 3) X(TMatrix3F, 3)
#define NARVI_MATRIX_ARITH(M, N)                                                                   \
    inline M MatrixAdd(const M& M1, const M& M2) { return vector_detail::MatAdd(M1, M2); }         \
    inline M MatrixMultiply(const M& M1, const M& M2) { return vector_detail::MatMul(M1, M2); }    \
    inline M MatrixTranspose(const M& m) { return vector_detail::Transposed(m); }                  \
    inline void TransposeMatrix(M& m) { m = vector_detail::Transposed(m); }                        \
    inline M MatrixScale(const M& m, double Factor) { return vector_detail::MatScale(m, Factor); } \
    inline void ScaleMatrix(M& m, double Factor) { m = vector_detail::MatScale(m, Factor); }       \
    double MatrixDeterminant(const M& m);                                                          \
    void AdjointMatrix(M& m);
NARVI_MATRIX_ALL_TYPES(NARVI_MATRIX_ARITH)
#undef NARVI_MATRIX_ARITH
#undef NARVI_MATRIX_ALL_TYPES

// Determinant of the 3-by-3 matrix with rows (a1 a2 a3), (b1 b2 b3), (c1 c2 c3).
double MatrixDetInternal(double a1, double a2, double a3, double b1, double b2, double b3, double c1, double c2,
                         double c3);

// A singular matrix (determinant zero within 5e-321 for 4-by-4, below
// EPSILON for 3-by-3) becomes the identity. The 2-by-2 inverse has no
// singularity test.
void InvertMatrix(TMatrix4D& M);
void InvertMatrix(TMatrix3D& M);
void InvertMatrix(TMatrix3F& M);
TMatrix4F MatrixInvert(const TMatrix4F& M);
TMatrix2D MatrixInvert(const TMatrix2D& M);

// --- rotations ---------------------------------------------------------------

// Rotation about Axis (normalised first) by Angle radians, for row vectors.
TMatrix4D CreateRotationMatrix4D(const TVector3D& Axis, double Angle);
TMatrix4F CreateRotationMatrix4F(const TVector3F& Axis, double Angle);
TMatrix3F CreateRotationMatrix3F(const TVector3F& Axis, double Angle);

TMatrix4D CreateRotationMatrixAxisZ(double Angle);
TMatrix4D Rotate_X(double Angle);
TMatrix4D Rotate_Y(double Angle);
TMatrix4D Rotate_Z(double Angle);
