#pragma once

// Texts the launcher must show in particular languages, shared by the unit
// tests of the resources and the end-to-end tests that read the message box.
// Non-ASCII characters are written as \u escapes so that the comparison does
// not depend on how any source file is encoded.

namespace expected {

// English (1033), the texts of the string table and the error box
inline constexpr const wchar_t* kEnglishCaption = L"Ravelin Error";
inline constexpr const wchar_t* kEnglishMissing = L"The Ravelin properties file is missing";
inline constexpr const wchar_t* kEnglishInvalid = L"The Corvane properties file contains invalid information";
inline constexpr const wchar_t* kEnglishNoVm = L"Could not find a valid Java virtual machine to load.\n\nYou may need "
                                               L"to reinstall a supported Java virtual machine.";
inline constexpr const wchar_t* kEnglishStartFailed = L"Windows error %d occured while loading the Java VM";
inline constexpr const wchar_t* kEnglishOfferDownload =
    L"Do you want to open the Java download page in your web browser?";
// The line below message 104 (in every language) that names a setting the
// launch cannot do without, missing or empty.
inline constexpr const wchar_t* kMissingMainClassLine =
    L"qel.nl.java.launcher.main.class is missing or empty: it names the Java class the VM starts.";
inline constexpr const wchar_t* kMissingVmChoiceLine =
    L"qel.nl.valid.vm.list is missing or empty, and qel.nl.current.vm names no VM either: one of them says which "
    L"Java VM runs the application.";
inline constexpr const wchar_t* kMissingClassPathLine =
    L"qel.class.path is missing or empty: it lists where the VM finds the application's classes.";
inline constexpr const wchar_t* kEmptyClassPathVariableLine =
    L"qel.class.path is empty once $ENV_CLASSPATH$ is replaced by the CLASSPATH variable, which is empty or not set.";
// Any exception other than a TerminalError, as the error box shows it.
inline constexpr const wchar_t* kUnknownExceptionBox = L"an unknown exception has occurrred.\nUnknown exception";

// German (1031)
inline constexpr const wchar_t* kGermanPropertiesMissing = L"Die Ravelin-Eigenschaftendatei fehlt";
inline constexpr const wchar_t* kGermanPropertiesInvalid =
    L"Die Corvane-Eigenschaftendatei enth\u00E4lt ung\u00FCltige Informationen";
inline constexpr const wchar_t* kGermanErrorCaption = L"Ravelin-Fehler";
inline constexpr const wchar_t* kGermanOfferDownload =
    L"M\u00F6chten Sie die Java-Downloadseite in Ihrem Webbrowser \u00F6ffnen?";

// Japanese (1041)
inline constexpr const wchar_t* kJapanesePropertiesMissing =
    L"Ravelin \u306E\u30D7\u30ED\u30D1\u30C6\u30A3 "
    L"\u30D5\u30A1\u30A4\u30EB\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093";
inline constexpr const wchar_t* kJapanesePropertiesInvalid =
    L"Corvane \u306E\u30D7\u30ED\u30D1\u30C6\u30A3 "
    L"\u30D5\u30A1\u30A4\u30EB\u306B\u7121\u52B9\u306A\u60C5\u5831\u304C\u542B\u307E\u308C\u3066\u3044\u307E\u3059";
inline constexpr const wchar_t* kJapaneseErrorCaption = L"Ravelin \u30A8\u30E9\u30FC";
inline constexpr const wchar_t* kJapaneseOfferDownload =
    L"Web \u30D6\u30E9\u30A6\u30B6\u30FC\u3067 Java \u306E\u30C0\u30A6\u30F3\u30ED\u30FC\u30C9 "
    L"\u30DA\u30FC\u30B8\u3092\u958B\u304D\u307E\u3059\u304B?";

}  // namespace expected
