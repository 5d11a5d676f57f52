#include "engine/rendering.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace engine {
namespace {

// The renderer names of Mesa's software rasterizers.
bool IsSoftwareRenderer(const QByteArray& renderer) {
    return renderer.contains("llvmpipe") || renderer.contains("softpipe") ||
           renderer.contains("Software Rasterizer") || renderer.contains("SWR");
}

// The name of the renderer behind OpenGL as the toolkit uses it, or ""
// where there is no OpenGL. The toolkit's shared context (made with the
// application) answers, so that no context is made for the question.
QByteArray OpenGLRenderer() {
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    QOpenGLContext own;
    if (!context) {
        if (!own.create())
            return QByteArray();
        context = &own;
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return QByteArray();
    const auto* name = context->functions()->glGetString(GL_RENDERER);
    QByteArray renderer(name ? reinterpret_cast<const char*>(name) : "");
    context->doneCurrent();
    return renderer;
}

}  // namespace

bool ChooseRendering() {
    const QByteArray renderer = OpenGLRenderer();
    // A backend the user names is kept; windows are composed for it only
    // where there is OpenGL to compose with.
    const QByteArray named = qgetenv("QT_QUICK_BACKEND");
    if (!named.isEmpty())
        return named != "software" && !renderer.isEmpty();
    if (!renderer.isEmpty() && !IsSoftwareRenderer(renderer))
        return true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return false;
}

}  // namespace engine
