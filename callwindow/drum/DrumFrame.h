#pragma once

#include "callwindow/drum/DrumGeometry.h"
#include "callwindow/drum/DrumOverlay.h"

#include <QImage>

#include <array>

namespace zelk {

// Everything one frame of the drum needs, resolved from the call list when the frame is
// requested: the picture of each face (null where the face is skipped), the angle and the
// overlay. The pictures are shared copies, so a frame stays valid while the list is rebuilt.
struct DrumFrame
{
    std::array<QImage, kDrumFaces> faces; // face f at index f - 1
    double angle = 0.0;
    DrumOverlayState overlay;
};

DrumFrame MakeDrumFrame(const TZELKCallList &list, const FaceMap &ytkoppling, double angle,
                        const DrumOverlayState &overlay);

// Draws the faces of the drum onto target, which must be QImage::Format_RGB32 or
// Format_ARGB32(_Premultiplied) and have the scene's surface size. The drum turns about its
// vertical axis, so every vertical line of a face keeps one depth: each screen column shows
// one texture column scaled linearly, which is far cheaper than a general perspective
// mapping. Textures are filtered bilinearly and sampled perspective-correct across columns.
void DrawDrumFaces(QImage &target, const DrumScene &scene, const DrumFrame &frame);

// A whole frame on the back buffer: clear to black, the faces at the frame's angle, overlay.
void RenderDrumFrame(QImage &backBuffer, DrumScene &scene, const DrumFrame &frame);

} // namespace zelk
