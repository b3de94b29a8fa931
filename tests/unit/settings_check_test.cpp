#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "base/path_text.h"
#include "base/text.h"
#include "launch/launch_request.h"
#include "settings/properties.h"
#include "settings/settings.h"
#include "support/shared_cases.h"
#include "vm/selection.h"
#include "vm/version.h"

using namespace qel;

namespace {

// The complete settings every case's file begins with (tests/cases/settings_check.txt).
const char* const kCompleteSettings =
    "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
    "qel.application.main.class=com.example.App\r\n"
    "qel.class.path=lib/ravelin-java.jar;lib/app.jar\r\n"
    "qel.nl.valid.vm.list=J2\r\n";

const wchar_t* const kFolder = L"C:\\Apps\\Tool";
const wchar_t* const kProgram = L"C:\\Java\\bin\\javaw.exe";

PropertyTable tableOf(const std::string& bytes)
{
    PropertyTable table;
    parseProperties(table, bytes);
    return table;
}

// The application's folder: the jars of the complete settings and the case's own
// files, each folder above them too.
struct Folder {
    std::set<WString> files;
    std::set<WString> folders{kFolder};

    void add(WString relative)
    {
        const bool isFolder = !relative.empty() && relative.back() == L'/';
        WString path = WString(kFolder) + L"\\" + relative;
        for (auto& unit : path) {
            if (unit == L'/') {
                unit = L'\\';
            }
        }
        while (!path.empty() && path.back() == L'\\') {
            path.pop_back();
        }
        (isFolder ? folders : files).insert(path);
        for (auto at = path.rfind(L'\\'); at != WString::npos && at > 2; at = path.rfind(L'\\', at - 1)) {
            folders.insert(path.substr(0, at));
        }
    }
};

// The absolute form with the folder as the current directory, "." and ".." steps resolved.
WString fullPath(const WString& path, ShortNames)
{
    if (path.empty()) {
        return path;
    }
    const WString joined = isAbsolutePath(path) ? path : WString(kFolder) + L"\\" + path;
    std::vector<WString> names;
    for (const WString& name : Tokenizer(joined, L"\\/")) {
        if (name == L"..") {
            if (names.size() > 1) {
                names.pop_back();
            }
        } else if (name != L".") {
            names.push_back(name);
        }
    }
    WString result;
    for (const WString& name : names) {
        result += (result.empty() ? L"" : L"\\") + name;
    }
    return result;
}

}  // namespace

// The files the packager's settings check judges too (SettingsCheckCasesTest):
// what the launcher does with each.
TEST(SettingsCheckCases, WhatTheLauncherDoes)
{
    const auto cases = test::readSharedCases("settings_check.txt");
    ASSERT_GT(cases.size(), 25u);
    const PropertyTable complete = tableOf(kCompleteSettings);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = kCompleteSettings;
        for (const auto& line : c.all("line")) {
            bytes += test::bytesOf(line.at(0)) + "\r\n";
        }
        const PropertyTable table = tableOf(bytes);
        Folder folder;
        folder.add(L"lib/ravelin-java.jar");
        folder.add(L"lib/app.jar");
        for (const auto& file : c.all("file")) {
            folder.add(file.at(0));
        }

        int launcherLines = 0;
        EXPECT_EQ(!settingsComplete(table, L""), !c.all("refused").empty());
        launcherLines += static_cast<int>(c.all("refused").size());

        const std::vector<WString> tokens = Tokenizer(setting(table, keys::validVmList), L" ").tokens();
        for (const auto& token : c.all("token")) {
            ++launcherLines;
            EXPECT_NE(std::find(tokens.begin(), tokens.end(), token.at(0)), tokens.end()) << toUtf8(token.at(0));
            EXPECT_EQ(toUtf8(unusualTokenReading(token.at(0)).value_or(L"as written")), toUtf8(token.at(1)));
        }

        LaunchInputs in(table);
        in.classPathText = classPath(table, L"");
        in.propertiesName = L"Tool.qel";
        in.handoffPath = L"C:\\Temp\\qel3F.tmp";
        in.arguments = {WString(kFolder) + L"\\Tool.exe"};
        in.fullPath = fullPath;
        const LaunchRequest request = fillLaunchRequest(in).request;
        const WString line = renderCommandLine(VmFamily::J2, kProgram, L"C:\\Java", request);
        const WString program = L"\"" + WString(kProgram) + L"\"";
        for (const auto& options : c.all("options")) {
            ++launcherLines;
            const auto end = line.find(L" -classpath ");
            ASSERT_NE(end, WString::npos) << toUtf8(line);
            EXPECT_EQ(toUtf8(line.substr(program.size(), end - program.size())), toUtf8(options.at(0)));
        }
        for (const auto& classPathText : c.all("classpath")) {
            ++launcherLines;
            EXPECT_NE(line.find(L" -classpath " + classPathText.at(0) + L" "), WString::npos) << toUtf8(line);
        }
        for (const auto& mainClass : c.all("main")) {
            ++launcherLines;
            const WString ending = L" " + mainClass.at(0) + L" " + buildArgumentTail(request);
            EXPECT_TRUE(line.size() > ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
                << toUtf8(line);
        }
        for (const auto& directory : c.all("directory")) {
            ++launcherLines;
            EXPECT_EQ(toUtf8(request.workingDir), toUtf8(directory.at(0)));
        }
        for (const auto& named : c.all("program")) {
            ++launcherLines;
            const FileSystemProbes files{
                [&folder](const WString& path) { return folder.files.count(path) + folder.folders.count(path) > 0; },
                [&folder](const WString& path) { return folder.folders.count(path) > 0; },
                [&folder](const WString& path) { return folder.files.count(path) > 0 ? 1 : -1; },
                fullPath,
            };
            VmRequest vmRequest;
            vmRequest.settingVm = setting(table, keys::currentVm);
            vmRequest.validVmList = setting(table, keys::validVmList);
            vmRequest.propertiesPath = WString(kFolder) + L"\\Tool.qel";
            const WString chosen = namedProgram(vmRequest, files);
            EXPECT_EQ(toUtf8(chosen.empty() ? WString(L"none") : chosen), toUtf8(named.at(0)));
        }
        for (const auto& key : c.all("unread")) {
            ++launcherLines;
            // A key no accessor reads is not read, whatever the table holds.
            const bool known = std::any_of(std::begin(keys::all), std::end(keys::all),
                                           [&key](const SettingKey& k) { return k.name == key.at(0); });
            if (!known) {
                continue;
            }
            const auto read = table.entries().find(key.at(0));
            const auto before = complete.entries().find(key.at(0));
            EXPECT_EQ(read == table.entries().end(), before == complete.entries().end()) << toUtf8(key.at(0));
            if (read != table.entries().end() && before != complete.entries().end()) {
                EXPECT_EQ(toUtf8(read->second), toUtf8(before->second));
            }
        }
        EXPECT_GT(launcherLines, 0) << "the case says nothing of the launcher";
    }
}
