#include "Vector.h"

using vector_detail::Ext;

namespace {

Ext Det3(Ext a1, Ext a2, Ext a3, Ext b1, Ext b2, Ext b3, Ext c1, Ext c2, Ext c3) {
    return a1 * (b2 * c3 - b3 * c2) - b1 * (a2 * c3 - a3 * c2) + c1 * (a2 * b3 - a3 * b2);
}

template <class T>
Ext Det3(const std::array<std::array<T, 3>, 3>& m) {
    return Det3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
}

// Minor of a 4-by-4 matrix without row r and column c.
template <class T>
Ext Minor4(const std::array<std::array<T, 4>, 4>& m, int r, int c) {
    Ext e[9];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == r) continue;
        for (int j = 0; j < 4; ++j)
            if (j != c) e[n++] = m[i][j];
    }
    return Det3(e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8]);
}

template <class T>
Ext Det4(const std::array<std::array<T, 4>, 4>& m) {
    Ext s = 0;
    for (int j = 0; j < 4; ++j) {
        const Ext term = Ext(m[0][j]) * Minor4(m, 0, j);
        s += (j % 2 == 0) ? term : -term;
    }
    return s;
}

template <class T>
void Adjoint4(std::array<std::array<T, 4>, 4>& m) {
    std::array<std::array<T, 4>, 4> r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const Ext minor = Minor4(m, j, i);
            r[i][j] = T(((i + j) % 2 == 0) ? minor : -minor);
        }
    m = r;
}

template <class T>
void Adjoint3(std::array<std::array<T, 3>, 3>& m) {
    std::array<std::array<T, 3>, 3> r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // Signed minor of element (j, i): rows and columns other than j and i, in order.
            const int r0 = j == 0 ? 1 : 0, r1 = j == 2 ? 1 : 2;
            const int c0 = i == 0 ? 1 : 0, c1 = i == 2 ? 1 : 2;
            const Ext minor = Ext(m[r0][c0]) * m[r1][c1] - Ext(m[r0][c1]) * m[r1][c0];
            r[i][j] = T(((i + j) % 2 == 0) ? minor : -minor);
        }
    m = r;
}

template <class T>
void Invert3(std::array<std::array<T, 3>, 3>& m) {
    const Ext det = Det3(m);
    if (std::fabs(det) < Ext(EPSILON)) {
        m = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        return;
    }
    Adjoint3(m);
    m = vector_detail::MatScale(m, 1 / det);
}

template <class T>
std::array<std::array<T, 3>, 3> Rotation3(const std::array<T, 3>& axis, double angle) {
    std::array<T, 3> a = axis;
    // Normalising a zero axis would spread NaN through the matrix; keep it zero.
    a = vector_detail::NormalizeGuarded(a);
    const Ext s = std::sin(Ext(angle)), c = std::cos(Ext(angle)), t = 1 - c;
    const Ext x = a[0], y = a[1], z = a[2];
    return {{{T(x * x * t + c), T(x * y * t - s * z), T(x * z * t + s * y)},
             {T(x * y * t + s * z), T(y * y * t + c), T(y * z * t - s * x)},
             {T(x * z * t - s * y), T(y * z * t + s * x), T(z * z * t + c)}}};
}

template <class T>
std::array<std::array<T, 4>, 4> Widen(const std::array<std::array<T, 3>, 3>& m) {
    std::array<std::array<T, 4>, 4> r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = m[i][j];
    r[3][3] = 1;
    return r;
}

}  // namespace

TMatrix3D MatrixMake3D(const TMatrix4D& M) {
    TMatrix3D r;
    for (int i = 0; i < 3; ++i) r[i] = {M[i][0], M[i][1], M[i][2]};
    return r;
}

TMatrix4D MatrixMake4D(const TMatrix3D& M, const TVector3D& Translation) {
    TMatrix4D r;
    for (int i = 0; i < 3; ++i) r[i] = {M[i][0], M[i][1], M[i][2], 0};
    r[3] = {Translation[0], Translation[1], Translation[2], 1};
    return r;
}

TMatrix4D TransformMatrixMake4D(const TMatrix3D& M, const TVector3D& Translation) {
    return MatrixMake4D(M, Translation);
}

TMatrix3F VectorMultiply(const TVector3F& V1, const TVector3F& V2) {
    TMatrix3F r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = float(Ext(V1[i]) * V2[j]);
    return r;
}

TVector3D VectorTransform(const TVector3D& V, const TMatrix4D& M) {
    TVector3D r;
    for (int j = 0; j < 3; ++j)
        r[j] = double(Ext(V[0]) * M[0][j] + Ext(V[1]) * M[1][j] + Ext(V[2]) * M[2][j] + M[3][j]);
    return r;
}

TVector3F VectorRotate(const TVector3F& V, const TVector3F& Axis, double Angle) {
    return VectorTransform(V, CreateRotationMatrix3F(Axis, Angle));
}

TVector4F VectorRotate(const TVector4F& V, const TVector3F& Axis, double Angle) {
    return VectorTransform(V, CreateRotationMatrix4F(Axis, Angle));
}

TVector4D VectorRotate(const TVector4D& V, const TVector3D& Axis, double Angle) {
    return VectorTransform(V, CreateRotationMatrix4D(Axis, Angle));
}

double MatrixDetInternal(double a1, double a2, double a3, double b1, double b2, double b3, double c1, double c2,
                         double c3) {
    return double(Det3(a1, a2, a3, b1, b2, b3, c1, c2, c3));
}

double MatrixDeterminant(const TMatrix4D& m) { return double(Det4(m)); }
double MatrixDeterminant(const TMatrix4F& m) { return double(Det4(m)); }
double MatrixDeterminant(const TMatrix3D& m) { return double(Det3(m)); }
double MatrixDeterminant(const TMatrix3F& m) { return double(Det3(m)); }

void AdjointMatrix(TMatrix4D& m) { Adjoint4(m); }
void AdjointMatrix(TMatrix4F& m) { Adjoint4(m); }
void AdjointMatrix(TMatrix3D& m) { Adjoint3(m); }
void AdjointMatrix(TMatrix3F& m) { Adjoint3(m); }

void InvertMatrix(TMatrix4D& M) {
    const Ext det = Det4(M);
    if (std::fabs(det) <= Ext(5e-321)) {
        M = IDENTITY_MATRIX_4D;
        return;
    }
    Adjoint4(M);
    M = vector_detail::MatScale(M, 1 / det);
}

void InvertMatrix(TMatrix3D& M) { Invert3(M); }
void InvertMatrix(TMatrix3F& M) { Invert3(M); }

TMatrix4F MatrixInvert(const TMatrix4F& M) {
    TMatrix4D d = S2D(M);
    InvertMatrix(d);
    return D2S(d);
}

TMatrix2D MatrixInvert(const TMatrix2D& M) {
    const Ext a = M[0][0], b = M[0][1], c = M[1][0], d = M[1][1];
    const Ext f = 1 / (a * d - b * c);
    return {{{double(f * d), double(-f * b)}, {double(-f * c), double(f * a)}}};
}

TMatrix4D CreateRotationMatrix4D(const TVector3D& Axis, double Angle) { return Widen(Rotation3(Axis, Angle)); }
TMatrix4F CreateRotationMatrix4F(const TVector3F& Axis, double Angle) { return Widen(Rotation3(Axis, Angle)); }
TMatrix3F CreateRotationMatrix3F(const TVector3F& Axis, double Angle) { return Rotation3(Axis, Angle); }

TMatrix4D CreateRotationMatrixAxisZ(double Angle) { return Rotate_Z(Angle); }

TMatrix4D Rotate_X(double Angle) {
    const double s = std::sin(Angle), c = std::cos(Angle);
    return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

TMatrix4D Rotate_Y(double Angle) {
    const double s = std::sin(Angle), c = std::cos(Angle);
    return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
}

TMatrix4D Rotate_Z(double Angle) {
    const double s = std::sin(Angle), c = std::cos(Angle);
    return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}
