#include "cli/CompleteFrame.h"

#include <OpenImageIO/imageio.h>

#include <system_error>
#include <vector>

namespace mf::cli {

bool IsCompleteImage(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  auto in = OIIO::ImageInput::open(file.string());
  if (!in) {
    (void)OIIO::geterror();  // leave no stale message for the next reader
    return false;
  }
  const OIIO::ImageSpec& spec = in->spec();
  if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0) return false;
  std::vector<float> pixels(static_cast<size_t>(spec.width) * spec.height * spec.nchannels);
  const bool ok = in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeDesc::FLOAT, pixels.data());
  if (!ok) (void)in->geterror();
  in->close();
  return ok;
}

}  // namespace mf::cli
