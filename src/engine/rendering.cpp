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

// Whether OpenGL, as the toolkit would use it, draws on the GPU. The
// toolkit's shared context (made with the application) answers; without
// any OpenGL there is no GPU to use either.
bool OpenGLOnGpu() {
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    QOpenGLContext own;
    if (!context) {
        if (!own.create())
            return false;
        context = &own;
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return false;
    const auto* name = context->functions()->glGetString(GL_RENDERER);
    const QByteArray renderer(name ? reinterpret_cast<const char*>(name) : "");
    context->doneCurrent();
    return !renderer.isEmpty() && !IsSoftwareRenderer(renderer);
}

}  // namespace

bool ChooseRendering() {
    const QByteArray named = qgetenv("QT_QUICK_BACKEND");
    if (!named.isEmpty())
        return named != "software";
    if (OpenGLOnGpu())
        return true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return false;
}

}  // namespace engine
