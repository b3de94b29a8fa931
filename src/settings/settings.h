#pragma once

// The vocabulary of the properties file: one accessor per key, each reading the
// table with the key's fixed default and applying the parse of its type. Nothing
// is cached; every call sees the table as read.

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "base/wstring.h"
#include "settings/property_table.h"

namespace qel {

struct SettingKey {
    const wchar_t* name;
    const wchar_t* defaultValue;
};

// Every key the launcher reads, with the text used when the key is absent.
namespace keys {
inline constexpr SettingKey currentVm{L"qel.nl.current.vm", L""};
inline constexpr SettingKey validVmList{L"qel.nl.valid.vm.list", L""};
inline constexpr SettingKey mainClass{L"qel.nl.java.launcher.main.class", L""};
inline constexpr SettingKey classPath{L"qel.class.path", L""};
inline constexpr SettingKey userDir{L"qel.user.dir", L""};
inline constexpr SettingKey applicationName{L"qel.application.name", L"Ravelin"};
inline constexpr SettingKey stdoutRedirect{L"qel.stdout.redirect", L""};
inline constexpr SettingKey stderrRedirect{L"qel.stderr.redirect", L""};
inline constexpr SettingKey verifyMode{L"qel.nl.java.option.verify.mode", L""};
inline constexpr SettingKey verbose{L"qel.nl.java.option.verbose", L""};
inline constexpr SettingKey gcExtent{L"qel.nl.java.option.garbage.collection.extent", L""};
inline constexpr SettingKey gcBackgroundThread{L"qel.nl.java.option.garbage.collection.background.thread", L""};
inline constexpr SettingKey debugging{L"qel.nl.java.option.debugging", L""};
inline constexpr SettingKey compiler{L"qel.nl.java.option.compiler", L""};
inline constexpr SettingKey additionalOptions{L"qel.nl.java.option.additional", L""};
inline constexpr SettingKey heapInitial{L"qel.nl.java.option.java.heap.size.initial", L"0"};
inline constexpr SettingKey heapMax{L"qel.nl.java.option.java.heap.size.max", L"0"};
inline constexpr SettingKey consolePause{L"qel.win32.console.pause", L""};
inline constexpr SettingKey msvmMinVersion{L"qel.nl.win32.microsoftvm.min.version", L"0"};
// Service mode: seconds a stop waits for the Java program to end after asking it
// to on its standard input; 0 ends the VM at once.
inline constexpr SettingKey serviceStopTimeout{L"qel.service.stop.timeout", L"0"};
// Installing the service (-kwqelinstall NAME): the name Windows shows (empty: the
// service's name), its description, how it starts ("auto", "delayed" or
// "demand") and the seconds after which the service manager starts it again
// when it failed (0: no restart).
inline constexpr SettingKey serviceDisplayName{L"qel.service.display.name", L""};
inline constexpr SettingKey serviceDescription{L"qel.service.description", L""};
inline constexpr SettingKey serviceStart{L"qel.service.start", L"demand"};
inline constexpr SettingKey serviceRestartDelay{L"qel.service.restart.delay", L"0"};
// The account the installed service runs as, and the services it needs
// (separated by ";").
inline constexpr SettingKey serviceAccount{L"qel.service.account", L"LocalSystem"};
inline constexpr SettingKey serviceDependencies{L"qel.service.dependencies", L""};
// The page where a user without an acceptable Java VM can download one: offered
// below message 101. Only https:// and http:// addresses are taken
// (isWebAddress of base/web_address.h).
inline constexpr SettingKey vmDownloadUrl{L"qel.vm.download.url", L""};
// A switch: a second start of the application (the same properties file, in the
// same session) starts no VM and brings the first one's windows to the front.
inline constexpr SettingKey singleInstance{L"qel.single.instance", L""};
// Service mode: the directory (relative ones count from the properties file's
// directory) where the launcher writes the VM's standard output and error, to
// NAME.out.log and NAME.err.log; empty: the launcher writes no logs. A log file
// that reaches the size becomes NAME.out.1.log (the newest of the older files),
// and of the older files the newest "keep" stay.
inline constexpr SettingKey serviceLogDirectory{L"qel.service.log.directory", L""};
inline constexpr SettingKey serviceLogSize{L"qel.service.log.size", L"10m"};
inline constexpr SettingKey serviceLogKeep{L"qel.service.log.keep", L"5"};
// A switch: the VM gets a per-user class-data archive of the application, which
// it makes on the first start and maps at later ones (Java 19 and later).
inline constexpr SettingKey classDataArchive{L"qel.nl.java.option.class.data.archive", L""};

// clang-format off
inline constexpr SettingKey all[] = {
    currentVm,      validVmList,        mainClass,         classPath,   userDir,  applicationName,
    stdoutRedirect, stderrRedirect,     verifyMode,        verbose,     gcExtent, gcBackgroundThread,
    debugging,      compiler,           additionalOptions, heapInitial, heapMax,  consolePause,
    msvmMinVersion, serviceStopTimeout,
    serviceDisplayName, serviceDescription, serviceStart, serviceRestartDelay, vmDownloadUrl, singleInstance,
    serviceLogDirectory, serviceLogSize, serviceLogKeep,
    serviceAccount, serviceDependencies, classDataArchive,
};
// clang-format on
}  // namespace keys

// The stored text of a key, or its default when absent.
WString setting(const PropertyTable& table, const SettingKey& key);

// A count of bytes with an optional final k (1024) or m (1048576), any case, in
// 64 bits: 2048m is 2147483648. Beyond 64 bits the count stays at the limit.
std::int64_t parseByteSize(std::wstring_view text);

// The generic switch: "true", "on" or "t" after lower-casing.
bool parseSwitch(std::wstring_view text);

// The first "$ENV_CLASSPATH$" replaced by the given CLASSPATH value; later markers
// and the inserted text are left as they are.
WString substituteClassPath(std::wstring_view text, std::wstring_view classPathVariable);

// Typed accessors.
WString currentVm(const PropertyTable& table);
WString validVmList(const PropertyTable& table);
WString mainClass(const PropertyTable& table);
// The class path with its first $ENV_CLASSPATH$ replaced by the value of the
// CLASSPATH variable (expanded, as the environment gives it).
WString classPath(const PropertyTable& table, std::wstring_view classPathVariable);
WString userDir(const PropertyTable& table);
WString applicationName(const PropertyTable& table);
WString stdoutRedirect(const PropertyTable& table);
WString stderrRedirect(const PropertyTable& table);
bool verifyMode(const PropertyTable& table);
WString verbose(const PropertyTable& table);
WString gcExtent(const PropertyTable& table);
bool gcBackgroundThread(const PropertyTable& table);
bool debugging(const PropertyTable& table);
bool compiler(const PropertyTable& table);
WString additionalOptions(const PropertyTable& table);
std::int64_t heapInitial(const PropertyTable& table);
std::int64_t heapMax(const PropertyTable& table);
// The pause switch: "true", "yes" or "on" after lower-casing ("t" is not one).
bool consolePause(const PropertyTable& table);
std::int32_t msvmMinVersion(const PropertyTable& table);
// A setting of seconds, in milliseconds; a negative or absent setting is 0, a
// huge one at most a day.
std::uint32_t secondsSettingMs(const PropertyTable& table, const SettingKey& key);
std::uint32_t serviceStopTimeoutMs(const PropertyTable& table);
// The restart delay as a setting of seconds; none when the value, blanks around
// it aside, is neither empty nor a sign and digits (installing refuses it).
std::optional<std::uint32_t> serviceRestartDelayMs(const PropertyTable& table);

bool singleInstance(const PropertyTable& table);

// The service's log directory as written (empty: no logs).
WString serviceLogDirectory(const PropertyTable& table);
// The size at which a service log file is rotated, in bytes: digits with an
// optional k, m or g in any case (blanks around aside); empty or 0 reads as the
// default, 10m. None for any other value, which the service refuses.
std::optional<std::int64_t> serviceLogSize(const PropertyTable& table);
// How many older files of each service log are kept: 0 to kMaxServiceLogKeep
// in digits (blanks around aside; empty reads as the default, 5). None for any
// other value, which the service refuses.
inline constexpr std::int32_t kMaxServiceLogKeep = 999;
std::optional<std::int32_t> serviceLogKeep(const PropertyTable& table);
// The first of the service logs' settings that is refused, by its key; none
// when the service takes both. Installing the service and its start refuse it
// with message 104.
std::optional<WString> refusedServiceLogKey(const PropertyTable& table);
// The rule of a service log's setting (serviceLogSize, serviceLogKeep), after
// message 104's text.
WString invalidServiceLogText(std::wstring_view invalidMessage, std::wstring_view key);

// The download page of qel.vm.download.url; empty when none is set.
WString vmDownloadUrl(const PropertyTable& table);

// Whether the download page can be offered: none is set, or it is a web address
// (isWebAddress). Any other value (a file: address, a program, a UNC path, an
// address too long or with a character a URL may not hold) is invalid settings,
// so the setting can never start a program nor open another page than the box
// shows.
bool vmDownloadUrlAcceptable(const PropertyTable& table);

// The text of message 104 for a download page that is not a web address.
WString invalidDownloadUrlText(std::wstring_view invalidMessage);

// False when the main class is empty, when both VM settings are empty, or when
// the class path is empty after $ENV_CLASSPATH$ was replaced by the CLASSPATH
// variable's value.
bool settingsComplete(const PropertyTable& properties, std::wstring_view classPathVariable);

// The first of the launcher's keys whose value holds U+0000 (from "\u0000", or a
// "\u" without digits), which no command line, path or title can carry: Windows
// would end the text there. None when no value holds one.
std::optional<WString> keyHoldingNul(const PropertyTable& properties);

// The text of message 104 for such a key: the message, then a line naming the key.
WString nulSettingText(std::wstring_view invalidMessage, std::wstring_view key);

}  // namespace qel
