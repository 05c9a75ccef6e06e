// The launcher with its console control handler left out: Windows' default
// handler then ends it on Ctrl-C or Ctrl-Break while its server still runs.
// The ConsoleControl cases run it to show that they catch exactly that.
#include <windows.h>

#define SetConsoleCtrlHandler(routine, add) ((void)(routine), (void)(add))
#include "AdminCheck.cpp"
