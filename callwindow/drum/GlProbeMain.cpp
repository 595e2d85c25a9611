// zelk-glprobe: tells the client which OpenGL renderer this display offers, from a process of
// its own, so that the client loads no GL driver just to find out that it is a software one.
// Prints GL_RENDERER; exit code 0 when a usable context came up.
#include "callwindow/drum/DrumRenderer.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    return zelk::RunOpenGLProbeHelper();
}
