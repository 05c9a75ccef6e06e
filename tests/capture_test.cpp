// Checks what GetStdoutFromCommand makes of the bytes a command writes, with
// the stand-in net as the command: line ends are translated as the runtime's
// text mode would, and every other byte is kept.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
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

class Capture : public testing::TestWithParam<CaptureCase> {
protected:
    // The stand-in net reads net.out and net.err in the working folder,
    // which is where the command interpreter also finds it.
    static void SetUpTestSuite()
    {
        char path[MAX_PATH];
        std::string program(path, GetModuleFileNameA(nullptr, path, sizeof path));
        std::string net = program.substr(0, program.find_last_of("\\/") + 1) + "net.exe";
        CreateDirectoryA("capture", nullptr);
        CopyFileA(net.c_str(), "capture\\net.exe", FALSE);
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

}  // namespace
