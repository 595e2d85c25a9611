#pragma once

#include "callwindow/drum/DrumRenderer.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <memory>
#include <unordered_map>

class QOpenGLShaderProgram;
class QOpenGLBuffer;

namespace zelk {

// The "Hardware" device: the faces are textured triangle strips drawn by OpenGL with the
// drum's own matrices; the overlay is painted over them with the shared overlay code.
// Create it only where an OpenGL context comes up (see ChooseDrumDevice).
class OpenGLDrumRenderer final : public QOpenGLWidget, public DrumRenderer, protected QOpenGLFunctions
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OpenGLDrumRenderer)
public:
    explicit OpenGLDrumRenderer(QWidget *parent = nullptr);
    ~OpenGLDrumRenderer() override;

    QWidget *widget() override { return this; }
    DrumDevice device() const override { return DrumDevice::Hardware; }
    void initializeSurface(QSize surface) override;
    QSize surfaceSize() const override { return m_scene.surfaceSize(); }
    bool surfaceInitialized() const override { return m_initialized; }
    void renderFrame(const DrumFrame &frame) override;
    QImage grabFrame() override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    unsigned textureFor(const QImage &picture);
    void releaseGL();

    DrumScene m_scene;
    DrumFrame m_frame;
    bool m_hasFrame = false;
    bool m_initialized = false;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::unique_ptr<QOpenGLBuffer> m_vertexBuffer;
    std::unordered_map<qint64, unsigned> m_textures; // QImage::cacheKey -> texture name
};

} // namespace zelk
