#include "acquisition/acquire_logic.h"
#include "network/service_url.h"

#include <gtest/gtest.h>

TEST(ServiceUrl, UsableOnlyWithHttpSchemeHostAndNoSpaceOrControl)
{
    const struct
    {
        std::wstring url;
        bool usable;
    } cases[] = {
        {L"http://lookup.example.jp/loc1/location", true},
        {L"HTTPS://lookup.example.jp", true},
        {L"https://user:pw@10.0.0.1:8443/loc1/location", true},
        {L"http://[::1]:8080/x", true},
        {L"http://h?x", true},
        {L"http://" + std::wstring(248, L'a'), true}, // 255 characters
        {L"http://" + std::wstring(249, L'a'), false},
        {L"", false},
        {L"ftp://lookup.example.jp/", false},
        {L"lookup.example.jp/loc1/location", false},
        {L"http:/lookup.example.jp", false},
        {L"http://", false},
        {L"https:///loc1/location", false},
        {L"http://:8080/x", false},
        {L"http://user@/x", false},
        {L"http://[]/x", false},
        {L" http://h/x", false},
        {L"http://h/a b", false},
        {L"http://h/a\u3000b", false},
        {L"http://h/x\r", false},
        {L"http://h/\tx", false},
        {L"http://h/x\u007F", false},
        {L"http://h/x\u0085", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.usable, IsUsableServiceUrl(c.url)) << ::testing::PrintToString(c.url);
    }
}

TEST(ServiceUrl, ConfiguredServiceReplacesTheBuiltInOnlyWhenUsable)
{
    const std::wstring builtIn = L"http://built.in/loc1/location";
    EXPECT_EQ(builtIn, ChooseServiceUrl(std::nullopt, builtIn));
    EXPECT_EQ(builtIn, ChooseServiceUrl(std::wstring(), builtIn));
    EXPECT_EQ(builtIn, ChooseServiceUrl(std::wstring(L"ftp://other/x"), builtIn));
    EXPECT_EQ(L"https://other/x", ChooseServiceUrl(std::wstring(L"https://other/x"), builtIn));

    EXPECT_TRUE(IsSecureUrl(L"https://h/x?my=http://a"));
    EXPECT_TRUE(IsSecureUrl(L"HTTPS://h"));
    EXPECT_FALSE(IsSecureUrl(L"http://h/x?my=https://a"));
    EXPECT_FALSE(IsSecureUrl(L"https:/h"));
}

TEST(ModulePort, NamedPortReplacesCom1UnlessEmpty)
{
    EXPECT_EQ(L"COM1:", ModuleDeviceName(std::nullopt));
    EXPECT_EQ(L"COM1:", ModuleDeviceName(std::wstring()));
    EXPECT_EQ(L"COM3:", ModuleDeviceName(std::wstring(L"COM3:")));
}
