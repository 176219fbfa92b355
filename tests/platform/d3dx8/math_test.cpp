// D3DX math against values worked out by hand (row vectors, left-handed frames).
#include <d3dx8.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "entry _" << r + 1 << c + 1;
}

D3DXVECTOR3 Apply(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

void ExpectVectorNear(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance) {
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

D3DXMATRIX Counting() {
    return D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
}

TEST(MathMultiply, SquareOfCountingMatrixAndAliasedOutput) {
    const D3DXMATRIX expected(90, 100, 110, 120, 202, 228, 254, 280, 314, 356, 398, 440, 426, 484,
                              542, 600);
    D3DXMATRIX a = Counting(), out;
    D3DXMatrixMultiply(&out, &a, &a);
    ExpectMatrixNear(out, expected, 0);
    ExpectMatrixNear(a * a, expected, 0);
    // The output may be one of the inputs.
    D3DXMatrixMultiply(&a, &a, &a);
    ExpectMatrixNear(a, expected, 0);
}

TEST(MathMultiply, ChainsApplyLeftToRight) {
    // Move first, then turn a quarter about z: (1,0,0) -> (2,2,3) -> (-2,2,3).
    D3DXMATRIX move, turn, both;
    D3DXMatrixTranslation(&move, 1, 2, 3);
    D3DXMatrixRotationZ(&turn, D3DX_PI / 2);
    D3DXMatrixMultiply(&both, &move, &turn);
    ExpectVectorNear(Apply(D3DXVECTOR3(1, 0, 0), both), -2, 2, 3, kTolerance);
    D3DXMatrixMultiply(&both, &turn, &move);
    ExpectVectorNear(Apply(D3DXVECTOR3(1, 0, 0), both), 1, 3, 3, kTolerance);
}

TEST(MathRotation, ElementaryRotationsHaveTheDocumentedRows) {
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, a);
    ExpectMatrixNear(m, D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1), kTolerance);
    D3DXMatrixRotationY(&m, a);
    ExpectMatrixNear(m, D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1), kTolerance);
    // Left-handed: a positive turn about z takes +x towards +y.
    D3DXMatrixRotationZ(&m, D3DX_PI / 2);
    ExpectVectorNear(Apply(D3DXVECTOR3(1, 0, 0), m), 0, 1, 0, kTolerance);
}

TEST(MathRotation, AxisIsNormalisedAndMatchesElementaryRotations) {
    D3DXMATRIX axis, x;
    const D3DXVECTOR3 longX(5, 0, 0);
    D3DXMatrixRotationAxis(&axis, &longX, 0.7f);
    D3DXMatrixRotationX(&x, 0.7f);
    ExpectMatrixNear(axis, x, kTolerance);

    // A third of a turn about the diagonal cycles the axes x -> y -> z -> x.
    const D3DXVECTOR3 diagonal(2, 2, 2);
    D3DXMatrixRotationAxis(&axis, &diagonal, 2.0f * D3DX_PI / 3.0f);
    ExpectVectorNear(Apply(D3DXVECTOR3(1, 0, 0), axis), 0, 1, 0, kTolerance);
    ExpectVectorNear(Apply(D3DXVECTOR3(0, 1, 0), axis), 0, 0, 1, kTolerance);
    ExpectVectorNear(Apply(D3DXVECTOR3(0, 0, 1), axis), 1, 0, 0, kTolerance);
}

TEST(MathRotation, ZeroAxisGivesIdentityNotAScaling) {
    D3DXMATRIX m, identity;
    const D3DXVECTOR3 zero(0, 0, 0);
    D3DXMatrixRotationAxis(&m, &zero, 1.0f);
    ExpectMatrixNear(m, *D3DXMatrixIdentity(&identity), 0);
}

TEST(MathLookAt, CameraAtThreeFiveTenLooksAtOrigin) {
    const D3DXVECTOR3 eye(3, 5, 10), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    const float length = std::sqrt(134.0f);
    // Forward axis in the third column: (at - eye) / |at - eye|.
    EXPECT_NEAR(view._13, -3 / length, kTolerance);
    EXPECT_NEAR(view._23, -5 / length, kTolerance);
    EXPECT_NEAR(view._33, -10 / length, kTolerance);
    // Right axis = normalise(up x forward) has no y; up axis has positive y.
    EXPECT_NEAR(view._21, 0, kTolerance);
    EXPECT_GT(view._22, 0);
    // The eye goes to the origin and the target straight ahead.
    ExpectVectorNear(Apply(eye, view), 0, 0, 0, 1e-4f);
    ExpectVectorNear(Apply(at, view), 0, 0, length, 1e-4f);
    // The eye can be read back: E = (-r1.t, -r2.t, -r3.t).
    const D3DXVECTOR3 t(view._41, view._42, view._43);
    const D3DXVECTOR3 r1(view._11, view._12, view._13), r2(view._21, view._22, view._23),
        r3(view._31, view._32, view._33);
    ExpectVectorNear(
        D3DXVECTOR3(-D3DXVec3Dot(&r1, &t), -D3DXVec3Dot(&r2, &t), -D3DXVec3Dot(&r3, &t)), 3, 5, 10,
        1e-4f);
}

TEST(MathLookAt, DefaultCameraIsATranslation) {
    const D3DXVECTOR3 eye(0, 0, -1), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectMatrixNear(view, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1), kTolerance);
}

TEST(MathPerspective, NearAndFarPlanesMapToZeroAndOne) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 4, 640.0f / 480.0f, 0.1f, 500.0f);
    EXPECT_NEAR(p._22, 2.4142135f, kTolerance); // cot(pi/8)
    EXPECT_NEAR(p._11, 2.4142135f * 0.75f, kTolerance);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_EQ(p._44, 0.0f);
    D3DXVECTOR4 clip;
    const D3DXVECTOR3 nearPoint(0, 0, 0.1f), farPoint(0, 0, 500.0f);
    D3DXVec3Transform(&clip, &nearPoint, &p);
    EXPECT_NEAR(clip.z / clip.w, 0.0f, 1e-5f);
    D3DXVec3Transform(&clip, &farPoint, &p);
    EXPECT_NEAR(clip.z / clip.w, 1.0f, 1e-5f);
    // A point on the top edge of the view at depth 1 reaches y = 1 after the division.
    const D3DXVECTOR3 top(0, std::tan(D3DX_PI / 8), 1);
    EXPECT_NEAR(Apply(top, p).y, 1.0f, 1e-5f);
}

TEST(MathVector, TransformKeepsWTransformCoordDividesTransformNormalIgnoresTranslation) {
    D3DXMATRIX m(1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1);
    const D3DXVECTOR3 v(1, 2, 3);
    D3DXVECTOR4 four;
    D3DXVec3Transform(&four, &v, &m);
    EXPECT_FLOAT_EQ(four.x, 11);
    EXPECT_FLOAT_EQ(four.y, 22);
    EXPECT_FLOAT_EQ(four.z, 33);
    EXPECT_FLOAT_EQ(four.w, 3); // 1 * 2 + 1, not divided
    ExpectVectorNear(Apply(v, m), 11.0f / 3, 22.0f / 3, 11.0f, kTolerance);
    D3DXVECTOR3 normal;
    D3DXVec3TransformNormal(&normal, &v, &m);
    ExpectVectorNear(normal, 1, 2, 3, 0);
}

TEST(MathVector, NormalizeCrossDotLength) {
    D3DXVECTOR3 v(3, 4, 0), out;
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 5);
    D3DXVec3Normalize(&out, &v);
    ExpectVectorNear(out, 0.6f, 0.8f, 0, 1e-6f);
    D3DXVec3Normalize(&v, &v); // in place
    ExpectVectorNear(v, 0.6f, 0.8f, 0, 1e-6f);
    const D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&out, &zero);
    ExpectVectorNear(out, 0, 0, 0, 0); // no NaNs from a zero vector
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&out, &x, &y);
    ExpectVectorNear(out, 0, 0, 1, 0);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&x, &y), 0);
}

TEST(MathInverse, ComposedMatrixTimesInverseIsIdentity) {
    D3DXMATRIX scale, turn, move, m, inverse, product, identity;
    D3DXMatrixScaling(&scale, 2, 3, 4);
    const D3DXVECTOR3 axis(1, 2, 3);
    D3DXMatrixRotationAxis(&turn, &axis, 0.9f);
    D3DXMatrixTranslation(&move, -5, 6, 7);
    m = scale * turn * move;
    float determinant = 0;
    ASSERT_NE(D3DXMatrixInverse(&inverse, &determinant, &m), nullptr);
    EXPECT_NEAR(determinant, 24.0f, 1e-3f); // a rotation keeps the scaling's volume
    D3DXMatrixMultiply(&product, &m, &inverse);
    ExpectMatrixNear(product, *D3DXMatrixIdentity(&identity), 1e-5f);
}

TEST(MathInverse, SingularMatrixGivesNullAndLeavesOutput) {
    D3DXMATRIX flat, out(Counting());
    D3DXMatrixScaling(&flat, 1, 0, 1);
    float determinant = -1;
    EXPECT_EQ(D3DXMatrixInverse(&out, &determinant, &flat), nullptr);
    EXPECT_EQ(determinant, 0.0f);
    ExpectMatrixNear(out, Counting(), 0);
}

} // namespace
