#include <new>

#include "entry/CommandDispatcher.h"
#include "support/HostError.h"
#include "support/Globals.h"

#if defined(_WIN32)

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module_handle = instance;
  return TRUE;
}

#else

#include "PlatformUser.h"

extern "C" const uint8_t __start_motefield_rsrc[];
extern "C" const uint8_t __stop_motefield_rsrc[];

namespace {

mf::platform::ModuleImage g_module_image;

// What the Windows loader does when it attaches the DLL: the module handle is recorded, here the
// resources embedded in this library.
__attribute__((constructor)) void AttachLibrary() {
  g_module_image.data = __start_motefield_rsrc;
  g_module_image.size = static_cast<size_t>(__stop_motefield_rsrc - __start_motefield_rsrc);
  g_module_handle = reinterpret_cast<HINSTANCE>(&g_module_image);
}

}  // namespace

#endif

// No C++ exception may cross into the host. A host error thrown from deep in a handler (a suite
// the host could not supply) is not passed on as it is: the host learns only that something was
// damaged. Everything the handler held has been released by its owners on the way here.
MF_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  try {
    return CommandDispatcher(cmd, in_data, out_data, params, output, extra);
  } catch (const mf::HostError& thrown) {
    return thrown.code() ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_NONE;
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
