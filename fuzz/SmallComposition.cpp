#include "fuzz/SmallComposition.h"

#include <sstream>

#include "Bitmaps.h"
#include "host/Drawbot.h"
#include "host/FrameRender.h"
#include "host/HostServices.h"
#include "host/MemorySuite.h"
#include "host/Worlds.h"

namespace mf::fuzz {

std::unique_ptr<host::Composition> SmallComposition(int width, int height, int pass_size,
                                                    const std::vector<SmallLight>& lights) {
  auto comp = std::make_unique<host::Composition>(host::CompositionSettings{width, height, 24, 48});
  host::CompLayer camera;
  camera.name = "Camera 1";
  camera.kind = host::LayerKind::kCamera;
  camera.camera_type = AEGP_CameraType_PERSPECTIVE;
  camera.streams[AEGP_LayerStream_POSITION] = host::Animated::Constant({0, 0, -100, 0});
  camera.streams[AEGP_LayerStream_ZOOM] = host::Animated::Constant({100, 0, 0, 0});
  comp->addLayer(camera);
  host::CompLayer solid;
  solid.name = "Cloud";
  solid.width = width;
  solid.height = height;
  comp->addLayer(solid);
  for (const char* name : {"beauty", "P", "N", "texture"}) {
    host::CompLayer footage;
    footage.name = name;
    footage.kind = host::LayerKind::kFootage;
    footage.width = footage.height = pass_size;
    comp->addLayer(footage);
  }
  for (const SmallLight& light : lights) {
    host::CompLayer l;
    l.name = light.name;
    l.kind = host::LayerKind::kLight;
    l.light_type = light.type;
    l.streams[AEGP_LayerStream_POSITION] = host::Animated::Constant({20, -10, -50, 0});
    l.streams[AEGP_LayerStream_INTENSITY] = host::Animated::Constant({80, 0, 0, 0});
    l.streams[AEGP_LayerStream_COLOR] = host::Animated::Constant({1, 1, 1, 1});
    comp->addLayer(l);
  }
  return comp;
}

Holdings Held(host::Host& host) {
  const host::CompositionRefCounts refs = host::OutstandingCompositionRefs();
  const platform::GdiObjectCounts gdi = platform::LiveGdiObjects();
  return {host.handles().live(),
          host::LiveWorldCount(),
          host.suites().outstanding(),
          host::OutstandingMemHandles(),
          refs.streams,
          refs.effects,
          host.frames().checkouts().size(),
          host::LiveDrawbotImages(),
          gdi.bitmaps,
          gdi.device_contexts};
}

std::string Describe(const Holdings& h) {
  std::ostringstream os;
  os << h.handles << " handles, " << h.worlds << " worlds, " << h.suites << " suites, "
     << h.mem_handles << " memory handles, " << h.streams << " streams, " << h.effects
     << " effects, " << h.checkouts << " checkouts, " << h.drawing_images << " drawing images, "
     << h.bitmaps << " bitmaps, " << h.device_contexts << " device contexts";
  return os.str();
}

}  // namespace mf::fuzz
