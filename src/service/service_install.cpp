#include "service/service_install.h"

#include <string>

#include "base/text.h"
#include "launch/command_line.h"
#include "settings/properties.h"
#include "settings/settings.h"

namespace qel {

namespace {

constexpr std::wstring_view kInstallSwitch = L"-kwqelinstall";
constexpr std::wstring_view kUninstallSwitch = L"-kwqeluninstall";
// CreateServiceW refuses longer names.
constexpr std::size_t kMaxServiceNameUnits = 256;

}  // namespace

std::optional<ServiceCommand> serviceCommandFrom(const std::vector<WString>& arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const bool install = arguments[i] == kInstallSwitch;
        if (install || arguments[i] == kUninstallSwitch) {
            return ServiceCommand{install ? ServiceCommandKind::Install : ServiceCommandKind::Uninstall,
                                  i + 1 < arguments.size() ? arguments[i + 1] : WString()};
        }
    }
    return std::nullopt;
}

bool isValidServiceName(std::wstring_view name)
{
    return !name.empty() && name.size() <= kMaxServiceNameUnits && name.find_first_of(L" \t\"/\\") == WString::npos;
}

std::optional<ServiceStart> parseServiceStart(std::wstring_view text)
{
    const WString word = toLowerAscii(trimControl(text));
    if (word == L"demand") {
        return ServiceStart::Demand;
    }
    if (word == L"auto") {
        return ServiceStart::Auto;
    }
    if (word == L"delayed") {
        return ServiceStart::Delayed;
    }
    return std::nullopt;
}

WString installedCommandLine(std::wstring_view executablePath, std::wstring_view serviceName)
{
    return L"\"" + WString(executablePath) + L"\" " + WString(kServiceSwitch) + L" " + WString(serviceName);
}

InstallPlanResult planServiceInstall(std::wstring_view serviceName, std::wstring_view executablePath,
                                     const PropertyTable& properties)
{
    const auto start = parseServiceStart(setting(properties, keys::serviceStart));
    if (!start) {
        return InstallPlanResult{std::nullopt, keys::serviceStart.name};
    }
    ServiceInstallPlan plan;
    plan.name = WString(serviceName);
    plan.displayName = setting(properties, keys::serviceDisplayName);
    if (plan.displayName.empty()) {
        plan.displayName = plan.name;
    }
    plan.description = setting(properties, keys::serviceDescription);
    plan.commandLine = installedCommandLine(executablePath, serviceName);
    plan.start = *start;
    plan.restartDelayMs = serviceRestartDelayMs(properties);
    return InstallPlanResult{std::move(plan), WString()};
}

FailureActions failureActionsOf(const ServiceInstallPlan& plan)
{
    if (plan.restartDelayMs == 0) {
        return FailureActions{};
    }
    constexpr std::uint32_t kDaySeconds = 24 * 60 * 60;
    return FailureActions{kDaySeconds, std::vector<std::uint32_t>(kRestartAttempts, plan.restartDelayMs)};
}

WString invalidServiceSettingText(std::wstring_view invalidMessage, std::wstring_view key)
{
    return WString(invalidMessage) + L"\n\n" + WString(key) + L" must be auto, delayed or demand.";
}

WString serviceCommandFailureText(ServiceCommandKind kind, std::wstring_view serviceName, std::uint32_t error,
                                  std::wstring_view systemText)
{
    WString text = (kind == ServiceCommandKind::Install ? L"Installing the service " : L"Removing the service ") +
                   WString(serviceName) + L" failed: ";
    const std::wstring_view reason = withoutLineEnd(systemText);
    text += reason.empty() ? L"Windows error " + std::to_wstring(error) : WString(reason);
    if (error == service_error::kAccessDenied) {
        text += L"\nRun the command from an administrator's command prompt (Run as administrator).";
    } else if (error == service_error::kInvalidName) {
        text += L"\nA service name needs at least one character, and no blank, tab, double quote, slash or "
                L"backslash.";
    }
    return text;
}

bool isLauncherService(std::wstring_view storedCommandLine, std::wstring_view serviceName)
{
    const CommandLine line = CommandLine::split(storedCommandLine);
    return line.serviceRequested && toLowerAscii(line.serviceName) == toLowerAscii(serviceName);
}

WString notLauncherServiceText(std::wstring_view serviceName, std::wstring_view storedCommandLine)
{
    return L"Removing the service " + WString(serviceName) + L" failed: it does not run a launcher as " +
           WString(serviceName) + L" (its command line is " + WString(storedCommandLine) +
           L"), so it is left as it is.";
}

WString serviceCommandDoneText(ServiceCommandKind kind, std::wstring_view serviceName, std::wstring_view commandLine)
{
    if (kind == ServiceCommandKind::Install) {
        return L"Installed the service " + WString(serviceName) + L": " + WString(commandLine) + L"\n";
    }
    return L"Removed the service " + WString(serviceName) + L".\n";
}

}  // namespace qel
