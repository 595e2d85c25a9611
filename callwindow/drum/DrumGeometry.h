#pragma once

#include "session/CallList.h"

#include <QPointF>
#include <QSize>

#include <array>

class QImage;

namespace zelk {

// One corner of a drum face: position, normal and texture coordinate, in the order the
// vertex buffer of the hardware device expects them.
struct DrumVertex
{
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};

inline constexpr int kDrumVertexCount = 4 * kDrumFaces;
using DrumVertices = std::array<DrumVertex, kDrumVertexCount>;

// Half the width across flats of the octagon with side 2 (1 + sqrt 2, as a float literal).
inline constexpr float kDrumApothem = 2.4142f;
// Distance from the viewer to the drum's axis.
inline constexpr float kDrumViewDistance = 5.8842f;

// A 4x4 matrix applied to row vectors (p' = p x M); m[row][col], rows and columns 0..3.
struct DrumMatrix
{
    std::array<std::array<float, 4>, 4> m{};

    static DrumMatrix identity();
    DrumMatrix operator*(const DrumMatrix &rhs) const;
    // p x M for p = (x, y, z, 1); returns the four homogeneous coordinates.
    std::array<float, 4> transform(float x, float y, float z) const;
};

// Fills the 32 vertices of the eight faces; face f uses vertices 4(f-1)..4(f-1)+3 as one
// triangle strip.
DrumVertices BuildDrumVertices();

DrumMatrix DrumProjectionMatrix();
DrumMatrix DrumViewMatrix();
DrumMatrix DrumWorldMatrix(double angle);

// One face as it lands on the surface. The corners are named by the texture corner they
// carry (top left = tu 0, tv 0), so a face shown from outside has topLeft left of topRight.
struct DrumFaceQuad
{
    int face = 0;
    std::array<QPointF, 4> strip{}; // screen positions of the four strip vertices
    QPointF topLeft, topRight, bottomRight, bottomLeft;
    double leftDepth = 0.0;  // view-space z of the edge with tu 0
    double rightDepth = 0.0; // view-space z of the edge with tu 1
    bool visible = false;    // outside turned to the viewer (clockwise on screen)
};

// The drum seen from the camera at one angle on a surface of a given size: the transforms of
// the surface initialisation and of SetDrumAngle, and the screen quad of every face.
// Screen coordinates are pixels with (0, 0) the top left corner of the surface; pixel (i, j)
// covers [i, i+1) x [j, j+1).
class DrumScene
{
public:
    DrumScene();

    // The surface initialisation: viewport, projection and vertices.
    void DXDrawInitializeSurface(QSize surface);
    // View and world transforms for the given drum angle in radians.
    void SetDrumAngle(double angle);

    QSize surfaceSize() const { return m_surface; }
    double angle() const { return m_angle; }
    const DrumVertices &vertices() const { return m_vertices; }
    const DrumMatrix &projection() const { return m_projection; }
    const DrumMatrix &view() const { return m_view; }
    const DrumMatrix &world() const { return m_world; }
    // world x view x projection, what a row vector passes through on its way to clip space.
    DrumMatrix worldViewProjection() const;

    // Screen position of a model-space point, and its view-space depth.
    QPointF project(float x, float y, float z, double *depth = nullptr) const;
    // face 1..8
    DrumFaceQuad faceQuad(int face) const;
    std::array<DrumFaceQuad, kDrumFaces> faceQuads() const;

private:
    QSize m_surface{750, 420};
    double m_angle = 0.0;
    DrumVertices m_vertices{};
    DrumMatrix m_projection, m_view, m_world;
};

// The picture face f shows: the entry of the call list that ytkoppling names for that face,
// its called picture while it is called. Null when the face names no entry of the list (a map
// left over from a longer list) or the entry has no picture yet; such a face is skipped.
const QImage *FaceTexture(const TZELKCallList &list, const FaceMap &ytkoppling, int face);

} // namespace zelk
