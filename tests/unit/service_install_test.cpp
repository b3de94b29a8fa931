// The rules of installing and removing the launcher's service from its command
// line: which command the arguments ask for, which names and start types are
// taken, what the service manager is given, and what the user is told.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "launch/command_line.h"
#include "service/service_command.h"
#include "settings/property_table.h"
#include "support/property_tables.h"

using namespace qel;
using qel::test::tableOf;

namespace {

std::string narrowAscii(std::wstring_view text)
{
    return std::string(text.begin(), text.end());
}

}  // namespace

TEST(ServiceInstall, CommandFromTheArguments)
{
    struct Row {
        std::vector<WString> arguments;
        std::optional<ServiceCommandKind> kind;
        const wchar_t* name;
    };
    const Row rows[] = {
        {{L"Shop.exe", L"-kwqelinstall", L"ShopService"}, ServiceCommandKind::Install, L"ShopService"},
        {{L"Shop.exe", L"-kwqeluninstall", L"ShopService"}, ServiceCommandKind::Uninstall, L"ShopService"},
        {{L"Shop.exe", L"-kwqelstart", L"ShopService"}, ServiceCommandKind::Start, L"ShopService"},
        {{L"Shop.exe", L"-kwqelstop", L"ShopService"}, ServiceCommandKind::Stop, L"ShopService"},
        {{L"Shop.exe", L"-kwqelrestart", L"ShopService"}, ServiceCommandKind::Restart, L"ShopService"},
        {{L"Shop.exe", L"-kwqelstatus", L"ShopService"}, ServiceCommandKind::Status, L"ShopService"},
        {{L"Shop.exe", L"-kwqelstatus", L"-kwqelstop", L"X"}, ServiceCommandKind::Status, L"-kwqelstop"},
        {{L"Shop.exe", L"-kwqelstop"}, ServiceCommandKind::Stop, L""},
        // Anywhere after the launcher's own path; the first switch wins.
        {{L"Shop.exe", L"-x", L"-kwqeluninstall", L"A", L"-kwqelinstall", L"B"}, ServiceCommandKind::Uninstall, L"A"},
        // Without a name the command stays, with an empty name that is refused.
        {{L"Shop.exe", L"-kwqelinstall"}, ServiceCommandKind::Install, L""},
        // The launcher's own path is never the switch; the case is exact.
        {{L"-kwqelinstall", L"X"}, std::nullopt, L""},
        {{L"Shop.exe", L"-KWQELINSTALL", L"X"}, std::nullopt, L""},
        {{L"Shop.exe", L"-kwqelstarts", L"X"}, std::nullopt, L""},
        {{L"Shop.exe", L"-kwqelStatus", L"X"}, std::nullopt, L""},
        {{L"Shop.exe", L"-kwqelservice", L"X"}, std::nullopt, L""},
        {{}, std::nullopt, L""},
    };
    for (const Row& row : rows) {
        const auto command = serviceCommandFrom(row.arguments);
        ASSERT_EQ(command.has_value(), row.kind.has_value()) << narrowAscii(row.name);
        if (command) {
            EXPECT_EQ(command->kind, *row.kind);
            EXPECT_EQ(command->name, row.name);
            EXPECT_FALSE(command->passwordVariableGiven);
        }
    }
}

// An install keeps the arguments after the name, and after "--password-env
// VAR", for the application; the other commands keep none.
TEST(ServiceInstall, ArgumentsForTheApplication)
{
    struct Row {
        std::vector<WString> arguments;
        std::vector<WString> kept;
    };
    const Row rows[] = {
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"-port", L"8080"}, {L"-port", L"8080"}},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--password-env", L"PW", L"-port"}, {L"-port"}},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"-port", L"--password-env", L"PW"},
         {L"-port", L"--password-env", L"PW"}},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--password-env"}, {}},
        {{L"Shop.exe", L"-kwqelinstall", L"S"}, {}},
        {{L"Shop.exe", L"-kwqeluninstall", L"S", L"-port"}, {}},
        // Only what follows the switch.
        {{L"Shop.exe", L"-x", L"-kwqelinstall", L"S", L""}, {L""}},
    };
    for (const Row& row : rows) {
        const auto command = serviceCommandFrom(row.arguments);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->arguments, row.kept) << narrowAscii(row.arguments.back());
    }
}

// The stored command line holds the program and the service's name only; the
// arguments are stored beside it, each as the launcher's own split reads it
// back, and the service's run takes them after its own, as typed.
TEST(ServiceInstall, ArgumentsStoredBesideTheCommandLine)
{
    const wchar_t* const exe = LR"(C:\Program Files\Shop\Shop.exe)";
    struct Row {
        std::vector<WString> arguments;
        const wchar_t* stored;
        bool console;
    };
    const Row rows[] = {
        {{}, L"", false},
        {{L"-port", L"8080"}, L"-port 8080", false},
        {{L"two words", L"", LR"(say"hi)", LR"("quoted")", LR"(C:\My Dir\)", LR"(-Dx="a b")"},
         LR"("two words" "" say"hi ""quoted"" "C:\My Dir\" "-Dx="a b"")", false},
        {{L"", L"x"}, LR"("" x)", false},
        {{L"%PATH%", L"x%windir%y", L"%TEMP% %"}, LR"(%PATH% x%windir%y "%TEMP% %")", false},
        {{L"-i", L"console", L"-kwqelservicex"}, L"-i console -kwqelservicex", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrowAscii(row.stored));
        const auto planned = planServiceInstall(L"Shop", exe, PropertyTable(), row.arguments);
        ASSERT_TRUE(planned.plan.has_value());
        EXPECT_EQ(planned.plan->commandLine, LR"("C:\Program Files\Shop\Shop.exe" -kwqelservice Shop)");
        EXPECT_EQ(planned.plan->arguments, row.stored);
        EXPECT_TRUE(isLauncherService(planned.plan->commandLine, L"Shop"));

        const CommandLine run =
            withStoredArguments(CommandLine::split(planned.plan->commandLine), planned.plan->arguments);
        EXPECT_TRUE(run.serviceRequested);
        EXPECT_EQ(run.serviceName, L"Shop");
        EXPECT_EQ(run.consoleRequested, row.console);
        std::vector<WString> expected = {exe};
        expected.insert(expected.end(), row.arguments.begin(), row.arguments.end());
        EXPECT_EQ(run.arguments, expected);
    }
}

// The service manager expands %NAME% in the command line it stores: the path
// it names is one the expansion leaves as it is, or none.
TEST(ServiceInstall, ImagePathTheExpansionLeavesAsItIs)
{
    // Expands the variables of a small environment as ExpandEnvironmentStringsW
    // does: a reference to an unknown name stays, % signs and all, and the
    // scan goes on after it.
    const auto expand = [](std::wstring_view text) {
        const std::vector<std::pair<WString, WString>> variables = {{L"windir", L"C:\\windows"}, {L"TEMP", L"C:\\t"}};
        WString result;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t open = text.find(L'%', at);
            const std::size_t close = open == std::wstring_view::npos ? open : text.find(L'%', open + 1);
            if (close == std::wstring_view::npos) {
                result += text.substr(at);
                break;
            }
            result += text.substr(at, open - at);
            const std::wstring_view name = text.substr(open + 1, close - open - 1);
            const auto found = std::find_if(variables.begin(), variables.end(),
                                            [&](const auto& variable) { return variable.first == name; });
            result += found != variables.end() ? found->second : WString(text.substr(open, close - open + 1));
            at = close + 1;
        }
        return result;
    };
    struct Row {
        const wchar_t* executable;
        const wchar_t* serviceName;
        std::optional<WString> path;
    };
    const Row rows[] = {
        {LR"(C:\Shop\Shop.exe)", L"Shop", WString(LR"(C:\Shop\Shop.exe)")},
        {LR"(C:\Shop 100%\Shop.exe)", L"Shop", WString(LR"(C:\Shop 100%\Shop.exe)")},
        {LR"(C:\a%b%c\Shop.exe)", L"Shop", WString(LR"(C:\a%b%c\Shop.exe)")},
        {LR"(C:\x%windir%y\Shop.exe)", L"Shop", WString(LR"(C:\%_=\..\x%windir%y\Shop.exe)")},
        {LR"(C:\x%windir%y %TEMP%z\Shop.exe)", L"Shop", WString(LR"(C:\%_=\..\x%windir%y %TEMP%z\Shop.exe)")},
        {LR"(\\server\share\%TEMP%\Shop.exe)", L"Shop", WString(LR"(\\server\share\%_=\..\%TEMP%\Shop.exe)")},
        // Either way a pair of the folder's names a variable.
        {LR"(C:\%windir%TEMP%windir%\Shop.exe)", L"Shop", std::nullopt},
        // The name is the service's: it cannot move.
        {LR"(C:\Shop\Shop.exe)", L"%windir%", std::nullopt},
        // No root to put the component after.
        {LR"(Shop%windir%\Shop.exe)", L"Shop", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrowAscii(row.executable));
        EXPECT_EQ(serviceImagePath(row.executable, row.serviceName, expand), row.path);
    }
}

// With a log directory, a name whose logs would be devices is refused.
TEST(ServiceInstall, NamesWhoseLogsWouldBeDevices)
{
    for (const wchar_t* name : {L"CON", L"con", L"NUL", L"Aux", L"PRN", L"COM1", L"lpt9", L"CONIN$", L"con.x"}) {
        EXPECT_TRUE(logsWouldBeDevices(name)) << narrowAscii(name);
    }
    for (const wchar_t* name : {L"Shop", L"CONSOLE", L"COM", L"NULL", L"xcon", L"drivers", L"."}) {
        EXPECT_FALSE(logsWouldBeDevices(name)) << narrowAscii(name);
    }
    EXPECT_EQ(deviceLogsText(L"CON"),
              L"Installing the service CON failed: CON is the name of a device, so the service's logs CON.out.log "
              L"and CON.err.log cannot be files in its log directory (qel.service.log.directory): give the service "
              L"another name.");
}

// A name beyond the service manager's limit is refused with the limit; another
// invalid name with what a name needs.
TEST(ServiceInstall, WhyANameIsRefused)
{
    const WString tooLong(257, L'S');
    EXPECT_FALSE(isValidServiceName(tooLong));
    EXPECT_TRUE(isValidServiceName(WString(256, L'S')));
    EXPECT_EQ(invalidServiceNameText(ServiceCommandKind::Install, tooLong, L"The name is invalid.\r\n"),
              L"Installing the service " + tooLong + L" failed: the name has 257 characters, and a service name has "
              L"at most 256.");
    EXPECT_EQ(invalidServiceNameText(ServiceCommandKind::Uninstall, L"a b", L"The name is invalid.\r\n"),
              serviceCommandFailureText(ServiceCommandKind::Uninstall, L"a b", 123, L"The name is invalid.\r\n"));
}

// An install that fails after the service was made removes it again; when that
// fails too, the text says the service stays and what removing it answered.
TEST(ServiceInstall, AServiceThatCouldNotBeRemovedAgain)
{
    EXPECT_EQ(notRemovedAgainText(L"Shop", 1072, L"The specified service has been marked for deletion.\r\n"),
              L"\nThe service Shop stays installed, but not as planned: removing it again failed: The specified "
              L"service has been marked for deletion.\nRemove it with -kwqeluninstall Shop.");
    EXPECT_EQ(notRemovedAgainText(L"Shop", 1234, L""),
              L"\nThe service Shop stays installed, but not as planned: removing it again failed: Windows error "
              L"1234\nRemove it with -kwqeluninstall Shop.");
}

// An event source is the launcher's when its message file is the program the
// service's command line starts; any other is another program's.
TEST(ServiceInstall, WhoseEventSource)
{
    const WString program = programOf(LR"("C:\Shop Floor\Shop.exe" -kwqelservice Shop)");
    EXPECT_EQ(program, LR"(C:\Shop Floor\Shop.exe)");
    EXPECT_TRUE(isLauncherEventSource(WString(LR"(C:\Shop Floor\Shop.exe)"), program));
    EXPECT_TRUE(isLauncherEventSource(WString(LR"(c:\shop floor\SHOP.EXE)"), program));
    EXPECT_FALSE(isLauncherEventSource(WString(LR"(C:\Other\other.dll)"), program));
    EXPECT_FALSE(isLauncherEventSource(std::nullopt, program));
    EXPECT_FALSE(isLauncherEventSource(WString(), WString()));
    EXPECT_EQ(foreignEventSourceText(L"Shop", WString(L"C:\\Other\\other.dll")),
              L"Installing the service Shop failed: the event source HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
              L"Services\\EventLog\\Application\\Shop is another program's (its message file is "
              L"C:\\Other\\other.dll), so it is left as it is: give the service another name.");
}

// A switch of the launcher's among them would be the service run's own (a
// second name, or an install instead of the run): refused.
TEST(ServiceInstall, NoSwitchOfTheLauncherAmongTheArguments)
{
    const std::pair<std::vector<WString>, std::optional<WString>> rows[] = {
        {{L"-port", L"8080"}, std::nullopt},
        {{}, std::nullopt},
        {{L"-x", L"-kwqelservice", L"Other"}, L"-kwqelservice"},
        {{L"-kwqelinstall", L"X"}, L"-kwqelinstall"},
        {{L"-kwqelstatus"}, L"-kwqelstatus"},
        {{L"-KWQELSERVICE", L"x -kwqelservice y"}, std::nullopt},
    };
    for (const auto& [arguments, found] : rows) {
        EXPECT_EQ(serviceSwitchAmong(arguments), found);
    }
    EXPECT_EQ(serviceSwitchArgumentText(L"Shop", L"-kwqelservice"),
              L"Installing the service Shop failed: -kwqelservice cannot be an argument of the application, because "
              L"the service's launcher would take it as its own switch.");
}

// "--password-env VAR" counts right after the name of an install only.
TEST(ServiceInstall, PasswordVariableFromTheArguments)
{
    struct Row {
        std::vector<WString> arguments;
        bool given;
        const wchar_t* variable;
    };
    const Row rows[] = {
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--password-env", L"SHOP_PW"}, true, L"SHOP_PW"},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--password-env", L"SHOP_PW", L"x"}, true, L"SHOP_PW"},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--password-env"}, true, L""},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"x", L"--password-env", L"SHOP_PW"}, false, L""},
        {{L"Shop.exe", L"-kwqelinstall", L"S", L"--PASSWORD-ENV", L"SHOP_PW"}, false, L""},
        {{L"Shop.exe", L"-kwqeluninstall", L"S", L"--password-env", L"SHOP_PW"}, false, L""},
        {{L"Shop.exe", L"-kwqelstart", L"S", L"--password-env", L"SHOP_PW"}, false, L""},
    };
    for (const Row& row : rows) {
        const auto command = serviceCommandFrom(row.arguments);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->name, L"S");
        EXPECT_EQ(command->passwordVariableGiven, row.given) << row.arguments.size();
        EXPECT_EQ(command->passwordVariable, row.variable);
    }
}

TEST(ServiceInstall, Accounts)
{
    struct Row {
        const wchar_t* text;
        std::optional<ServiceAccountKind> kind;
        const wchar_t* startName;
    };
    using K = ServiceAccountKind;
    const Row rows[] = {
        {L"", K::LocalSystem, L""},
        {L"LocalSystem", K::LocalSystem, L""},
        {L" localsystem ", K::LocalSystem, L""},
        {L"NT AUTHORITY\\SYSTEM", K::LocalSystem, L""},
        {L"LocalService", K::LocalService, L"NT AUTHORITY\\LocalService"},
        {L"nt authority\\localservice", K::LocalService, L"NT AUTHORITY\\LocalService"},
        {L"NetworkService", K::NetworkService, L"NT AUTHORITY\\NetworkService"},
        {L"NT AUTHORITY\\NetworkService", K::NetworkService, L"NT AUTHORITY\\NetworkService"},
        // The service's own account, under the service's name as written.
        {L"NT SERVICE\\ShopService", K::Virtual, L"NT SERVICE\\ShopService"},
        {L"nt service\\shopservice", K::Virtual, L"NT SERVICE\\ShopService"},
        {L"NT SERVICE\\Other", std::nullopt, L""},
        {L"NT SERVICE\\", std::nullopt, L""},
        {L"SHOP\\svc-shop", K::User, L"SHOP\\svc-shop"},
        {L".\\shop", K::User, L".\\shop"},
        {L" .\\shop ", K::User, L".\\shop"},
        {L"shop", std::nullopt, L""},
        {L"\\shop", std::nullopt, L""},
        {L"SHOP\\", std::nullopt, L""},
        {L"SHOP\\a\\b", std::nullopt, L""},
        {L"NT AUTHORITY\\Anonymous", std::nullopt, L""},
        {L"LocalSystem2", std::nullopt, L""},
    };
    for (const Row& row : rows) {
        const auto account = parseServiceAccount(row.text, L"ShopService");
        ASSERT_EQ(account.has_value(), row.kind.has_value()) << narrowAscii(row.text);
        if (account) {
            EXPECT_EQ(account->kind, *row.kind) << narrowAscii(row.text);
            EXPECT_EQ(account->startName, row.startName) << narrowAscii(row.text);
        }
    }
    EXPECT_EQ(accountLookupName(L".\\shop", L"DESK7"), L"DESK7\\shop");
    EXPECT_EQ(accountLookupName(L"SHOP\\shop", L"DESK7"), L"SHOP\\shop");
}

TEST(ServiceInstall, Dependencies)
{
    struct Row {
        const wchar_t* text;
        std::optional<std::vector<WString>> dependencies;
        WString multiString;
    };
    const Row rows[] = {
        {L"", std::vector<WString>{}, L""},
        {L" ; ;", std::vector<WString>{}, L""},
        {L"Tcpip", std::vector<WString>{L"Tcpip"}, WString(L"Tcpip\0\0", 7)},
        {L"Tcpip;MSSQLSERVER", std::vector<WString>{L"Tcpip", L"MSSQLSERVER"},
         WString(L"Tcpip\0MSSQLSERVER\0\0", 19)},
        {L" Tcpip ; +NetworkProvider ;", std::vector<WString>{L"Tcpip", L"+NetworkProvider"},
         WString(L"Tcpip\0+NetworkProvider\0\0", 24)},
        {L"My Database", std::vector<WString>{L"My Database"}, WString(L"My Database\0\0", 13)},
        {L"Tcpip;+", std::nullopt, L""},
        {L"Tcpip;a\\b", std::nullopt, L""},
        {L"a/b", std::nullopt, L""},
        {L"Tcpip;shopservice", std::nullopt, L""},
    };
    for (const Row& row : rows) {
        const auto dependencies = parseServiceDependencies(row.text, L"ShopService");
        EXPECT_EQ(dependencies, row.dependencies) << narrowAscii(row.text);
        if (dependencies) {
            EXPECT_EQ(dependenciesMultiString(*dependencies), row.multiString) << narrowAscii(row.text);
        }
    }
}

TEST(ServiceInstall, AccountAndDependenciesInThePlan)
{
    const auto planned = planServiceInstall(L"ShopService", L"C:\\Shop\\Shop.exe",
                                            tableOf({{L"qel.service.account", L"NetworkService"},
                                                     {L"qel.service.dependencies", L"Tcpip;MSSQLSERVER"}}));
    ASSERT_TRUE(planned.plan.has_value()) << narrowAscii(planned.invalidKey);
    EXPECT_EQ(planned.plan->account.kind, ServiceAccountKind::NetworkService);
    EXPECT_EQ(planned.plan->account.startName, L"NT AUTHORITY\\NetworkService");
    EXPECT_EQ(planned.plan->dependencies, (std::vector<WString>{L"Tcpip", L"MSSQLSERVER"}));

    const auto plain = planServiceInstall(L"ShopService", L"C:\\Shop\\Shop.exe", PropertyTable());
    ASSERT_TRUE(plain.plan.has_value());
    EXPECT_EQ(plain.plan->account.kind, ServiceAccountKind::LocalSystem);
    EXPECT_EQ(plain.plan->account.startName, L"");
    EXPECT_TRUE(plain.plan->dependencies.empty());

    struct Row {
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"qel.service.account", L"shop",
         L"Invalid.\n\nqel.service.account must be LocalSystem, LocalService, NetworkService, NT SERVICE\\ and the "
         L"service's name, or a user as DOMAIN\\user or .\\user."},
        {L"qel.service.dependencies", L"a\\b",
         L"Invalid.\n\nqel.service.dependencies must be names of services or +groups separated by ;, without "
         L"slashes or backslashes, and not the service itself."},
    };
    for (const Row& row : rows) {
        const auto refused = planServiceInstall(L"ShopService", L"C:\\S.exe", tableOf({{row.key, row.value}}));
        EXPECT_FALSE(refused.plan.has_value());
        EXPECT_EQ(refused.invalidKey, row.key);
        EXPECT_EQ(invalidServiceSettingText(L"Invalid.", refused.invalidKey), row.text);
    }
    EXPECT_EQ(unknownServiceAccountText(L"Invalid.", L"SHOP\\nobody"),
              L"Invalid.\n\nqel.service.account names the account SHOP\\nobody, which Windows does not know.");
}

// The service logs' size and count are refused as they would be at the
// service's start, the message naming the key and its rule.
TEST(ServiceInstall, RefusesTheLogsSizeAndCount)
{
    const struct {
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* text;
    } kRows[] = {
        {L"qel.service.log.size", L"10MB",
         L"Invalid.\n\nqel.service.log.size must be a count of bytes with an optional k, m or g, such as 10m."},
        {L"qel.service.log.size", L"10x",
         L"Invalid.\n\nqel.service.log.size must be a count of bytes with an optional k, m or g, such as 10m."},
        {L"qel.service.log.keep", L"abc", L"Invalid.\n\nqel.service.log.keep must be a count of older files from 0 to 999."},
        {L"qel.service.log.keep", L"1000", L"Invalid.\n\nqel.service.log.keep must be a count of older files from 0 to 999."},
    };
    for (const auto& row : kRows) {
        const auto refused = planServiceInstall(L"ShopService", L"C:\\S.exe", tableOf({{row.key, row.value}}));
        EXPECT_FALSE(refused.plan.has_value()) << narrowAscii(row.value);
        EXPECT_EQ(refused.invalidKey, row.key);
        EXPECT_EQ(invalidServiceSettingText(L"Invalid.", refused.invalidKey), row.text);
    }
    EXPECT_TRUE(planServiceInstall(L"ShopService", L"C:\\S.exe",
                                   tableOf({{L"qel.service.log.size", L"2G"}, {L"qel.service.log.keep", L"999"}}))
                    .plan.has_value());
}

// Only a user account takes a password: from the variable when one is named,
// else from the console twin's prompt.
TEST(ServiceInstall, WhereThePasswordComesFrom)
{
    const ServiceAccount user{ServiceAccountKind::User, L".\\shop"};
    const ServiceAccount virtualAccount{ServiceAccountKind::Virtual, L"NT SERVICE\\S"};
    ServiceCommand plain;
    plain.name = L"S";
    ServiceCommand withVariable = plain;
    withVariable.passwordVariableGiven = true;
    withVariable.passwordVariable = L"SHOP_PW";
    struct Row {
        const ServiceCommand& command;
        const ServiceAccount& account;
        bool canPrompt;
        PasswordSource source;
    };
    const Row rows[] = {
        {plain, user, true, PasswordSource::Prompt},
        {plain, user, false, PasswordSource::Unavailable},
        {withVariable, user, true, PasswordSource::Variable},
        {withVariable, user, false, PasswordSource::Variable},
        {withVariable, virtualAccount, true, PasswordSource::None},
        {plain, virtualAccount, false, PasswordSource::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(passwordSourceOf(row.command, row.account, row.canPrompt), row.source);
    }
    EXPECT_EQ(passwordPromptText(L".\\shop"), L"Password of .\\shop: ");
    ServiceCommand unnamed = withVariable;
    unnamed.passwordVariable.clear();
    const std::pair<const ServiceCommand&, const wchar_t*> texts[] = {
        {withVariable, L"Installing the service S failed: the environment variable SHOP_PW, which holds the password "
                       L"of .\\shop, is not set."},
        {unnamed, L"Installing the service S failed: --password-env needs the name of an environment variable."},
        {plain, L"Installing the service S failed: the password of .\\shop is needed: give --password-env VAR, or "
                L"install with the console twin, which asks for it."},
    };
    for (const auto& [command, text] : texts) {
        EXPECT_EQ(passwordFailureText(L"S", L".\\shop", command), text);
    }
    EXPECT_EQ(passwordFailureText(L"S", L".\\shop", plain, true),
              L"Installing the service S failed: no password of .\\shop was typed: standard input ended before a line.");
}

TEST(ServiceInstall, ServiceNames)
{
    const std::pair<WString, bool> rows[] = {
        {L"ShopService", true},     {L"Shop-Service_2.x", true}, {L"\u00c9tude", true},
        {WString(256, L'a'), true}, {WString(257, L'a'), false}, {L"", false},
        {L"Shop Service", false},   {L"Shop\tService", false},   {L"\"Shop\"", false},
        {L"Shop/Service", false},   {L"Shop\\Service", false},
    };
    for (const auto& [name, valid] : rows) {
        EXPECT_EQ(isValidServiceName(name), valid) << narrowAscii(name.substr(0, 20)) << " (" << name.size() << ")";
    }
}

TEST(ServiceInstall, StartTypes)
{
    const std::pair<const wchar_t*, std::optional<ServiceStart>> rows[] = {
        {L"demand", ServiceStart::Demand}, {L"auto", ServiceStart::Auto},       {L"delayed", ServiceStart::Delayed},
        {L" AUTO ", ServiceStart::Auto},   {L"Delayed", ServiceStart::Delayed}, {L"", std::nullopt},
        {L"automatic", std::nullopt},      {L"manual", std::nullopt},           {L"disabled", std::nullopt},
    };
    for (const auto& [text, start] : rows) {
        EXPECT_EQ(parseServiceStart(text), start) << narrowAscii(text);
    }
}

TEST(ServiceInstall, PlanWithoutSettingsIsADemandServiceUnderItsName)
{
    const auto planned = planServiceInstall(L"ShopService", L"C:\\Program Files\\Shop\\Shop.exe", PropertyTable());
    ASSERT_TRUE(planned.plan.has_value()) << narrowAscii(planned.invalidKey);
    const ServiceInstallPlan& plan = *planned.plan;
    EXPECT_EQ(plan.name, L"ShopService");
    EXPECT_EQ(plan.displayName, L"ShopService");
    EXPECT_EQ(plan.description, L"");
    // Quoted: without the quotes Windows would try C:\Program.exe first.
    EXPECT_EQ(plan.commandLine, L"\"C:\\Program Files\\Shop\\Shop.exe\" -kwqelservice ShopService");
    EXPECT_EQ(plan.start, ServiceStart::Demand);
    EXPECT_EQ(plan.restartDelayMs, 0u);
}

TEST(ServiceInstall, PlanFromTheSettings)
{
    const PropertyTable table = tableOf({
        {L"qel.service.display.name", L"Shop \u00e9 Server"},
        {L"qel.service.description", L"Serves the shop."},
        {L"qel.service.start", L"delayed"},
        {L"qel.service.restart.delay", L"60"},
    });
    const auto planned = planServiceInstall(L"ShopService", L"C:\\Shop\\Shop.exe", table);
    ASSERT_TRUE(planned.plan.has_value());
    EXPECT_EQ(planned.plan->displayName, L"Shop \u00e9 Server");
    EXPECT_EQ(planned.plan->description, L"Serves the shop.");
    EXPECT_EQ(planned.plan->start, ServiceStart::Delayed);
    EXPECT_EQ(planned.plan->restartDelayMs, 60000u);
    EXPECT_EQ(planned.plan->commandLine, L"\"C:\\Shop\\Shop.exe\" -kwqelservice ShopService");
}

// The seconds of the setting; with a delay, three restarts and the count reset
// after a day; without, no action at all.
TEST(ServiceInstall, RestartsAfterAFailure)
{
    const std::pair<const wchar_t*, std::uint32_t> rows[] = {
        {L"0", 0}, {L"-5", 0}, {L"", 0}, {L"5", 5000}, {L"999999999", 86400000}, {L" 7 ", 7000}, {L"+5", 5000},
    };
    for (const auto& [text, delayMs] : rows) {
        const auto planned = planServiceInstall(L"S", L"C:\\S.exe", tableOf({{L"qel.service.restart.delay", text}}));
        ASSERT_TRUE(planned.plan.has_value());
        EXPECT_EQ(planned.plan->restartDelayMs, delayMs) << narrowAscii(text);
        const FailureActions actions = failureActionsOf(*planned.plan);
        if (delayMs == 0) {
            EXPECT_EQ(actions.resetSeconds, 0u);
            EXPECT_TRUE(actions.restartDelaysMs.empty());
        } else {
            EXPECT_EQ(actions.resetSeconds, 86400u);
            EXPECT_EQ(actions.restartDelaysMs, std::vector<std::uint32_t>(3, delayMs));
        }
    }
}

TEST(ServiceInstall, AnUnknownStartTypeIsAnInvalidSetting)
{
    for (const wchar_t* start : {L"manual", L""}) {
        const auto planned = planServiceInstall(L"S", L"C:\\S.exe", tableOf({{L"qel.service.start", start}}));
        EXPECT_FALSE(planned.plan.has_value()) << narrowAscii(start);
        EXPECT_EQ(planned.invalidKey, L"qel.service.start");
    }
    EXPECT_EQ(invalidServiceSettingText(L"Invalid.", L"qel.service.start"),
              L"Invalid.\n\nqel.service.start must be auto, delayed or demand.");
}

// A restart delay that is no number is refused as a bad start type is, not
// read as no restart.
TEST(ServiceInstall, ARestartDelayThatIsNoNumberIsAnInvalidSetting)
{
    for (const wchar_t* delay : {L"soon", L"30s", L"1.5", L"2m", L"-", L"5 5"}) {
        const auto planned = planServiceInstall(L"S", L"C:\\S.exe", tableOf({{L"qel.service.restart.delay", delay}}));
        EXPECT_FALSE(planned.plan.has_value()) << narrowAscii(delay);
        EXPECT_EQ(planned.invalidKey, L"qel.service.restart.delay");
    }
    EXPECT_EQ(invalidServiceSettingText(L"Invalid.", L"qel.service.restart.delay"),
              L"Invalid.\n\nqel.service.restart.delay must be a whole number of seconds.");
}

TEST(ServiceInstall, WhatTheUserIsTold)
{
    struct Row {
        ServiceCommandKind kind;
        std::uint32_t error;
        const wchar_t* systemText;
        const wchar_t* text;
    };
    const Row rows[] = {
        {ServiceCommandKind::Install, 5, L"Access denied.\r\n",
         L"Installing the service Shop failed: Access denied.\nRun the command from an administrator's command prompt "
         L"(Run as administrator)."},
        {ServiceCommandKind::Install, 1073, L"The specified service already exists.\r\n",
         L"Installing the service Shop failed: The specified service already exists."},
        {ServiceCommandKind::Uninstall, 1060, L"The specified service does not exist as an installed service.\r\n",
         L"Removing the service Shop failed: The specified service does not exist as an installed service."},
        {ServiceCommandKind::Uninstall, 1234, L"", L"Removing the service Shop failed: Windows error 1234"},
        {ServiceCommandKind::Start, 1058, L"The service is disabled.\r\n",
         L"Starting the service Shop failed: The service is disabled."},
        {ServiceCommandKind::Stop, 5, L"Access denied.\r\n",
         L"Stopping the service Shop failed: Access denied.\nRun the command from an administrator's command prompt "
         L"(Run as administrator)."},
        {ServiceCommandKind::Restart, 1060, L"", L"Restarting the service Shop failed: Windows error 1060"},
        {ServiceCommandKind::Status, 123, L"Bad name.\r\n",
         L"Reading the state of the service Shop failed: Bad name.\nA service name needs at least one character, and "
         L"no blank, tab, double quote, slash or backslash."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(serviceCommandFailureText(row.kind, L"Shop", row.error, row.systemText), row.text) << row.error;
    }
    // Another service has the display name: which one it is, and its key.
    EXPECT_EQ(serviceCommandFailureText(ServiceCommandKind::Install, L"Shop", 1078,
                                        L"The name is already in use as either a service name or a service display "
                                        L"name.\r\n",
                                        L"Shop Server"),
              L"Installing the service Shop failed: The name is already in use as either a service name or a service "
              L"display name.\nAnother service already has the display name Shop Server (qel.service.display.name): "
              L"give this service another one there.");
    EXPECT_EQ(serviceCommandDoneText(ServiceCommandKind::Install, L"Shop", L"\"C:\\S.exe\" -kwqelservice Shop"),
              L"Installed the service Shop: \"C:\\S.exe\" -kwqelservice Shop\n");
    EXPECT_EQ(serviceCommandDoneText(ServiceCommandKind::Uninstall, L"Shop", L""), L"Removed the service Shop.\n");
}

// Only a launcher's service of that name is removed.
TEST(ServiceInstall, WhichServicesAreALaunchers)
{
    struct Row {
        const wchar_t* stored;
        const wchar_t* name;
        bool launchers;
    };
    const Row rows[] = {
        {L"\"C:\\Program Files\\Shop\\Shop.exe\" -kwqelservice ShopService", L"ShopService", true},
        {L"\"C:\\Program Files\\Shop\\Shop.exe\" -kwqelservice ShopService", L"shopservice", true},
        {L"C:\\Shop\\Shop.exe -kwqelservice ShopService", L"ShopService", true},  // written by hand, unquoted
        {L"\"C:\\Shop\\Shop.exe\" -kwqelservice Other", L"ShopService", false},
        {L"\"C:\\Shop\\Shop.exe\" -kwqelservice", L"ShopService", false},
        {L"C:\\windows\\system32\\svchost.exe -k netsvcs", L"ShopService", false},
        {L"", L"ShopService", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(isLauncherService(row.stored, row.name), row.launchers) << narrowAscii(row.stored);
    }
    EXPECT_EQ(notLauncherServiceText(ServiceCommandKind::Uninstall, L"Spooler", L"C:\\windows\\system32\\spoolsv.exe"),
              L"Removing the service Spooler failed: it does not run a launcher as Spooler (its command line is "
              L"C:\\windows\\system32\\spoolsv.exe), so it is left as it is.");
    // Each command that controls a service refuses another program's in its own words.
    const std::pair<ServiceCommandKind, const wchar_t*> doing[] = {
        {ServiceCommandKind::Uninstall, L"Removing"},
        {ServiceCommandKind::Start, L"Starting"},
        {ServiceCommandKind::Stop, L"Stopping"},
        {ServiceCommandKind::Restart, L"Restarting"},
        {ServiceCommandKind::Status, L"Reading the state of"},
    };
    for (const auto& [kind, words] : doing) {
        EXPECT_EQ(notLauncherServiceText(kind, L"Spooler", L"spoolsv.exe"),
                  WString(words) + L" the service Spooler failed: it does not run a launcher as Spooler (its "
                                   L"command line is spoolsv.exe), so it is left as it is.");
    }
}
