// Camera layers that take their pose and zoom from a render: "from_exr" reads the camera from
// the header of each file of an image sequence, "from_chan" from a .chan text file. A sequence
// starts at the layer's start as footage does: its lowest-numbered file (or the file numbered
// "first_frame") is the layer's first frame, and so is the first key of a .chan file.
#pragma once

#include <vector>

#include "host/CameraImport.h"
#include "host/Scene.h"

namespace mf::host {

struct RenderedCameraKey {
  double seconds = 0;  // composition time
  HostCamera camera;
};

// The layer's keys, one per file or .chan line, with orientations unwrapped from key to key;
// empty when the layer takes nothing from a render. Throws SceneError naming the scene file, the
// key and the file at fault.
std::vector<RenderedCameraKey> LoadRenderedCamera(const Scene& scene, size_t layer);

// A scene whose camera comes from EXR headers takes the composition's size from the first
// file's display window unless it gives one, which must then agree. Throws SceneError.
void AdoptRenderedCameraSize(Scene& scene);

}  // namespace mf::host
