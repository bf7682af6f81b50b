#include "raster/DepthSort.h"

namespace mf {

void SortByDepthDescending(CloudPoint* records, A_long lo, A_long hi) {
  if (!records || lo < 0 || hi <= lo) return;
  SortDescendingByDepth(records + lo,
                        static_cast<std::size_t>(hi) - static_cast<std::size_t>(lo) + 1,
                        [](const CloudPoint& p) { return p.depth; });
}

}  // namespace mf
