// A command that reaches into the window's layer and includes <windows.h>
// outside a *_win32 file.
#include "ui/settings_store.h"
#ifdef _WIN32
#include <windows.h>
#endif
