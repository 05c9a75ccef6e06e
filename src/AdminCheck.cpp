// AdminCheck: starts the server variant that fits the current account.
//
// Asks `net user` about the current user, and starts KelmoraServer2.1_UAC when
// the account is listed in the Administrators group, KelmoraServer2.1 when not.
// Prints nothing of its own and always exits with 0.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Runs `command` through the command interpreter and returns everything it
// wrote to standard output and standard error, in the order it arrived.
// Returns an empty text when the command cannot be started.
std::string GetStdoutFromCommand(std::string command)
{
    std::string output;
    command += " 2>&1";

    // Binary mode, because text mode would take a Ctrl-Z byte (0x1A) for the
    // end of the output and drop the rest. Line ends are translated here
    // instead, as text mode would: CR LF becomes LF, a lone CR stays.
    FILE* pipe = _popen(command.c_str(), "rb");
    if (!pipe)
        return output;

    // Read by count, so a zero byte loses nothing; a read error ends the loop
    // just as the end of the output does. The CR of a CR LF may end one read
    // and its LF begin the next, so the CR is looked for in the output.
    char buffer[256];
    while (size_t count = fread(buffer, 1, sizeof buffer, pipe)) {
        for (size_t i = 0; i < count; ++i) {
            if (buffer[i] == '\n' && !output.empty() && output.back() == '\r')
                output.back() = '\n';
            else
                output += buffer[i];
        }
    }

    _pclose(pipe);
    return output;
}

// Ctrl-C and Ctrl-Break reach every process on the console, the server
// included, and the server decides how to end. Claiming them keeps Windows'
// default handler from ending the launcher while the server still runs, so
// that whoever watches the launcher sees it end after the server. Closing the
// console, a logoff and a shutdown get Windows' default, as the server does.
BOOL WINAPI LeaveCtrlEventsToTheServer(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

int main()
{
    // The quotes keep a user name with spaces or with &, ( or ) as one
    // argument to net, and keep the interpreter from running any of it.
    std::string account = GetStdoutFromCommand("net user \"%username%\"");

    // Only now: a Ctrl-C during the probe still ends the launcher, rather
    // than starting the plain server on a probe cut short. A handler, not
    // SetConsoleCtrlHandler(NULL, TRUE), whose flag the server would inherit.
    SetConsoleCtrlHandler(LeaveCtrlEventsToTheServer, TRUE);

    if (account.find("Administrators") != std::string::npos)
        system("KelmoraServer2.1_UAC");
    else
        system("KelmoraServer2.1");
    return 0;
}
