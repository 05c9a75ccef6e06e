// Sends Ctrl-C or Ctrl-Break to every process on the console of another
// process, the way a person at that console would.
//
// Usage: send_ctrl_event PID ctrl-c|ctrl-break
// Exits with 0 once the event is sent, 1 when it could not be, 2 on misuse.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// This helper is on the console too, and so gets the event it sends.
static BOOL WINAPI Outlive(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

int main(int argc, char** argv)
{
    if (argc != 3 || (strcmp(argv[2], "ctrl-c") != 0 && strcmp(argv[2], "ctrl-break") != 0)) {
        fprintf(stderr, "usage: send_ctrl_event PID ctrl-c|ctrl-break\n");
        return 2;
    }
    const DWORD process = strtoul(argv[1], nullptr, 10);
    const DWORD event = strcmp(argv[2], "ctrl-c") == 0 ? CTRL_C_EVENT : CTRL_BREAK_EVENT;

    // Leaving and attaching both reset the handler list, so the handler comes
    // last. Group 0 is the whole console: Ctrl-C sent to any other group is
    // taken but reaches nobody.
    FreeConsole();
    if (!AttachConsole(process)) {
        fprintf(stderr, "send_ctrl_event: cannot attach to the console of %lu (error %lu)\n",
                process, GetLastError());
        return 1;
    }
    SetConsoleCtrlHandler(Outlive, TRUE);
    if (!GenerateConsoleCtrlEvent(event, 0)) {
        DWORD error = GetLastError();
        FreeConsole();
        fprintf(stderr, "send_ctrl_event: %s not sent (error %lu)\n", argv[2], error);
        return 1;
    }
    return 0;
}
