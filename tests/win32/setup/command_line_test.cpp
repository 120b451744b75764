// Command-line parsing: switches, folder arguments and their limits.
#include <gtest/gtest.h>

#include <string>

#include "package/package_table.h"
#include "setup/setup.h"
#include "setup_test_util.h"

namespace {

struct Settings {
    int ask, passPath, verify, useRegistry, verbDR, verbAutoUp, filesOnly;
    const char* folder;
};

Settings Current() {
    return {Package.AskForFolder,
            Package.PassSetupPath,
            Package.VerifyDigests,
            UseRegistryFolder,
            SelectVerbDR,
            SelectVerbAutoUp,
            FilesOnly,
            InstallFolder};
}

const char kDefault[] = "C:\\Program Files\\Bramblequist";

struct Case {
    const char* commandLine;
    Settings expected;
};

// Expected settings start from the package's: ask 1, pass path 1, verify 1,
// registry 1, no verbs, not files only, the default folder.
const Case kCases[] = {
    {"", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/S", {0, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/s", {0, 1, 1, 1, 0, 0, 0, kDefault}},
    {"-S", {0, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/Silent", {0, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/S /a", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/L", {1, 0, 1, 1, 0, 0, 0, kDefault}},
    {"/L -d", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/u", {1, 1, 0, 1, 0, 0, 0, kDefault}},
    {"/U /V", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"/n", {1, 1, 1, 0, 0, 0, 0, kDefault}},
    {"-r", {1, 1, 1, 1, 1, 0, 0, kDefault}},
    {"/G", {1, 1, 1, 1, 0, 1, 0, kDefault}},
    {"/z", {1, 1, 1, 1, 0, 0, 1, kDefault}},
    {"/x /1 / -", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"C:\\Target\\ /S", {0, 1, 1, 1, 0, 0, 0, "C:\\Target"}},
    {"C:\\", {1, 1, 1, 1, 0, 0, 0, "C:"}},
    {"First Second", {1, 1, 1, 1, 0, 0, 0, "Second"}},
    {"\"C:\\My Folder\"", {1, 1, 1, 1, 0, 0, 0, "Folder\""}},
    {"D:\\Client /S   \t  ", {0, 1, 1, 1, 0, 0, 0, "D:\\Client"}},
    {"   ", {1, 1, 1, 1, 0, 0, 0, kDefault}},
    {"\xC4\xE9\\x /R /G", {1, 1, 1, 1, 1, 1, 0, "\xC4\xE9\\x"}},
};

TEST(ParseCommandLine, SwitchesAndFolders) {
    for (const Case& c : kCases) {
        setup_test::ResetSettings();
        char text[512];
        lstrcpyA(text, c.commandLine);
        ParseCommandLine(text, InstallFolder);
        const Settings got = Current();
        const Settings& want = c.expected;
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(want.ask, got.ask);
        EXPECT_EQ(want.passPath, got.passPath);
        EXPECT_EQ(want.verify, got.verify);
        EXPECT_EQ(want.useRegistry, got.useRegistry);
        EXPECT_EQ(want.verbDR, got.verbDR);
        EXPECT_EQ(want.verbAutoUp, got.verbAutoUp);
        EXPECT_EQ(want.filesOnly, got.filesOnly);
        EXPECT_STREQ(want.folder, got.folder);
    }
}

// An argument longer than the folder buffer never overflows it: the folder
// keeps its first 259 bytes, and the dialog is made editable even after /S
// so the user sees it; a later argument that fits replaces it.
TEST(ParseCommandLine, TooLongFolderIsCutAndShown) {
    const std::string longFolder = "C:\\" + std::string(400, 'a');
    struct LongCase {
        std::string commandLine;
        int ask;
        std::string folder;
    } cases[] = {
        {longFolder, 1, longFolder.substr(0, 259)},
        {"/S " + longFolder, 1, longFolder.substr(0, 259)},
        {longFolder + " /S", 1, longFolder.substr(0, 259)},
        {longFolder + " C:\\Short /S", 0, "C:\\Short"},
        {"C:\\" + std::string(256, 'b'), 1, "C:\\" + std::string(256, 'b')}, // 259: fits
    };
    for (const LongCase& c : cases) {
        setup_test::ResetSettings();
        std::string text = c.commandLine;
        ParseCommandLine(&text[0], InstallFolder);
        SCOPED_TRACE(c.commandLine.substr(0, 20));
        EXPECT_EQ(c.ask, Package.AskForFolder);
        EXPECT_EQ(c.folder, std::string(InstallFolder));
    }
}

// The installer's entry hands WinMain the command line after the program's
// name: a quoted name may hold blanks, an unquoted one ends at the first
// character up to the blank, and the blanks after the name are skipped.
// Characters compare as signed, so a byte of 0x80 or above counts as a
// blank outside quotes.
TEST(CommandLineArguments, ProgramNameAndBlanksAreSkipped) {
    struct NameCase {
        const char* commandLine;
        const char* arguments;
    } cases[] = {
        {"setup.exe", ""},
        {"setup.exe /S C:\\Target", "/S C:\\Target"},
        {"\"C:\\My Files\\setup.exe\" /S", "/S"},
        {"\"C:\\My Files\\setup.exe\"/S", ""},
        {"C:\\a\"b c\"d.exe  \t /R", "/R"},
        {"\"unterminated name /S", ""},
        {"setup.exe \t\r\n", ""},
        {"  /S", "/S"},
        {"", ""},
        {"set\xE9up.exe /S", "up.exe /S"},
        {"setup.exe \xC4\xE9\\x /R", "\\x /R"},
        {"\"set\xE9up.exe\" /S", "/S"},
        {"setup.exe \x01\x1F/Z", "/Z"},
    };
    for (const NameCase& c : cases) {
        char text[128];
        lstrcpyA(text, c.commandLine);
        const char* arguments = CommandLineArguments(text);
        SCOPED_TRACE(c.commandLine);
        EXPECT_GE(arguments, text);
        EXPECT_STREQ(c.arguments, arguments);
    }
}

} // namespace
