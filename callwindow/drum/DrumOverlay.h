#pragma once

#include <QSize>
#include <QString>

class QPainter;

namespace zelk {

// What the status line under the drum shows; the same for every device.
struct DrumOverlayState
{
    bool ZELKShowDirectXInfo = false; // frame rate and device line
    int frameRate = 0;                // frames per second measured by the frame timer
    bool hardware = false;            // "Device: Hardware" rather than "Device: Software"
    bool connected = false;           // ClientSocket1 is active: green dot, else red
    QString Label1Caption;
};

// Draws the overlay over a finished drum picture of the given surface size.
void DrawDrumOverlay(QPainter &painter, QSize surface, const DrumOverlayState &state);

} // namespace zelk
