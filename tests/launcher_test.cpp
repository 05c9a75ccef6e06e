// Runs the real AdminCheck.exe in a fresh folder per case, beside stand-ins
// for `net` and for both server variants, and checks what it started.
#include <windows.h>
#include <lm.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kPlain[] = "KelmoraServer2.1";
const char kUac[] = "KelmoraServer2.1_UAC";

std::string FolderOfThisProgram()
{
    char path[MAX_PATH];
    std::string folder(path, GetModuleFileNameA(nullptr, path, sizeof path));
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// This process's environment with USERNAME replaced, as a CreateProcess block.
std::string EnvironmentWithUserName(const std::string& user_name)
{
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += strlen(entry) + 1) {
        if (_strnicmp(entry, "USERNAME=", 9) != 0)
            block.append(entry, strlen(entry) + 1);
    }
    FreeEnvironmentStringsA(strings);
    block += "USERNAME=" + user_name;
    block += '\0';
    return block;
}

struct LauncherRun {
    DWORD exit_code;
    std::string console;  // all the launcher's console shows, stdout and stderr
};

class Launcher : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        for (char& c : name)
            if (c == '/')
                c = '.';
        CreateDirectoryA("cases", nullptr);
        folder_ = "cases\\" + name + "\\";
        EmptyFolder(folder_);
        for (const char* program : {"AdminCheck.exe", "net.exe", "KelmoraServer2.1.exe",
                                    "KelmoraServer2.1_UAC.exe"})
            ASSERT_TRUE(CopyFileA((FolderOfThisProgram() + program).c_str(),
                                  (folder_ + program).c_str(), FALSE))
                << program;
    }

    std::string Path(const std::string& name) const { return folder_ + name; }
    void Write(const std::string& name, const std::string& bytes) const { WriteFile(Path(name), bytes); }
    std::string Read(const std::string& name) const { return ReadFile(Path(name)); }
    void Remove(const std::string& name) const { DeleteFileA(Path(name).c_str()); }

    // Starts AdminCheck.exe in the case folder with its console going to a
    // file, and waits for it.
    LauncherRun RunLauncher(const std::string& user_name = "alice",
                            const std::string& arguments = "") const
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        HANDLE console = CreateFileA(Path("console.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                     &inheritable, CREATE_ALWAYS, 0, nullptr);
        HANDLE input = CreateFileA("NUL", GENERIC_READ, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = console;
        startup.hStdError = console;

        std::string program = Path("AdminCheck.exe");
        std::string command_line = "AdminCheck.exe " + arguments;
        std::string environment = EnvironmentWithUserName(user_name);
        PROCESS_INFORMATION process = {};
        LauncherRun run = {~0u, ""};
        if (CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0,
                           &environment[0], folder_.c_str(), &startup, &process)) {
            if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
                GetExitCodeProcess(process.hProcess, &run.exit_code);
            else
                TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(input);
        CloseHandle(console);
        run.console = Read("console.txt");
        return run;
    }

private:
    static void EmptyFolder(const std::string& folder)
    {
        CreateDirectoryA(folder.c_str(), nullptr);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    std::string folder_;
};

std::string ServerLogLine(const std::string& server)
{
    return server + " args=0 probe-finished=yes\n";
}

// --- Which server the probe's output leads to -------------------------------

struct ProbeCase {
    const char* name;
    std::string out;  // what the probe writes to standard output
    std::string err;  // ... and to standard error
    const char* server;
};

std::string NetUserListing(const std::string& groups)
{
    return "User name                    alice\r\n"
           "Full Name                    Alice Example\r\n"
           "Account active               Yes\r\n"
           "\r\n"
           "Local Group Memberships      " + groups + "\r\n"
           "Global Group memberships     *None\r\n"
           "The command completed successfully.\r\n\r\n";
}

std::string LineOf600WithMarkerAt(size_t offset)
{
    std::string line(600, 'x');
    line.replace(offset, 14, "Administrators");
    return line + "\r\n";
}

std::string ManyMiBThenMarker()
{
    std::string out;
    const std::string line(99, '-');
    while (out.size() < 6 * 1024 * 1024)
        out += line + "\r\n";
    return out + "*Administrators";
}

const ProbeCase kProbeCases[] = {
    {"Empty", "", "", kPlain},
    {"ListingWithGroup", NetUserListing("*Administrators       *Users"), "", kUac},
    {"ListingWithoutGroup", NetUserListing("*Users"), "", kPlain},
    {"MarkerOnLastLineWithoutLineEnd", "User name alice\r\n*Administrators", "", kUac},
    {"MarkerAcrossReadBoundary", LineOf600WithMarkerAt(250), "", kUac},
    {"MarkerOnlyOnStandardError", "User name alice\r\n", "*Administrators\r\n", kUac},
    {"MarkerAfterZeroByte", std::string("User\0name *Administrators\r\n", 27), "", kUac},
    {"LowerCaseGroup", NetUserListing("*administrators"), "", kPlain},
    {"TranslatedGroup", NetUserListing("*Administratoren *Administrateurs"), "", kPlain},
    {"MarkerInsideLongerWord", NetUserListing("*DomainAdministratorsOfSite"), "", kUac},
    {"ManyMiBWithMarkerAtEnd", ManyMiBThenMarker(), "", kUac},
    {"AccessDenied", "", "System error 5 has occurred.\r\n\r\nAccess is denied.\r\n", kPlain},
    {"MarkerAfterCtrlZ", "Full Name  A\x1A" "B\r\nLocal Group Memberships  *Administrators\r\n", "", kUac},
    {"MarkerAfterCtrlZOnStandardError", "User name alice\r\n", "A\x1A" "B\r\n*Administrators\r\n", kUac},
    {"CtrlZWithoutMarker", NetUserListing("*Users \x1A" "*Guests"), "", kPlain},
};

class ProbeOutput : public Launcher, public testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeOutput, StartsTheMatchingServerOnceWithoutArguments)
{
    const ProbeCase& probe = GetParam();
    Write("net.out", probe.out);
    Write("net.err", probe.err);

    LauncherRun run = RunLauncher();

    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), ServerLogLine(probe.server));
}

INSTANTIATE_TEST_SUITE_P(Table, ProbeOutput, testing::ValuesIn(kProbeCases),
                         [](const testing::TestParamInfo<ProbeCase>& info) {
                             return std::string(info.param.name);
                         });

// --- How the launcher starts the server --------------------------------------

using Launch = Launcher;

TEST_F(Launch, WaitsForTheServerToEnd)
{
    Write("net.out", NetUserListing("*Administrators"));
    Write("server.delay", "500");  // a launcher that does not wait ends first
    RunLauncher();
    EXPECT_TRUE(Exists(Path("KelmoraServer2.1_UAC.done")));
}

TEST_F(Launch, ShowsTheServerOutputButNotTheProbeOutput)
{
    Write("net.out", "probe-stdout *Administrators\r\n");
    Write("net.err", "probe-stderr\r\n");
    LauncherRun run = RunLauncher();
    EXPECT_NE(run.console.find("KelmoraServer2.1_UAC started"), std::string::npos) << run.console;
    EXPECT_EQ(run.console.find("probe-"), std::string::npos) << run.console;
}

TEST_F(Launch, ExitsWithZeroWhenTheServerFails)
{
    Write("server.exitcode", "7");
    LauncherRun run = RunLauncher();
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), ServerLogLine(kPlain));
}

TEST_F(Launch, ExitsWithZeroWhenTheServerIsMissing)
{
    Remove("KelmoraServer2.1.exe");
    Remove("KelmoraServer2.1_UAC.exe");
    LauncherRun run = RunLauncher();
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_FALSE(Exists(Path("servers.log")));
}

TEST_F(Launch, IgnoresItsArguments)
{
    Write("net.out", NetUserListing("*Administrators"));
    LauncherRun run = RunLauncher("alice", "KelmoraServer2.1 /? --plain");
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), ServerLogLine(kUac));
}

TEST_F(Launch, StartsThePlainServerWhenTheProbeCannotRun)
{
    Remove("net.exe");  // the system's own net answers, or nothing does
    LauncherRun run = RunLauncher("nobody-by-this-name");
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), std::string(kPlain) + " args=0 probe-finished=no\n");
}

// --- The user name reaches net as one argument -------------------------------

class UserName : public Launcher, public testing::WithParamInterface<const char*> {};

TEST_P(UserName, ReachesNetAsOneArgument)
{
    LauncherRun run = RunLauncher(GetParam());
    EXPECT_EQ(Read("net.args"), std::string("user\n") + GetParam() + "\n");
    EXPECT_EQ(Read("servers.log"), ServerLogLine(kPlain)) << run.console;
}

INSTANTIATE_TEST_SUITE_P(Table, UserName,
                         testing::Values("alice", "John Smith", "R&D", "Ops (Night)^2"));

// --- Windows' own net user, against the account database ---------------------

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// The local name of the builtin administrators group, S-1-5-32-544.
std::wstring LocalNameOfAdministrators()
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof sid;
    wchar_t name[256], domain[256];
    DWORD name_size = 256, domain_size = 256;
    SID_NAME_USE use;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sid_size) ||
        !LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use))
        return L"";
    return name;
}

// The server that the local account database predicts for `user`, or nullptr
// when it does not know the user (a domain account). Level 0 without indirect
// groups is the list net user prints under "Local Group Memberships"; net
// prints each group's local name, which holds the word only on an English
// Windows.
const char* ServerPredictedFor(const wchar_t* user)
{
    LOCALGROUP_USERS_INFO_0* groups = nullptr;
    DWORD read = 0, total = 0;
    NET_API_STATUS status = NetUserGetLocalGroups(nullptr, user, 0, 0, reinterpret_cast<BYTE**>(&groups),
                                                  MAX_PREFERRED_LENGTH, &read, &total);
    const std::wstring administrators = LocalNameOfAdministrators();
    bool member = false;
    for (DWORD i = 0; status == NERR_Success && i < read; ++i)
        member = member || administrators == groups[i].lgrui0_name;
    NetApiBufferFree(groups);
    if (status == NERR_UserNotFound)
        return nullptr;
    EXPECT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success)) << "NetUserGetLocalGroups failed";
    return member && administrators == L"Administrators" ? kUac : kPlain;
}

using RealNetUser = Launcher;

TEST_F(RealNetUser, StartsTheServerThatTheAccountDatabasePredicts)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine's net has no user command; this case needs Windows' own net user";
    const char* user = std::getenv("USERNAME");
    const wchar_t* wide_user = _wgetenv(L"USERNAME");
    ASSERT_TRUE(user && wide_user) << "USERNAME is not set";
    const char* expected = ServerPredictedFor(wide_user);
    if (!expected)
        GTEST_SKIP() << "the local account database does not know " << user << " (a domain account?)";

    Remove("net.exe");
    LauncherRun run = RunLauncher(user);

    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), std::string(expected) + " args=0 probe-finished=no\n") << run.console;
}

}  // namespace
