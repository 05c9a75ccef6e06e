// Stand-in for a server variant; built once under each variant's name.
// Says on the console which variant started, appends a line to servers.log
// in the working folder ("<name> args=<count> probe-finished=<yes|no>"),
// waits the milliseconds in server.delay, if any, then leaves <name>.done
// behind and exits with the number in server.exitcode, if any.
//
// With a file server.ctrl in the folder, it instead runs until Ctrl-C or
// Ctrl-Break reaches it, or for the milliseconds written in server.ctrl,
// takes a second to shut down, and then leaves <name>.done, holding the
// event's name ("none" when none came), as its last act.
#include <windows.h>
#include <cstdio>
#include <string>

#include "stand_in_settings.h"

static HANDLE ctrl_received;
static const char* ctrl_name = "none";

static BOOL WINAPI ShutDownOnCtrl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    ctrl_name = event == CTRL_C_EVENT ? "ctrl-c" : "ctrl-break";
    SetEvent(ctrl_received);
    return TRUE;
}

static std::string OwnName()
{
    char path[MAX_PATH];
    std::string name(path, GetModuleFileNameA(nullptr, path, sizeof path));
    name.erase(0, name.find_last_of("\\/") + 1);
    return name.substr(0, name.size() - 4);  // without ".exe"
}

int main(int argc, char**)
{
    const std::string name = OwnName();
    // Before the log line, which tells the tests that the handler is in place.
    const bool until_ctrl = Exists("server.ctrl");
    if (until_ctrl) {
        ctrl_received = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        SetConsoleCtrlHandler(ShutDownOnCtrl, TRUE);
    }

    printf("%s started\n", name.c_str());
    fflush(stdout);

    FILE* log = fopen("servers.log", "ab");
    fprintf(log, "%s args=%d probe-finished=%s\n", name.c_str(), argc - 1,
            Exists("net.finished") ? "yes" : "no");
    fclose(log);

    if (until_ctrl) {
        WaitForSingleObject(ctrl_received, NumberIn("server.ctrl"));
        Sleep(1000);
    } else {
        Sleep(NumberIn("server.delay"));
    }
    // Written whole under another name first: the tests read it once it is there.
    FILE* done = fopen((name + ".part").c_str(), "wb");
    fputs(until_ctrl ? ctrl_name : "", done);
    fclose(done);
    MoveFileA((name + ".part").c_str(), (name + ".done").c_str());
    return NumberIn("server.exitcode");
}
