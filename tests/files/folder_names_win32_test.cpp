// tests/files/folder_names_win32_test.cpp: a folder named beyond the ANSI code page, reached by its short name.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/files/files.h"
#include "test_support.h"

namespace lum {
namespace {

// "临时文件夹" ("temporary folder"): letters that no Western code page holds.
constexpr const wchar_t* CHINESE_NAME = L"\u4e34\u65f6\u6587\u4ef6\u5939";
constexpr const wchar_t* VARIABLE = L"LUM_TEST_FOLDER";
constexpr const wchar_t* MARKER = L"marker.txt";

// A folder with the Chinese name and a marker file in it, made with the wide calls as Windows makes a
// user's profile; the variable is set in this process only.
class ChineseFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 1252u) << "a Western code page is what these tests are about";
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        const HANDLE marker = CreateFileW((folder_ / MARKER).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(marker, INVALID_HANDLE_VALUE);
        CloseHandle(marker);
        SetEnvironmentVariableW(VARIABLE, folder_.c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(VARIABLE, nullptr); }

    // The ANSI calls reach the folder under this spelling: the marker is found there.
    static bool reaches_the_folder(const std::string& spelled) {
        return GetFileAttributesA((spelled + "\\marker.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    const testing_support::ScratchFolder scratch_;
    const std::filesystem::path folder_ = scratch_.path() / CHINESE_NAME;
};

TEST_F(ChineseFolder, IsReachedByItsShortNameWhereTheAnsiReadGivesQuestionMarks) {
    char ansi[MAX_PATH * 2] = {};
    GetEnvironmentVariableA("LUM_TEST_FOLDER", ansi, sizeof(ansi));
    ASSERT_NE(std::string(ansi).find('?'), std::string::npos) << "the code page here spells " << ansi;

    const std::optional<std::string> spelled = environment_folder("LUM_TEST_FOLDER");
    ASSERT_TRUE(spelled.has_value());
    EXPECT_EQ(spelled->find('?'), std::string::npos) << *spelled;
    EXPECT_TRUE(reaches_the_folder(*spelled)) << *spelled;
}

// GetTempPathW takes TMP first, as GetTempPathA did, and gets the same treatment.
TEST_F(ChineseFolder, SystemTempFolderIsReachedToo) {
    wchar_t saved[MAX_PATH + 1] = {};
    const DWORD saved_length = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
    SetEnvironmentVariableW(L"TMP", folder_.c_str());
    const std::string spelled = system_temp_folder();
    SetEnvironmentVariableW(L"TMP", saved_length > 0 ? saved : nullptr);
    EXPECT_EQ(spelled.find('?'), std::string::npos) << spelled;
    EXPECT_TRUE(reaches_the_folder(spelled)) << spelled;
}

// A missing folder has no short name: nothing, so that the run looks elsewhere. Folders that the code
// page can spell come back as they are, found or not, and an unset variable as "".
TEST_F(ChineseFolder, MissingOneIsNothingAndSpellableOnesStayAsTheyAre) {
    SetEnvironmentVariableW(VARIABLE, (folder_ / CHINESE_NAME).c_str());
    EXPECT_FALSE(environment_folder("LUM_TEST_FOLDER").has_value());
    SetEnvironmentVariableW(VARIABLE, L"C:\\No Such Folder\\Caf\u00e9");
    EXPECT_EQ(environment_folder("LUM_TEST_FOLDER"), std::optional<std::string>("C:\\No Such Folder\\Caf\xe9"));
    SetEnvironmentVariableW(VARIABLE, nullptr);
    EXPECT_EQ(environment_folder("LUM_TEST_FOLDER"), std::optional<std::string>(""));
}

} // namespace
} // namespace lum
