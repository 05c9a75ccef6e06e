// Stand-in for a server variant; built once under each variant's name.
// Says on the console which variant started, appends a line to servers.log
// in the working folder ("<name> args=<count> probe-finished=<yes|no>"),
// waits the milliseconds in server.delay, if any, then leaves <name>.done
// behind and exits with the number in server.exitcode, if any.
#include <windows.h>
#include <cstdio>
#include <string>

static std::string OwnName()
{
    char path[MAX_PATH];
    std::string name(path, GetModuleFileNameA(nullptr, path, sizeof path));
    name.erase(0, name.find_last_of("\\/") + 1);
    return name.substr(0, name.size() - 4);  // without ".exe"
}

static int NumberIn(const char* name)
{
    int number = 0;
    if (FILE* file = fopen(name, "rb")) {
        if (fscanf(file, "%d", &number) != 1)
            number = 0;
        fclose(file);
    }
    return number;
}

static bool Exists(const char* name)
{
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

int main(int argc, char**)
{
    const std::string name = OwnName();
    printf("%s started\n", name.c_str());
    fflush(stdout);

    FILE* log = fopen("servers.log", "ab");
    fprintf(log, "%s args=%d probe-finished=%s\n", name.c_str(), argc - 1,
            Exists("net.finished") ? "yes" : "no");
    fclose(log);

    Sleep(NumberIn("server.delay"));
    fclose(fopen((name + ".done").c_str(), "wb"));
    return NumberIn("server.exitcode");
}
