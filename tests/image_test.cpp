// Reads the built AdminCheck.exe through the system's own loader and resource
// functions: what kind of program it is, what it imports, and its icon.
#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string LauncherPath()
{
    char path[MAX_PATH];
    std::string folder(path, GetModuleFileNameA(nullptr, path, sizeof path));
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "AdminCheck.exe";
}

// The launcher mapped as an image for reading, as the shell maps it for its icon.
class Image : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module_ = LoadLibraryExA(LauncherPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << LauncherPath(); }

    static const BYTE* Base() { return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR(3)); }
    static const IMAGE_NT_HEADERS32& Headers()
    {
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
        return *reinterpret_cast<const IMAGE_NT_HEADERS32*>(Base() + dos->e_lfanew);
    }

    // The bytes of one resource, empty when there is none.
    static std::string Resource(LPCSTR type, LPCSTR name, WORD language)
    {
        HRSRC found = FindResourceExA(module_, type, name, language);
        if (!found)
            return "";
        auto bytes = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(bytes, SizeofResource(module_, found));
    }

    static HMODULE module_;
};

HMODULE Image::module_;

// --- The kind of program -------------------------------------------------------

TEST_F(Image, IsA32BitConsoleProgramWithAslrAndDep)
{
    const IMAGE_NT_HEADERS32& headers = Headers();
    EXPECT_EQ(headers.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(headers.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(headers.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    EXPECT_TRUE(headers.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(headers.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_EQ(headers.FileHeader.TimeDateStamp, 0u) << "a link time stamp makes builds differ";
}

TEST_F(Image, ImportsOnlySystemDlls)
{
    const IMAGE_DATA_DIRECTORY& directory =
        Headers().OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> dlls;
    for (auto entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base() + directory.VirtualAddress);
         entry->Name; ++entry)
        dlls.insert(reinterpret_cast<const char*>(Base() + entry->Name));
    EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
}

// --- The resources ---------------------------------------------------------------

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR types)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(types)->push_back(reinterpret_cast<ULONG_PTR>(type));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    reinterpret_cast<std::vector<std::string>*>(names)->push_back(
        IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

TEST_F(Image, CarriesOnlyTheIconGroupIdAndItsTenImages)
{
    std::vector<ULONG_PTR> types;
    EnumResourceTypesA(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ(types, (std::vector<ULONG_PTR>{3, 14})) << "RT_ICON and RT_GROUP_ICON, nothing else";

    std::vector<std::string> groups;
    EnumResourceNamesA(module_, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(groups, std::vector<std::string>{"ID"});

    std::vector<std::string> icons;
    EnumResourceNamesA(module_, RT_ICON, CollectName, reinterpret_cast<LONG_PTR>(&icons));
    EXPECT_EQ(icons, (std::vector<std::string>{"#1", "#2", "#3", "#4", "#5", "#6", "#7", "#8", "#9", "#10"}));
}

TEST_F(Image, ResourcesAreInEnglishUnitedStates)
{
    auto languages = [](LPCSTR type, LPCSTR name) {
        std::vector<WORD> found;
        EnumResourceLanguagesA(module_, type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&found));
        return found;
    };
    EXPECT_EQ(languages(RT_GROUP_ICON, "ID"), std::vector<WORD>{1033});
    for (WORD id = 1; id <= 10; ++id)
        EXPECT_EQ(languages(RT_ICON, MAKEINTRESOURCEA(id)), std::vector<WORD>{1033}) << "icon " << id;
}

TEST_F(Image, ShowsOneIconInTheShell)
{
    EXPECT_EQ(ExtractIconExA(LauncherPath().c_str(), -1, nullptr, nullptr, 0), 1u);
}

// --- The icon group's ten images ---------------------------------------------------

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, color_count, reserved;
    WORD planes, bit_count;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

struct IconImage {
    WORD id;
    int size;          // pixels a side
    WORD bit_count;
    BYTE color_count;  // as the group lists it
    bool png;
};

const IconImage kIconImages[] = {
    {1, 32, 4, 16, false},  {2, 16, 4, 16, false}, {3, 48, 8, 0, false},
    {4, 32, 8, 0, false},   {5, 16, 8, 0, false},  {6, 256, 32, 0, true},
    {7, 64, 32, 0, false},  {8, 48, 32, 0, false}, {9, 32, 32, 0, false},
    {10, 16, 32, 0, false},
};

// Bytes of an icon bitmap: header, palette, colour rows, then the one-bit mask,
// each row padded to four bytes.
size_t IconBitmapBytes(int size, int bit_count)
{
    auto row = [](int bits) { return size_t((bits + 31) / 32 * 4); };
    size_t palette = bit_count <= 8 ? (size_t(4) << bit_count) : 0;
    return sizeof(BITMAPINFOHEADER) + palette + size * (row(size * bit_count) + row(size));
}

class IconGroup : public Image, public testing::WithParamInterface<size_t> {};

TEST_F(Image, IconGroupListsTenImages)
{
    std::string group = Resource(RT_GROUP_ICON, "ID", 1033);
    ASSERT_GE(group.size(), 6u);
    auto header = reinterpret_cast<const GroupIconHeader*>(group.data());
    EXPECT_EQ(header->type, 1) << "icon, not cursor";
    EXPECT_EQ(header->count, 10);
    EXPECT_EQ(group.size(), 6 + 10 * sizeof(GroupIconEntry));
}

TEST_P(IconGroup, EntryMatchesItsImage)
{
    const size_t order = GetParam();
    const IconImage& expected = kIconImages[order];
    std::string group = Resource(RT_GROUP_ICON, "ID", 1033);
    ASSERT_GE(group.size(), 6 + (order + 1) * sizeof(GroupIconEntry));
    const GroupIconEntry& entry = reinterpret_cast<const GroupIconHeader*>(group.data())->entries[order];

    const BYTE size_field = expected.size == 256 ? 0 : BYTE(expected.size);
    EXPECT_EQ(entry.id, expected.id);
    EXPECT_EQ(entry.width, size_field);
    EXPECT_EQ(entry.height, size_field);
    EXPECT_EQ(entry.color_count, expected.color_count);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bit_count, expected.bit_count);

    std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id), 1033);
    ASSERT_EQ(entry.bytes, image.size());
    if (expected.png) {
        ASSERT_GE(image.size(), 24u);
        EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_EQ(image.substr(12, 4), "IHDR");
        auto big_endian = [&](size_t at) {
            return DWORD(BYTE(image[at])) << 24 | DWORD(BYTE(image[at + 1])) << 16 |
                   DWORD(BYTE(image[at + 2])) << 8 | BYTE(image[at + 3]);
        };
        EXPECT_EQ(big_endian(16), 256u);
        EXPECT_EQ(big_endian(20), 256u);
    } else {
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        auto bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        EXPECT_EQ(bitmap->biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(bitmap->biWidth, expected.size);
        EXPECT_EQ(bitmap->biHeight, 2 * expected.size) << "colour rows and mask rows";
        EXPECT_EQ(bitmap->biPlanes, 1);
        EXPECT_EQ(bitmap->biBitCount, expected.bit_count);
        EXPECT_EQ(image.size(), IconBitmapBytes(expected.size, expected.bit_count));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, IconGroup, testing::Range<size_t>(0, 10),
                         [](const testing::TestParamInfo<size_t>& info) {
                             const IconImage& image = kIconImages[info.param];
                             return "Image" + std::to_string(image.id) + "_" + std::to_string(image.size) +
                                    "px_" + std::to_string(image.bit_count) + "bit";
                         });

}  // namespace
