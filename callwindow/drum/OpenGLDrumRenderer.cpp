#include "callwindow/drum/OpenGLDrumRenderer.h"

#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>

#include <unordered_set>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

const char *const kVertexShader = R"(
attribute highp vec3 position;
attribute mediump vec2 texCoord;
uniform highp mat4 worldViewProjection;
varying mediump vec2 uv;
void main()
{
    gl_Position = worldViewProjection * vec4(position, 1.0);
    uv = texCoord;
}
)";

const char *const kFragmentShader = R"(
varying mediump vec2 uv;
uniform sampler2D faceTexture;
void main()
{
    gl_FragColor = texture2D(faceTexture, uv);
}
)";

// Textures kept for faces that turned out of sight, so they are not uploaded again at once.
constexpr size_t kTextureCacheLimit = 48;

} // namespace

OpenGLDrumRenderer::OpenGLDrumRenderer(QWidget *parent)
    : QOpenGLWidget(parent)
{
}

OpenGLDrumRenderer::~OpenGLDrumRenderer()
{
    if (context()) {
        // The base class destroys the context after this object's members are gone.
        disconnect(context(), nullptr, this, nullptr);
        makeCurrent();
        releaseGL();
        doneCurrent();
    }
}

void OpenGLDrumRenderer::initializeSurface(QSize surface)
{
    m_scene.DXDrawInitializeSurface(surface);
    m_initialized = true;
    update();
}

void OpenGLDrumRenderer::renderFrame(const DrumFrame &frame)
{
    m_frame = frame;
    m_frame.overlay.hardware = true;
    m_hasFrame = true;
    update();
}

QImage OpenGLDrumRenderer::grabFrame()
{
    QImage image = grabFramebuffer();
    if (!image.isNull() && image.size() != m_scene.surfaceSize())
        image = image.scaled(m_scene.surfaceSize(), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_RGB32);
}

void OpenGLDrumRenderer::initializeGL()
{
    initializeOpenGLFunctions();
    // A new context (the widget moved to another window) has none of the old objects.
    m_textures.clear();
    m_program = std::make_unique<QOpenGLShaderProgram>();
    m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
    m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
    m_program->bindAttributeLocation("position", 0);
    m_program->bindAttributeLocation("texCoord", 1);
    if (!m_program->link()) {
        qWarning("Drum: OpenGL shaders do not link: %s", qPrintable(m_program->log()));
        m_program.reset();
        return;
    }
    m_vertexBuffer = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
    m_vertexBuffer->create();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        releaseGL();
        doneCurrent();
    });
}

void OpenGLDrumRenderer::releaseGL()
{
    for (const auto &entry : m_textures)
        glDeleteTextures(1, &entry.second);
    m_textures.clear();
    m_vertexBuffer.reset();
    m_program.reset();
}

unsigned OpenGLDrumRenderer::textureFor(const QImage &picture)
{
    const auto found = m_textures.find(picture.cacheKey());
    if (found != m_textures.end())
        return found->second;
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Row 0 of the picture is its top, and tv 0 is the top of a face: no flip.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.width(), rgba.height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.constBits());
    m_textures.emplace(picture.cacheKey(), name);
    return name;
}

void OpenGLDrumRenderer::paintGL()
{
    const qreal dpr = devicePixelRatioF();
    glViewport(0, 0, int(width() * dpr), int(height() * dpr));
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!m_initialized || !m_hasFrame || !m_program)
        return;

    m_scene.SetDrumAngle(m_frame.angle);
    m_program->bind();
    const DrumMatrix wvp = m_scene.worldViewProjection();
    // The drum's matrices act on row vectors; stored row by row they read as the column-major
    // transpose that OpenGL applies to column vectors, which is the same mapping.
    m_program->setUniformValue("faceTexture", 0);
    glUniformMatrix4fv(m_program->uniformLocation("worldViewProjection"), 1, GL_FALSE,
                       &wvp.m[0][0]);

    const DrumVertices &vertices = m_scene.vertices();
    m_vertexBuffer->bind();
    m_vertexBuffer->allocate(vertices.data(), int(sizeof(vertices)));
    m_program->enableAttributeArray(0);
    m_program->enableAttributeArray(1);
    m_program->setAttributeBuffer(0, GL_FLOAT, offsetof(DrumVertex, x), 3, sizeof(DrumVertex));
    m_program->setAttributeBuffer(1, GL_FLOAT, offsetof(DrumVertex, tu), 2, sizeof(DrumVertex));

    // The outside of a face runs clockwise on screen, whichever way the y axis points.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glActiveTexture(GL_TEXTURE0);

    std::unordered_set<qint64> used;
    for (const DrumFaceQuad &q : m_scene.faceQuads()) {
        const QImage &picture = m_frame.faces[size_t(q.face - 1)];
        if (!q.visible || picture.isNull())
            continue;
        glBindTexture(GL_TEXTURE_2D, textureFor(picture));
        used.insert(picture.cacheKey());
        glDrawArrays(GL_TRIANGLE_STRIP, 4 * (q.face - 1), 4);
    }
    glDisable(GL_CULL_FACE);
    m_program->disableAttributeArray(0);
    m_program->disableAttributeArray(1);
    m_vertexBuffer->release();
    m_program->release();
    glBindTexture(GL_TEXTURE_2D, 0);

    // Pictures of a rebuilt call list replace the old ones; drop what no face shows any more.
    if (m_textures.size() > kTextureCacheLimit) {
        for (auto it = m_textures.begin(); it != m_textures.end();) {
            if (used.count(it->first)) {
                ++it;
            } else {
                glDeleteTextures(1, &it->second);
                it = m_textures.erase(it);
            }
        }
    }

    QPainter painter(this);
    const QSize surface = m_scene.surfaceSize();
    painter.scale(qreal(width()) / surface.width(), qreal(height()) / surface.height());
    DrawDrumOverlay(painter, surface, m_frame.overlay);
}

} // namespace zelk
