#include "PlatformUser.h"
#include "ScriptedUser.h"

namespace mf::platform {
namespace {

class DefaultUser final : public User {
 public:
  int messageBox(HWND, const std::string&, const std::string&, unsigned style) override {
    return DefaultMessageBoxAnswer(style);
  }
};

DefaultUser g_default_user;
User* g_user = nullptr;

}  // namespace

// clang-format off
MF_PLATFORM_API void SetUser(User* user) { g_user = user; }
MF_PLATFORM_API User* CurrentUser() { return g_user ? g_user : &g_default_user; }
MF_PLATFORM_API User* InstalledUser() { return g_user; }
// clang-format on

}  // namespace mf::platform

MF_PLATFORM_API int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  return mf::platform::CurrentUser()->messageBox(hWnd, lpText ? lpText : "",
                                                 lpCaption ? lpCaption : "", uType);
}
