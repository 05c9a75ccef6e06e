// Stand-in for `net`: writes the bytes of net.out to standard output and those
// of net.err to standard error, both found in the working folder, records the
// arguments it got in net.args (one a line), and leaves net.finished behind
// as the last thing it does.
//
// With a file net.delay, it first waits that many milliseconds, after
// net.args is written; Ctrl-C and Ctrl-Break do not cut that wait short.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>

#include "stand_in_settings.h"

static BOOL WINAPI GoOnWaiting(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

static void CopyFileTo(const char* name, FILE* stream)
{
    FILE* file = fopen(name, "rb");
    if (!file)
        return;
    char buffer[4096];
    while (size_t count = fread(buffer, 1, sizeof buffer, file))
        fwrite(buffer, 1, count, stream);
    fclose(file);
    fflush(stream);
}

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    // Before net.args, which tells the tests that the handler is in place.
    const int delay = NumberIn("net.delay");
    if (delay)
        SetConsoleCtrlHandler(GoOnWaiting, TRUE);

    FILE* args = fopen("net.args", "wb");
    for (int i = 1; i < argc; ++i)
        fprintf(args, "%s\n", argv[i]);
    fclose(args);

    Sleep(delay);
    CopyFileTo("net.out", stdout);
    CopyFileTo("net.err", stderr);

    fclose(fopen("net.finished", "wb"));
    return 0;
}
