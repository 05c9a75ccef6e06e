// Tests the launcher's routines directly: what GetStdoutFromCommand makes of
// the bytes a command writes, with the stand-in net as the command (line ends
// are translated as the runtime's text mode would, and every other byte is
// kept), and which console events the launcher's handler claims.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>

#define main AdminCheckMain  // the launcher's own entry is not run here
#include "AdminCheck.cpp"
#undef main

namespace {

struct CaptureCase {
    const char* name;
    std::string out;  // what the command writes to standard output
    std::string err;  // ... and then to standard error
    std::string captured;
};

const std::string k255(255, 'x');  // fills a read but for its last byte

const CaptureCase kCaptureCases[] = {
    {"CrLfBecomesLf", "a\r\nb\r\n", "", "a\nb\n"},
    {"LoneCrStays", "a\rb\r", "", "a\rb\r"},
    {"CrBeforeCrLfStays", "a\r\r\n", "", "a\r\n"},
    {"CrLfAcrossTwoReads", k255 + "\r\nz", "", k255 + "\nz"},
    {"CtrlZAndWhatFollowsAreKept", "A\x1A" "B\r\n", "", "A\x1A" "B\n"},
    {"ZeroByteIsKept", std::string("a\0b\r\n", 5), "", std::string("a\0b\n", 4)},
    {"StandardErrorIsMerged", "out\r\n", "err\r\n", "out\nerr\n"},
};

// Makes `folder` with a copy of the stand-in net, which is built beside this
// program. The stand-in reads net.out and net.err in its working folder,
// which is where the command interpreter also finds it.
void MakeFolderWithStandInNet(const std::string& folder)
{
    char path[MAX_PATH];
    std::string program(path, GetModuleFileNameA(nullptr, path, sizeof path));
    std::string net = program.substr(0, program.find_last_of("\\/") + 1) + "net.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA(net.c_str(), (folder + "\\net.exe").c_str(), FALSE);
}

class Capture : public testing::TestWithParam<CaptureCase> {
protected:
    static void SetUpTestSuite()
    {
        MakeFolderWithStandInNet("capture");
        SetCurrentDirectoryA("capture");
    }
};

TEST_P(Capture, ReturnsWhatTextModeWouldWithoutStoppingAtCtrlZ)
{
    std::ofstream("net.out", std::ios::binary) << GetParam().out;
    std::ofstream("net.err", std::ios::binary) << GetParam().err;
    EXPECT_EQ(GetStdoutFromCommand("net"), GetParam().captured);
}

INSTANTIATE_TEST_SUITE_P(Table, Capture, testing::ValuesIn(kCaptureCases),
                         [](const testing::TestParamInfo<CaptureCase>& info) {
                             return std::string(info.param.name);
                         });

// --- A UNC working folder ------------------------------------------------------

// The command interpreter refuses a UNC current folder and says so; whether on
// its standard output, which the pipe captures, or on its standard error, is
// what this case shows. The command first changes to the same folder by its
// drive path, so that the stand-in net runs there.
TEST(UncWorkingFolder, CapturesNetWholeAndShowsWhereTheWarningGoes)
{
    MakeFolderWithStandInNet("unc");
    std::ofstream("unc\\net.out", std::ios::binary) << "User name alice\r\n*Users\r\n";

    char full[MAX_PATH];
    GetFullPathNameA("unc\\", sizeof full, full, nullptr);
    if (full[1] != ':')
        GTEST_SKIP() << full << " is not on a drive";
    const std::string unc = std::string("\\\\localhost\\") + full[0] + "$" + (full + 2);
    if (GetFileAttributesA((unc + "net.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the administrative share " << unc << " cannot be reached";

    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(unc.c_str()));
    const std::string captured = GetStdoutFromCommand("cd /d \"" + std::string(full) + "\" && net");
    SetCurrentDirectoryA(before);

    EXPECT_NE(captured.find("User name alice\n*Users\n"), std::string::npos) << captured;
    const bool warned = captured.find("UNC paths are not supported") != std::string::npos;
    std::cout << "The command interpreter's UNC warning " << (warned ? "is" : "is not")
              << " in the captured text:\n" << captured << "\n";
}

// --- Which console events the launcher claims ----------------------------------

struct CtrlEventCase {
    const char* name;
    DWORD event;
    bool claimed;
};

const CtrlEventCase kCtrlEventCases[] = {
    {"CtrlC", CTRL_C_EVENT, true},
    {"CtrlBreak", CTRL_BREAK_EVENT, true},
    {"Close", CTRL_CLOSE_EVENT, false},
    {"Logoff", CTRL_LOGOFF_EVENT, false},
    {"Shutdown", CTRL_SHUTDOWN_EVENT, false},
    // Values Windows does not send.
    {"Three", 3, false},
    {"Four", 4, false},
    {"Seven", 7, false},
};

class CtrlRoutine : public testing::TestWithParam<CtrlEventCase> {};

TEST_P(CtrlRoutine, ClaimsCtrlCAndCtrlBreakOnly)
{
    EXPECT_EQ(LeaveCtrlEventsToTheServer(GetParam().event) != FALSE, GetParam().claimed);
}

INSTANTIATE_TEST_SUITE_P(Table, CtrlRoutine, testing::ValuesIn(kCtrlEventCases),
                         [](const testing::TestParamInfo<CtrlEventCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
