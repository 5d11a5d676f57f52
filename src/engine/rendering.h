// How the engine's views reach the screen.
#pragma once

namespace engine {

// Picks the drawing path for the engine's views before the first window
// exists: through the GPU where there is one, through plain raster where
// OpenGL is only a software rasterizer (there, composing every frame with
// it costs more CPU and memory than drawing in software, and each new
// window waits ~0.1 s for its first frame). A scene-graph backend named in
// QT_QUICK_BACKEND wins over the choice. Returns whether the views draw
// through the GPU.
bool ChooseRendering();

}  // namespace engine
