#include "Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kQuarter = std::numbers::pi / 2;

template <class V>
void ExpectNear(const V& actual, const V& expected, double eps = 1e-6) {
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], eps) << "component " << i;
}

template <class M>
void ExpectMatrixNear(const M& actual, const M& expected, double eps = 1e-9) {
    for (std::size_t i = 0; i < actual.size(); ++i)
        for (std::size_t j = 0; j < actual[i].size(); ++j)
            EXPECT_NEAR(actual[i][j], expected[i][j], eps) << "element " << i << "," << j;
}

// Shaped like the GUI layer's integer point.
struct TScreenPoint {
    int x = 0;
    int y = 0;
};

const TMatrix4D kGeneral4{{{2, -1, 0, 3}, {1, 4, -2, 0}, {0, 5, 1, -1}, {3, 0, 2, 6}}};

TEST(VectorTest, NormalizeGuardsZeroAndScalesToUnitLength) {
    ExpectNear(VectorNormalize(TVector3D{0, 0, 0}), TVector3D{0, 0, 0});
    ExpectNear(VectorNormalize(TVector3D{3, 0, 4}), TVector3D{0.6, 0, 0.8});
    ExpectNear(VectorNormalize(TVector3F{3, 0, 4}), TVector3F{0.6f, 0, 0.8f});
    ExpectNear(VectorNormalize(TVector4F{0, 0, 0, 7}), TVector4F{0, 0, 0, 7});
    ExpectNear(VectorNormalize(TVector2D{3, 4}), TVector2D{0.6, 0.8});

    // In place: the homogeneous double vector becomes a direction (w = 0).
    TVector4D v{0, 3, 4, 9};
    NormalizeVector(v);
    ExpectNear(v, TVector4D{0, 0.6, 0.8, 0});
    TVector3F f{0, 0, -2};
    NormalizeVector(f);
    ExpectNear(f, TVector3F{0, 0, -1});
}

TEST(VectorTest, HomogeneousVectorsUseOnlyTheirSpatialPart) {
    EXPECT_DOUBLE_EQ(VectorLength(TVector4D{3, 4, 0, 100}), 5.0);
    EXPECT_DOUBLE_EQ(VectorDotProduct(TVector4D{1, 2, 3, 100}, TVector4D{4, 5, 6, 100}), 32.0);
    ExpectNear(VectorCrossProduct(X_AXIS_4D, Y_AXIS_4D), TVector4D{0, 0, 1, 0});
    ExpectNear(VectorCrossProduct(TVector4F{1, 0, 0, 5}, TVector4F{0, 1, 0, 5}), TVector4F{0, 0, 1, 0});
    ExpectNear(VectorCombine(TVector4D{1, 2, 3, 0}, TVector4D{1, 1, 1, 0}, 2, -1), TVector4D{1, 3, 5, 1});
    EXPECT_EQ(VectorCombine(TVector4F{}, TVector4F{}, 1, 1)[_W_], 1.0f);
    // Sums, differences and squared distance include w.
    ExpectNear(VectorAdd(TVector4D{1, 2, 3, 4}, TVector4D{1, 1, 1, 1}), TVector4D{2, 3, 4, 5});
    EXPECT_DOUBLE_EQ(VectorDistance2(TVector4D{0, 0, 0, 0}, TVector4D{1, 2, 2, 4}), 25.0);
    EXPECT_DOUBLE_EQ(PointDistance(TVector4D{0, 0, 0, 0}, TVector4D{1, 2, 2, 4}), 3.0);
}

TEST(VectorTest, ProductsAndMeasures) {
    ExpectNear(VectorCrossProduct(Y_VECTOR_3D, Z_VECTOR_3D), X_VECTOR_3D);
    ExpectNear(VectorCrossProduct(Z_VECTOR_3F, Y_VECTOR_3F), TVector3F{-1, 0, 0});
    EXPECT_DOUBLE_EQ(VectorLength2(TVector3F{1, 2, 2}), 9.0);
    EXPECT_DOUBLE_EQ(VectorLength(TVector2F{6, 8}), 10.0);
    EXPECT_NEAR(VectorAngleCosine(TVector2D{1, 0}, TVector2D{1, 1}), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(VectorAngleCosine(TVector4F{2, 0, 0, 1}, TVector4F{0, 0, 3, 1}), 0.0, 1e-15);
    EXPECT_TRUE(VectorsParallel(X_VECTOR_4F, TVector4F{-1, 0, 0, 0}));
    EXPECT_TRUE(VectorsParallel(X_VECTOR_4F, VectorNormalize(TVector4F{1, 0.01f, 0, 0})));
    EXPECT_FALSE(VectorsParallel(X_VECTOR_4F, VectorNormalize(TVector4F{1, 0.1f, 0, 0})));
    ExpectNear(VectorReduce(TVector3F{4, 6, 2}), TVector3F{2, 3, 1});

    const TMatrix3F outer = VectorMultiply(TVector3F{1, 2, 3}, TVector3F{4, 5, 6});
    EXPECT_EQ(outer[0][0], 4.0f);
    EXPECT_EQ(outer[0][2], 6.0f);
    EXPECT_EQ(outer[2][1], 15.0f);

    // Integer points far apart: the squared differences do not fit 32 bits.
    EXPECT_DOUBLE_EQ(PointDistance(TScreenPoint{-2000000000, 0}, TScreenPoint{2000000000, 0}), 4e9);
    EXPECT_DOUBLE_EQ(PointDistance(TScreenPoint{1, 1}, TScreenPoint{4, 5}), 5.0);
}

TEST(VectorTest, ConstructionAndConversion) {
    ExpectNear(VectorMake2D(TScreenPoint{-3, 7}), TVector2D{-3, 7});
    ExpectNear(VectorMake3D(TVector4D{1, 2, 3, 4}), TVector3D{1, 2, 3});
    ExpectNear(VectorMake3F(TVector4D{1.5, 2, 3, 4}), TVector3F{1.5f, 2, 3});
    ExpectNear(VectorMake4D(TVector3F{1, 2, 3}, 1), TVector4D{1, 2, 3, 1});
    EXPECT_EQ(VectorMake4D(NULL_VECTOR_3D, 1), NULL_POINT_4D);
    TVector3D m;
    MakeVector3D(m, 7, 8, 9);
    ExpectNear(m, TVector3D{7, 8, 9});

    // Narrowing rounds to the nearest float; widening is exact.
    const TVector3D precise{0.1, 1e300, -1e-50};
    const TVector3F narrow = D2S(precise);
    EXPECT_EQ(narrow[0], 0.1f);
    EXPECT_TRUE(std::isinf(narrow[1]));
    EXPECT_EQ(narrow[2], 0.0f);
    EXPECT_EQ(S2D(narrow)[0], double(0.1f));
    EXPECT_EQ(S2D(D2S(kGeneral4))[2][1], 5.0);

    const TMatrix4D t = TransformMatrixMake4D(MatrixMake3D(kGeneral4), TVector3D{10, 20, 30});
    EXPECT_EQ(t[0][3], 0.0);
    EXPECT_EQ(t[2][2], 1.0);
    ExpectNear(t[3], TVector4D{10, 20, 30, 1});
    EXPECT_EQ(MatrixMake4D(MatrixMake3D(kGeneral4), TVector3D{}),
              TransformMatrixMake4D(MatrixMake3D(kGeneral4), TVector3D{}));
}

TEST(VectorTest, TransformsRowVectors) {
    TMatrix4D translate = IDENTITY_MATRIX_4D;
    translate[3] = {10, 20, 30, 1};
    ExpectNear(VectorTransform(TVector3D{1, 2, 3}, translate), TVector3D{11, 22, 33});

    // Row vector times matrix picks rows, not columns.
    const TMatrix3D m{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
    ExpectNear(VectorTransform(Y_VECTOR_3D, m), TVector3D{4, 5, 6});
    ExpectNear(VectorTransform(TVector2F{1, 1}, TMatrix2F{{{1, 2}, {3, 4}}}), TVector2F{4, 6});
    ExpectNear(VectorTransform(TVector2D{0, 2}, TMatrix2D{{{1, 2}, {3, 4}}}), TVector2D{6, 8});
    ExpectNear(VectorTransform(TVector4F{1, 0, 0, 1}, translate), TVector4F{11, 20, 30, 1});
    ExpectNear(VectorTransform(TVector4F{1, 0, 0, 1}, D2S(translate)), TVector4F{11, 20, 30, 1});
}

TEST(VectorTest, RotationsFollowTheRowVectorConvention) {
    ExpectNear(VectorTransform(X_VECTOR_3F, CreateRotationMatrix3F(Z_VECTOR_3F, kQuarter)), TVector3F{0, -1, 0});
    ExpectNear(VectorRotate(X_VECTOR_3F, Z_VECTOR_3F, kQuarter), TVector3F{0, -1, 0});
    // An axis that is not unit length gives the same rotation.
    ExpectNear(VectorRotate(TVector4D{1, 0, 0, 1}, TVector3D{0, 0, 5}, kQuarter), TVector4D{0, -1, 0, 1}, 1e-12);
    ExpectNear(VectorRotate(TVector4F{0, 1, 0, 0}, TVector3F{1, 0, 0}, kQuarter), TVector4F{0, 0, -1, 0});

    // Rotate_Z turns the other way round than the axis form with the same angle.
    ExpectNear(VectorTransform(X_VECTOR_4D, Rotate_Z(kQuarter)), TVector4D{0, 1, 0, 0}, 1e-12);
    ExpectNear(VectorTransform(Y_VECTOR_4D, Rotate_X(kQuarter)), TVector4D{0, 0, 1, 0}, 1e-12);
    ExpectNear(VectorTransform(Z_VECTOR_4D, Rotate_Y(kQuarter)), TVector4D{1, 0, 0, 0}, 1e-12);
    EXPECT_EQ(CreateRotationMatrixAxisZ(0.3), Rotate_Z(0.3));
    ExpectMatrixNear(CreateRotationMatrix4D(Z_VECTOR_3D, -0.3), Rotate_Z(0.3), 1e-15);

    // Any rotation is orthonormal with determinant 1.
    const TMatrix4D r = CreateRotationMatrix4D(TVector3D{1, -2, 0.5}, 1.1);
    ExpectMatrixNear(MatrixMultiply(r, MatrixTranspose(r)), IDENTITY_MATRIX_4D, 1e-15);
    EXPECT_NEAR(MatrixDeterminant(r), 1.0, 1e-15);
    EXPECT_NEAR(MatrixDeterminant(CreateRotationMatrix4F(TVector3F{0, 1, 1}, 2.0)), 1.0, 1e-6);
}

TEST(VectorTest, MatrixArithmetic) {
    TMatrix3F a{{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}};
    const TMatrix3F b = MatrixTranspose(a);
    EXPECT_EQ(b[0][2], 7.0f);
    EXPECT_EQ(b[2][0], 3.0f);
    TransposeMatrix(a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(MatrixAdd(a, b)[1][2], 16.0f);
    EXPECT_EQ(MatrixScale(a, 0.5)[2][2], 5.0f);
    ScaleMatrix(a, 2);
    EXPECT_EQ(a[0][1], 8.0f);

    const TMatrix3D p{{{1, 2, 0}, {0, 1, 0}, {0, 0, 1}}};
    const TMatrix3D q{{{1, 0, 0}, {3, 1, 0}, {0, 0, 2}}};
    const TMatrix3D pq = MatrixMultiply(p, q);
    EXPECT_EQ(pq[0][0], 7.0);  // 1*1 + 2*3
    EXPECT_EQ(pq[0][1], 2.0);
    EXPECT_EQ(pq[2][2], 2.0);
    EXPECT_NE(pq, MatrixMultiply(q, p));
}

TEST(VectorTest, DeterminantAndAdjoint) {
    EXPECT_DOUBLE_EQ(MatrixDetInternal(2, 0, 0, 0, 3, 0, 0, 0, 4), 24.0);
    EXPECT_DOUBLE_EQ(MatrixDeterminant(TMatrix3D{{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}}), -3.0);
    EXPECT_DOUBLE_EQ(MatrixDeterminant(TMatrix3F{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}}), 0.0);
    const double det = MatrixDeterminant(kGeneral4);
    EXPECT_DOUBLE_EQ(det, 42.0);
    EXPECT_DOUBLE_EQ(MatrixDeterminant(D2S(kGeneral4)), 42.0);

    // M x adjoint(M) = det(M) x I, for every type.
    TMatrix4D adj = kGeneral4;
    AdjointMatrix(adj);
    ExpectMatrixNear(MatrixMultiply(kGeneral4, adj), MatrixScale(IDENTITY_MATRIX_4D, det));
    TMatrix4F adjF = D2S(kGeneral4);
    AdjointMatrix(adjF);
    ExpectMatrixNear(S2D(MatrixMultiply(D2S(kGeneral4), adjF)), MatrixScale(IDENTITY_MATRIX_4D, det), 1e-4);
    const TMatrix3D m3{{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}};
    TMatrix3D adj3 = m3;
    AdjointMatrix(adj3);
    ExpectMatrixNear(MatrixMultiply(m3, adj3), MatrixScale(IDENTITY_MATRIX_3D, -3));
    TMatrix3F adj3F = D2S(m3);
    AdjointMatrix(adj3F);
    ExpectMatrixNear(S2D(MatrixMultiply(adj3F, D2S(m3))), MatrixScale(IDENTITY_MATRIX_3D, -3), 1e-5);
}

TEST(VectorTest, InversionAndSingularMatrices) {
    TMatrix3D diag{{{2, 0, 0}, {0, 4, 0}, {0, 0, 8}}};
    InvertMatrix(diag);
    ExpectMatrixNear(diag, TMatrix3D{{{0.5, 0, 0}, {0, 0.25, 0}, {0, 0, 0.125}}}, 0);

    // Determinant 1e-45, far below the singularity threshold.
    TMatrix3D tiny{{{1e-15, 0, 0}, {0, 1e-15, 0}, {0, 0, 1e-15}}};
    InvertMatrix(tiny);
    EXPECT_EQ(tiny, IDENTITY_MATRIX_3D);
    TMatrix3F tinyF{{{1e-15f, 0, 0}, {0, 1e-15f, 0}, {0, 0, 1e-15f}}};
    InvertMatrix(tinyF);
    EXPECT_EQ(tinyF, D2S(IDENTITY_MATRIX_3D));
    // Just above it the inverse is computed.
    TMatrix3D small{{{1e-13, 0, 0}, {0, 1e-13, 0}, {0, 0, 1e-13}}};
    InvertMatrix(small);
    EXPECT_NEAR(small[1][1], 1e13, 1e-3);

    TMatrix4D singular{{{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 1}, {5, 0, 1, 2}}};
    InvertMatrix(singular);
    EXPECT_EQ(singular, IDENTITY_MATRIX_4D);
    EXPECT_EQ(MatrixInvert(D2S(TMatrix4D{})), D2S(IDENTITY_MATRIX_4D));

    TMatrix4D inv = kGeneral4;
    InvertMatrix(inv);
    ExpectMatrixNear(MatrixMultiply(kGeneral4, inv), IDENTITY_MATRIX_4D, 1e-15);
    ExpectMatrixNear(S2D(MatrixMultiply(D2S(kGeneral4), MatrixInvert(D2S(kGeneral4)))), IDENTITY_MATRIX_4D, 1e-6);
    TMatrix3F m3{{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}};
    InvertMatrix(m3);
    ExpectMatrixNear(S2D(MatrixMultiply(m3, TMatrix3F{{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}})), IDENTITY_MATRIX_3D, 1e-5);

    const TMatrix2D two{{{4, 7}, {2, 6}}};
    EXPECT_TRUE(MatrixEquals(MatrixInvert(two), TMatrix2D{{{0.6, -0.7}, {-0.2, 0.4}}}, 1e-15));
    // The 2-by-2 form has no singularity test.
    EXPECT_FALSE(std::isfinite(MatrixInvert(TMatrix2D{{{1, 2}, {2, 4}}})[0][0]));
}

TEST(VectorTest, EqualityWithTolerance) {
    EXPECT_TRUE(VectorEquals(TVector3D{1, 2, 3}, TVector3D{1.05, 2, 2.95}, 0.05 + 1e-12));
    EXPECT_FALSE(VectorEquals(TVector3D{1, 2, 3}, TVector3D{1, 2, 3.2}, 0.1));
    EXPECT_FALSE(VectorEquals(TVector4D{0, 0, 0, 0}, TVector4D{0, 0, 0, 1}, 0.5));
    EXPECT_TRUE(VectorEquals(TVector2D{1, 1}, TVector2D{1, 1}, 0));
    EXPECT_FALSE(VectorEquals(TVector2D{std::numeric_limits<double>::quiet_NaN(), 0}, TVector2D{0, 0}, 1));
    EXPECT_TRUE(VectorIsNull(NULL_VECTOR_4D));
    EXPECT_FALSE(VectorIsNull(TVector3D{0, 0, 1e-300}));
    EXPECT_TRUE(VectorIsNull(TVector2D{-0.0, 0}));
    EXPECT_TRUE(MatrixEquals(IDENTITY_MATRIX_4D, Rotate_X(1e-9), 1e-8));
    EXPECT_FALSE(MatrixEquals(IDENTITY_MATRIX_3D, MatrixMake3D(Rotate_X(0.1)), 1e-3));
}

TEST(VectorTest, SinCos) {
    double s = 0, c = 0;
    VectorSinCos(kQuarter / 3, s, c);
    EXPECT_NEAR(s, 0.5, 1e-15);
    VectorSinCos(kQuarter, 2.0, s, c);
    EXPECT_NEAR(s, 2.0, 1e-15);
    EXPECT_NEAR(c, 0.0, 1e-15);
    float sf = 0, cf = 0;
    VectorSinCos(0.0f, 3.0f, sf, cf);
    EXPECT_EQ(sf, 0.0f);
    EXPECT_EQ(cf, 3.0f);
}

}  // namespace
