// The module entry: loading the library forgets any gamma table, and does nothing else.
#include <ormi/win32.h>

#include "correction/gamma_table.h"
#include "exports/module_entry.h"

namespace ormi {

void AttachProcess() { SetGammaTableLoaded(0); }

}  // namespace ormi

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ormi::AttachProcess();
  return TRUE;
}
#else
// Outside Windows the loader has no DllMain; a load-time constructor runs the same attach.
__attribute__((constructor)) static void OrmiModuleLoad() { ormi::AttachProcess(); }
#endif
