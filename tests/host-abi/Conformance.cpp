// Holds every host-API declaration to the host's binary layout. The asserts are generated from the
// layout facts in this folder at build time, so a declaration that drifts stops the build (native
// and Windows) with the member's name and a note "(declared == host)".
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "AE_EffectUI.h"
#include "AE_GeneralPlug.h"
#include "AE_WorldSuites.h"
#include "DrawbotSuites.h"
#include "SPBasic.h"

namespace mf_abi {

template <class T>
T& ref();

template <class F>
struct Callback;
template <class R, class... A>
struct Callback<R (*)(A...)> {
  static constexpr std::size_t arity = sizeof...(A);
  static constexpr bool variadic = false;
  static constexpr std::size_t result_size =
      std::is_void_v<R> ? 0 : sizeof(std::conditional_t<std::is_void_v<R>, char, R>);
  template <std::size_t I>
  using arg = std::tuple_element_t<I, std::tuple<A...>>;
};
template <class R, class... A>
struct Callback<R (*)(A..., ...)> : Callback<R (*)(A...)> {
  static constexpr bool variadic = true;
};

constexpr bool same_text(const char* a, const char* b) {
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

}  // namespace mf_abi

#include "HostAbiConformance.h"
