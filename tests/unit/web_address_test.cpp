// Which texts the launcher hands to the web browser (qel.vm.download.url): web
// addresses only, so that the setting can never name a program to start.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/web_address.h"
#include "settings/property_table.h"
#include "settings/settings.h"

using namespace qel;

TEST(WebAddress, OnlyHttpsAndHttpAddresses)
{
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"https://example.com", true},
        {L"http://example.com/java?from=shop&lang=de#top", true},
        {L"HTTPS://Example.com/Java", true},
        {L"hTtP://x", true},
        {L"https://[::1]:8443/java", true},
        {L"https://example.com/caf\u00e9", true},
        {L"", false},
        {L"https://", false},
        {L"http://", false},
        {L"https:///C:/windows/notepad.exe", false},
        {L"https:example.com", false},
        {L"http:/example.com", false},
        {L" https://example.com", false},
        {L"https://example.com/a b", false},
        {L"https://example.com/\t", false},
        {L"https://example.com/\x7f", false},
        {L"file:///C:/windows/notepad.exe", false},
        {L"C:\\windows\\notepad.exe", false},
        {L"notepad.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"//server/share/setup.exe", false},
        {L"ftp://example.com", false},
        {L"javascript:alert(1)", false},
        {L"httpsx://example.com", false},
    };
    for (const auto& [text, accepted] : rows) {
        EXPECT_EQ(isWebAddress(text), accepted) << std::string(text, text + std::char_traits<wchar_t>::length(text));
    }
}

TEST(WebAddress, TheDownloadSetting)
{
    PropertyTable table;
    EXPECT_EQ(vmDownloadUrl(table), L"");
    EXPECT_TRUE(vmDownloadUrlAcceptable(table));
    for (const auto& [url, acceptable] : {std::pair<const wchar_t*, bool>{L"", true},
                                          {L"https://example.com/java", true},
                                          {L"file:///C:/x.exe", false},
                                          {L"C:\\x.exe", false}}) {
        table.set(L"qel.vm.download.url", url);
        EXPECT_EQ(vmDownloadUrl(table), url);
        EXPECT_EQ(vmDownloadUrlAcceptable(table), acceptable);
    }
    EXPECT_EQ(invalidDownloadUrlText(L"Invalid."),
              L"Invalid.\n\nqel.vm.download.url must be an https:// or http:// address.");
}
