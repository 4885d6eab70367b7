// The game program: fills the shell's service table with the subsystems that are
// built, and runs the shell on an SDL window.
#include "core/shell/shell.h"
#include "platform/gfx/framework.h"

#if defined(VELORIN_HAVE_SONG_SERVICES)
#include "song/shell_services.h"
#endif
#if defined(VELORIN_HAVE_DEVICES_SERVICES)
#include "devices/shell_services.h"
#endif
#if defined(VELORIN_HAVE_GAME_SERVICES)
#include "game/shell_services.h"
#endif
#if defined(VELORIN_HAVE_GRAPHICS_SERVICES)
#include "graphics/shell_services.h"
#endif
#if defined(VELORIN_HAVE_THEME_SERVICES)
#include "theme/shell_services.h"
#endif
#if defined(VELORIN_HAVE_MENUS_SERVICES)
#include "menus/shell_services.h"
#endif
#if defined(VELORIN_HAVE_NET_SERVICES)
#include "net/shell_services.h"
#endif

namespace {

shell::Services CollectServices() {
  shell::Services services;
#if defined(VELORIN_HAVE_SONG_SERVICES)
  song::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_DEVICES_SERVICES)
  devices::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_GAME_SERVICES)
  game::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_GRAPHICS_SERVICES)
  graphics::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_THEME_SERVICES)
  theme::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_MENUS_SERVICES)
  menus::RegisterShellServices(services);
#endif
#if defined(VELORIN_HAVE_NET_SERVICES)
  net::RegisterShellServices(services);
#endif
  return services;
}

}  // namespace

int main(int argc, char** argv) {
  // A SIGINT or SIGTERM closes the window as its close button does.
  platform::gfx::Framework::InstallCloseSignalHandlers();
  std::unique_ptr<platform::gfx::Framework> framework = platform::gfx::CreateSdlFramework();
  const int code = shell::RunGame(argc, argv, *framework, CollectServices());
  framework.reset();
  return code;
}
