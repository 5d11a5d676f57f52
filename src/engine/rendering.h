// How the engine's views reach the screen.
#pragma once

namespace engine {

// Picks the drawing path for the engine's views before the first window
// exists: through the GPU where there is one, in software where OpenGL is
// only a software rasterizer or missing. Composing windows with a software
// rasterizer holds tens of megabytes more and makes each new window wait
// about 0.1 s for its first frame while its shaders compile. A scene-graph
// backend named in QT_QUICK_BACKEND wins over the choice. Returns whether
// the views draw through the GPU.
bool ChooseRendering();

}  // namespace engine
