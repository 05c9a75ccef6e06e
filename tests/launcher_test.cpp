// Runs the real AdminCheck.exe in a fresh folder per case, beside stand-ins
// for `net` and for both server variants, and checks what it started.
#include <windows.h>
#include <lm.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// Starts `program` with standard output and error going to the file `output`
// and no input; `folder` and `environment` as CreateProcess takes them.
PROCESS_INFORMATION StartProgram(const std::string& program, std::string command_line,
                                 const std::string& output, DWORD flags,
                                 const char* folder = nullptr, char* environment = nullptr)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                              CREATE_ALWAYS, 0, nullptr);
    HANDLE input = CreateFileA("NUL", GENERIC_READ, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;  // for a console of its own
    startup.hStdInput = input;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, flags, environment,
                   folder, &startup, &process);
    CloseHandle(input);
    CloseHandle(file);
    return process;
}

// Waits up to a minute for `process` to end, and ends it after that; gives
// its exit status, or ~0 when it was not started or did not end.
DWORD WaitForExit(const PROCESS_INFORMATION& process)
{
    DWORD exit_code = ~0u;
    if (!process.hProcess)
        return exit_code;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exit_code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exit_code;
}

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

    // Starts AdminCheck.exe from the case folder, in `working_folder` (the
    // case folder by default), with its console going to console.txt.
    PROCESS_INFORMATION StartLauncher(const std::string& user_name = "alice",
                                      const std::string& arguments = "", DWORD flags = 0,
                                      const std::string& working_folder = "") const
    {
        std::string environment = EnvironmentWithUserName(user_name);
        const std::string& folder = working_folder.empty() ? folder_ : working_folder;
        return StartProgram(Path("AdminCheck.exe"), "AdminCheck.exe " + arguments,
                            Path("console.txt"), flags, folder.c_str(), &environment[0]);
    }

    LauncherRun WaitForLauncher(const PROCESS_INFORMATION& launcher) const
    {
        DWORD exit_code = WaitForExit(launcher);
        return {exit_code, Read("console.txt")};
    }

    LauncherRun RunLauncher(const std::string& user_name = "alice",
                            const std::string& arguments = "") const
    {
        return WaitForLauncher(StartLauncher(user_name, arguments));
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

// The line a server started with no arguments logs; the stand-in net, when it
// ran, had finished by then.
std::string ServerLogLine(const std::string& server, bool stand_in_net_ran = true)
{
    return server + " args=0 probe-finished=" + (stand_in_net_ran ? "yes" : "no") + "\n";
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
    EXPECT_EQ(Read("servers.log"), ServerLogLine(kPlain, false));
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

const char kNeedsWindowsNet[] = "Wine's net has no user command; this case needs Windows' own net user";

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

// The local groups of `user` as net user lists them under "Local Group
// Memberships": level 0, without indirect groups.
NET_API_STATUS LocalGroupsOf(const wchar_t* user, std::vector<std::wstring>& groups)
{
    LOCALGROUP_USERS_INFO_0* found = nullptr;
    DWORD read = 0, total = 0;
    NET_API_STATUS status = NetUserGetLocalGroups(nullptr, user, 0, 0, reinterpret_cast<BYTE**>(&found),
                                                  MAX_PREFERRED_LENGTH, &read, &total);
    for (DWORD i = 0; status == NERR_Success && i < read; ++i)
        groups.push_back(found[i].lgrui0_name);
    NetApiBufferFree(found);
    return status;
}

// net prints each group's local name, which is "Administrators" only on an
// English Windows.
bool InAdministratorsByThatName(const std::vector<std::wstring>& groups)
{
    const std::wstring administrators = LocalNameOfAdministrators();
    return administrators == L"Administrators" &&
           std::find(groups.begin(), groups.end(), administrators) != groups.end();
}

std::string Narrow(const wchar_t* text)
{
    char narrow[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

using RealNetUser = Launcher;

TEST_F(RealNetUser, StartsTheServerThatTheAccountDatabasePredicts)
{
    if (RunningUnderWine())
        GTEST_SKIP() << kNeedsWindowsNet;
    const char* user = std::getenv("USERNAME");
    const wchar_t* wide_user = _wgetenv(L"USERNAME");
    ASSERT_TRUE(user && wide_user) << "USERNAME is not set";
    std::vector<std::wstring> groups;
    NET_API_STATUS status = LocalGroupsOf(wide_user, groups);
    if (status == NERR_UserNotFound)
        GTEST_SKIP() << "the local account database does not know " << user << " (a domain account?)";
    ASSERT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success)) << "NetUserGetLocalGroups failed";
    const char* expected = InAdministratorsByThatName(groups) ? kUac : kPlain;

    Remove("net.exe");
    LauncherRun run = RunLauncher(user);

    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(Read("servers.log"), ServerLogLine(expected, false)) << run.console;
}

bool HoldsTheWord(const wchar_t* text)
{
    return text && wcsstr(text, L"Administrators");
}

// The server an account must get: _UAC for a member of the administrators
// group by that name, the plain one where the word is in nothing net user
// prints of the account, and nullptr where it stands elsewhere (a group such
// as "Hyper-V Administrators", which net may cut short, or a comment): the
// launcher's choice is then not predicted, and the account is left out.
const char* ServerPredictedFor(const USER_INFO_3& account, const std::vector<std::wstring>& groups)
{
    if (InAdministratorsByThatName(groups))
        return kUac;
    bool word = false;
    for (const std::wstring& group : groups)
        word = word || HoldsTheWord(group.c_str());
    for (const wchar_t* field : {account.usri3_name, account.usri3_full_name, account.usri3_comment,
                                 account.usri3_usr_comment, account.usri3_home_dir,
                                 account.usri3_script_path, account.usri3_profile})
        word = word || HoldsTheWord(field);
    return word ? nullptr : kPlain;
}

// Both decisions through the real net user: every Windows has local accounts
// in the administrators group (the runner's own) and outside it (Guest,
// DefaultAccount). Found by membership, as cloud images rename accounts.
TEST_F(RealNetUser, EveryLocalAccountGetsTheServerItsGroupsPredict)
{
    if (RunningUnderWine())
        GTEST_SKIP() << kNeedsWindowsNet;
    USER_INFO_3* accounts = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    NET_API_STATUS status = NetUserEnum(nullptr, 3, FILTER_NORMAL_ACCOUNT, reinterpret_cast<BYTE**>(&accounts),
                                        MAX_PREFERRED_LENGTH, &read, &total, &resume);
    if (status == ERROR_ACCESS_DENIED) {
        NetApiBufferFree(accounts);
        GTEST_SKIP() << "listing the local accounts with their details needs an administrator";
    }
    ASSERT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success)) << "NetUserEnum failed";

    Remove("net.exe");
    std::set<std::string> decisions;
    std::string wrong, left_out;
    for (DWORD i = 0; i < read; ++i) {
        const std::string name = Narrow(accounts[i].usri3_name);
        std::vector<std::wstring> groups;
        if (LocalGroupsOf(accounts[i].usri3_name, groups) != NERR_Success) {
            left_out += " " + name + " (its groups cannot be read)";
            continue;
        }
        const char* predicted = ServerPredictedFor(accounts[i], groups);
        if (!predicted) {
            left_out += " " + name + " (the word stands elsewhere)";
            continue;
        }
        Remove("servers.log");
        LauncherRun run = RunLauncher(name);
        const std::string started = Read("servers.log");
        if (run.exit_code == 0 && started == ServerLogLine(predicted, false))
            decisions.insert(predicted);
        else
            wrong += name + ": predicted " + predicted + ", started " + (started.empty() ? "nothing\n" : started) +
                     "exit status " + std::to_string(run.exit_code) + ", console:\n" + run.console + "\n";
    }
    NetApiBufferFree(accounts);

    if (!left_out.empty())
        std::cout << "Left out:" << left_out << "\n";
    EXPECT_EQ(wrong, "");
    EXPECT_EQ(decisions, (std::set<std::string>{kPlain, kUac}))
        << "both decisions must be seen; accounts left out:" << left_out;
}

// --- Ctrl-C and Ctrl-Break, sent to the launcher's own console ----------------

// Waits up to half a minute for `path` to appear.
bool Appears(const std::string& path)
{
    for (int i = 0; i < 300 && !Exists(path); ++i)
        Sleep(100);
    return Exists(path);
}

// How long a stand-in server waits for the event, in milliseconds: one that
// never gets it then leaves "none" as its mark, well before the case's limit.
const char kServerWaitForCtrl[] = "10000";

const char kUacMark[] = "KelmoraServer2.1_UAC.done";

class ConsoleEvents : public Launcher {
protected:
    void SetUp() override
    {
        Launcher::SetUp();
        // A CI service may start its steps with Ctrl-C ignored, which the
        // launcher would inherit. This process shares no console with it.
        SetConsoleCtrlHandler(nullptr, FALSE);
    }

    // Starts the launcher in a console of its own, as a person's would be.
    PROCESS_INFORMATION StartLauncherInItsOwnConsole() const
    {
        return StartLauncher("alice", "", CREATE_NEW_CONSOLE);
    }

    // Sends `event` to everyone on the launcher's console, through a helper
    // that attaches to it: this process keeps its own console.
    DWORD SendEvent(DWORD launcher, const char* event) const
    {
        return WaitForExit(StartProgram(FolderOfThisProgram() + "send_ctrl_event.exe",
                                        "send_ctrl_event " + std::to_string(launcher) + " " + event,
                                        Path("send_ctrl_event.txt"), DETACHED_PROCESS));
    }

    struct Sending {
        bool reached;  // the launcher had got as far as the moment to send at
        DWORD sent;    // the helper's exit status
        LauncherRun run;
        std::string mark;  // what the server had left when the launcher ended
    };

    // Starts the server through the launcher, sends `event` while it runs,
    // and takes the server's mark the moment the launcher has ended.
    Sending SendWhileTheServerRuns(const char* event) const
    {
        Write("net.out", NetUserListing("*Administrators"));
        Write("server.ctrl", kServerWaitForCtrl);
        PROCESS_INFORMATION launcher = StartLauncherInItsOwnConsole();
        const bool serving = Appears(Path("servers.log"));
        const DWORD sent = serving ? SendEvent(launcher.dwProcessId, event) : ~0u;
        LauncherRun run = WaitForLauncher(launcher);
        return {serving, sent, run, Read(kUacMark)};
    }

    // Sends `event` while net, which outlasts it, is still answering.
    Sending SendDuringTheProbe(const char* event) const
    {
        Write("net.out", NetUserListing("*Administrators"));
        Write("net.delay", "3000");
        PROCESS_INFORMATION launcher = StartLauncherInItsOwnConsole();
        const bool probing = Appears(Path("net.args"));
        const DWORD sent = probing ? SendEvent(launcher.dwProcessId, event) : ~0u;
        LauncherRun run = WaitForLauncher(launcher);
        Appears(Path("net.finished"));  // net goes on to its end: leave nothing running
        return {probing, sent, run, ""};
    }
};

// What Wine's console shows as well as Windows': Ctrl-C cuts the probe short,
// and reaches the server.
using ConsoleCtrlC = ConsoleEvents;

TEST_F(ConsoleCtrlC, DuringTheProbeStartsNoServer)
{
    Sending sending = SendDuringTheProbe("ctrl-c");
    ASSERT_TRUE(sending.reached) << "net did not start\n" << sending.run.console;
    ASSERT_EQ(sending.sent, 0u) << Read("send_ctrl_event.txt");
    EXPECT_FALSE(Exists(Path("servers.log"))) << Read("servers.log");
}

TEST_F(ConsoleCtrlC, WhileTheServerRunsReachesTheServer)
{
    Sending sending = SendWhileTheServerRuns("ctrl-c");
    ASSERT_TRUE(sending.reached) << "the server did not start\n" << sending.run.console;
    ASSERT_EQ(sending.sent, 0u) << Read("send_ctrl_event.txt");
    // Wine's command interpreter ends at once on Ctrl-C, and the launcher
    // with it, so the server's mark may come after the launcher's end.
    ASSERT_TRUE(Appears(Path(kUacMark))) << "the server did not end";
    EXPECT_EQ(Read(kUacMark), "ctrl-c");
}

// What only Windows' console shows: the wait for the server, Ctrl-Break, and
// the exit status of a launcher that the default handler ends.
class ConsoleControl : public ConsoleEvents, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        if (RunningUnderWine())
            GTEST_SKIP() << "Wine's console events are not Windows': Ctrl-Break fails with an invalid "
                            "handle, Ctrl-C's default handler exits with 0, and cmd ends at once on Ctrl-C";
        ConsoleEvents::SetUp();
    }
};

TEST_P(ConsoleControl, WhileTheServerRunsTheLauncherEndsAfterItWithZero)
{
    Sending sending = SendWhileTheServerRuns(GetParam());
    ASSERT_TRUE(sending.reached) << "the server did not start\n" << sending.run.console;
    ASSERT_EQ(sending.sent, 0u) << Read("send_ctrl_event.txt");
    EXPECT_EQ(sending.mark, GetParam()) << "the launcher ended before the server had shut down";
    EXPECT_EQ(sending.run.exit_code, 0u);
}

// The case above catches a launcher without the handler, which Windows'
// default handler ends at once, before the server's mark.
TEST_P(ConsoleControl, WithoutTheHandlerTheLauncherWouldEndFirst)
{
    ASSERT_TRUE(CopyFileA((FolderOfThisProgram() + "launcher_without_ctrl_handler.exe").c_str(),
                          Path("AdminCheck.exe").c_str(), FALSE));
    Sending sending = SendWhileTheServerRuns(GetParam());
    ASSERT_TRUE(sending.reached) << "the server did not start\n" << sending.run.console;
    ASSERT_EQ(sending.sent, 0u) << Read("send_ctrl_event.txt");
    EXPECT_EQ(sending.mark, "");
    EXPECT_EQ(sending.run.exit_code, static_cast<DWORD>(STATUS_CONTROL_C_EXIT));
    EXPECT_TRUE(Appears(Path(kUacMark))) << "the server did not get the event";
}

TEST_P(ConsoleControl, DuringTheProbeEndsTheLauncherAndStartsNoServer)
{
    Sending sending = SendDuringTheProbe(GetParam());
    ASSERT_TRUE(sending.reached) << "net did not start\n" << sending.run.console;
    ASSERT_EQ(sending.sent, 0u) << Read("send_ctrl_event.txt");
    EXPECT_EQ(sending.run.exit_code, static_cast<DWORD>(STATUS_CONTROL_C_EXIT));
    EXPECT_FALSE(Exists(Path("servers.log"))) << Read("servers.log");
}

INSTANTIATE_TEST_SUITE_P(Event, ConsoleControl, testing::Values("ctrl-c", "ctrl-break"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "ctrl-c" ? "CtrlC" : "CtrlBreak";
                         });

// --- A UNC working folder ------------------------------------------------------

using UncWorkingFolder = Launcher;

// The command interpreter refuses a UNC current directory and starts in the
// Windows folder instead, where neither the folder's net nor a server is.
TEST_F(UncWorkingFolder, StartsNoServerFromTheFolder)
{
    char full[MAX_PATH];
    GetFullPathNameA(Path("").c_str(), sizeof full, full, nullptr);
    if (full[1] != ':')
        GTEST_SKIP() << full << " is not on a drive";
    const std::string unc = std::string("\\\\localhost\\") + full[0] + "$" + (full + 2);
    if (!Exists(unc + "AdminCheck.exe"))
        GTEST_SKIP() << "the administrative share " << unc << " cannot be reached";
    Write("net.out", NetUserListing("*Administrators"));

    LauncherRun run = WaitForLauncher(StartLauncher("alice", "", 0, unc));

    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_FALSE(Exists(Path("net.args"))) << run.console;
    EXPECT_FALSE(Exists(Path("servers.log"))) << run.console;
}

}  // namespace
