#include "callwindow/drum/DrumGeometry.h"

#include <QImage>

#include <cmath>

namespace zelk {

DrumMatrix DrumMatrix::identity()
{
    DrumMatrix r;
    for (int i = 0; i < 4; ++i)
        r.m[i][i] = 1.0f;
    return r;
}

DrumMatrix DrumMatrix::operator*(const DrumMatrix &rhs) const
{
    DrumMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k)
                s += m[i][k] * rhs.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

std::array<float, 4> DrumMatrix::transform(float x, float y, float z) const
{
    std::array<float, 4> r{};
    for (int j = 0; j < 4; ++j)
        r[j] = x * m[0][j] + y * m[1][j] + z * m[2][j] + m[3][j];
    return r;
}

DrumVertices BuildDrumVertices()
{
    constexpr float a = kDrumApothem;
    struct Corner
    {
        float x, y, z, tu, tv;
    };
    // Four strip vertices per face; every strip runs clockwise as seen from outside.
    static constexpr Corner table[kDrumVertexCount] = {
        {-1, 1, -a, 0, 0}, {1, 1, -a, 1, 0}, {-1, -1, -a, 0, 1}, {1, -1, -a, 1, 1},  // 1
        {-1, 1, -a, 1, 0}, {-1, -1, -a, 1, 1}, {-a, 1, -1, 0, 0}, {-a, -1, -1, 0, 1}, // 2
        {-a, 1, -1, 1, 0}, {-a, -1, -1, 1, 1}, {-a, 1, 1, 0, 0}, {-a, -1, 1, 0, 1},   // 3
        {-a, 1, 1, 1, 0}, {-a, -1, 1, 1, 1}, {-1, 1, a, 0, 0}, {-1, -1, a, 0, 1},     // 4
        {-1, 1, a, 1, 0}, {-1, -1, a, 1, 1}, {1, 1, a, 0, 0}, {1, -1, a, 0, 1},       // 5
        {1, 1, a, 1, 0}, {1, -1, a, 1, 1}, {a, 1, 1, 0, 0}, {a, -1, 1, 0, 1},         // 6
        {a, 1, -1, 0, 0}, {a, 1, 1, 1, 0}, {a, -1, -1, 0, 1}, {a, -1, 1, 1, 1},       // 7
        {a, 1, -1, 1, 0}, {a, -1, -1, 1, 1}, {1, 1, -a, 0, 0}, {1, -1, -a, 0, 1},     // 8
    };
    DrumVertices v{};
    for (int f = 0; f < kDrumFaces; ++f) {
        // The picture does not depend on the normal (ambient light only); store the outward
        // direction of the face anyway so the buffer stays meaningful.
        float cx = 0.0f, cz = 0.0f;
        for (int k = 0; k < 4; ++k) {
            cx += table[4 * f + k].x;
            cz += table[4 * f + k].z;
        }
        const float len = std::sqrt(cx * cx + cz * cz);
        for (int k = 0; k < 4; ++k) {
            const Corner &c = table[4 * f + k];
            v[4 * f + k] = DrumVertex{c.x, c.y, c.z, cx / len, 0.0f, cz / len, c.tu, c.tv};
        }
    }
    return v;
}

DrumMatrix DrumProjectionMatrix()
{
    DrumMatrix p;
    p.m[0][0] = 2.0f;
    p.m[1][1] = 2.0f;
    p.m[2][2] = 1.0f;
    p.m[2][3] = 1.0f;
    p.m[3][2] = -1.0f;
    return p;
}

DrumMatrix DrumViewMatrix()
{
    DrumMatrix v = DrumMatrix::identity();
    v.m[3][2] = kDrumViewDistance;
    return v;
}

DrumMatrix DrumWorldMatrix(double angle)
{
    const auto c = static_cast<float>(std::cos(angle));
    const auto s = static_cast<float>(std::sin(angle));
    DrumMatrix w;
    w.m[0][0] = c;
    w.m[0][2] = s;
    w.m[1][1] = 1.0f;
    w.m[2][0] = -s;
    w.m[2][2] = c;
    w.m[3][3] = 1.0f;
    return w;
}

DrumScene::DrumScene()
{
    DXDrawInitializeSurface(m_surface);
    SetDrumAngle(0.0);
}

void DrumScene::DXDrawInitializeSurface(QSize surface)
{
    m_surface = surface;
    m_projection = DrumProjectionMatrix();
    m_vertices = BuildDrumVertices();
}

void DrumScene::SetDrumAngle(double angle)
{
    m_angle = angle;
    m_view = DrumViewMatrix();
    m_world = DrumWorldMatrix(angle);
}

DrumMatrix DrumScene::worldViewProjection() const
{
    return m_world * m_view * m_projection;
}

QPointF DrumScene::project(float x, float y, float z, double *depth) const
{
    const auto eye = (m_world * m_view).transform(x, y, z);
    const auto clip = m_projection.transform(eye[0], eye[1], eye[2]);
    if (depth)
        *depth = eye[2];
    const double w = clip[3];
    const double ndcX = clip[0] / w;
    const double ndcY = clip[1] / w;
    return {(ndcX + 1.0) * 0.5 * m_surface.width(), (1.0 - ndcY) * 0.5 * m_surface.height()};
}

DrumFaceQuad DrumScene::faceQuad(int face) const
{
    DrumFaceQuad q;
    q.face = face;
    if (face < 1 || face > kDrumFaces)
        return q;
    std::array<double, 4> depth{};
    for (int k = 0; k < 4; ++k) {
        const DrumVertex &v = m_vertices[4 * (face - 1) + k];
        q.strip[k] = project(v.x, v.y, v.z, &depth[k]);
        const bool right = v.tu > 0.5f;
        const bool bottom = v.tv > 0.5f;
        QPointF &corner = bottom ? (right ? q.bottomRight : q.bottomLeft)
                                 : (right ? q.topRight : q.topLeft);
        corner = q.strip[k];
        (right ? q.rightDepth : q.leftDepth) = depth[k];
    }
    // Counter-clockwise triangles are culled. On a surface whose y grows downwards a positive
    // cross product of the strip's first triangle means clockwise, the outside of the face.
    const QPointF e1 = q.strip[1] - q.strip[0];
    const QPointF e2 = q.strip[2] - q.strip[0];
    q.visible = e1.x() * e2.y() - e1.y() * e2.x() > 0.0;
    return q;
}

std::array<DrumFaceQuad, kDrumFaces> DrumScene::faceQuads() const
{
    std::array<DrumFaceQuad, kDrumFaces> r;
    for (int f = 1; f <= kDrumFaces; ++f)
        r[f - 1] = faceQuad(f);
    return r;
}

const QImage *FaceTexture(const TZELKCallList &list, const FaceMap &ytkoppling, int face)
{
    if (face < 1 || face > kDrumFaces)
        return nullptr;
    const int index = ytkoppling[face];
    if (index < 0 || index >= list.size())
        return nullptr;
    const TZELKCallListItem &item = list.at(index);
    const QImage &picture = item.IsCalled ? item.CallTexture : item.Texture;
    return picture.isNull() ? nullptr : &picture;
}

} // namespace zelk
