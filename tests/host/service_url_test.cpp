#include "network/service_url.h"

#include <gtest/gtest.h>

TEST(ServiceUrl, UsableOnlyWithHttpSchemeHostAndNoSpaceOrControl)
{
    for (const std::wstring url : {L"http://lookup.example.jp/loc1/location", L"HTTPS://h",
                                   L"https://u:p@10.0.0.1:8443/x", L"http://[::1]:8080/x", L"http://h?x"}) {
        EXPECT_TRUE(IsUsableServiceUrl(url)) << ::testing::PrintToString(url);
    }
    for (const std::wstring url : {L"", L"ftp://h/", L"h/loc1/location", L"http:/h", L"http://", L"https:///x",
                                   L"http://:8080/x", L"http://u@/x", L"http://[]/x", L" http://h/x", L"http://h/a b",
                                   L"http://h/a\u3000b", L"http://h/x\r", L"http://h/x\u007F", L"http://h/x\u0085"}) {
        EXPECT_FALSE(IsUsableServiceUrl(url)) << ::testing::PrintToString(url);
    }
    EXPECT_TRUE(IsUsableServiceUrl(L"http://" + std::wstring(248, L'a'))); // 255 characters
    EXPECT_FALSE(IsUsableServiceUrl(L"http://" + std::wstring(249, L'a')));
}

TEST(ServiceUrl, AConfiguredServiceIsAskedOrNothingIs)
{
    const std::wstring builtIn = L"http://built.in/loc1/location";
    EXPECT_EQ(&builtIn, ChooseServiceUrl(std::nullopt, builtIn));
    EXPECT_EQ(&builtIn, ChooseServiceUrl(std::wstring(), builtIn));
    // A typo in the user's own service never sends the CS-ID to the built-in one.
    EXPECT_EQ(nullptr, ChooseServiceUrl(std::wstring(L"htps://other/x"), builtIn));
    EXPECT_EQ(L"https://other/x", *ChooseServiceUrl(std::wstring(L"https://other/x"), builtIn));
    EXPECT_TRUE(IsSecureUrl(L"HTTPS://h/x?my=http://a"));
    EXPECT_FALSE(IsSecureUrl(L"http://h/x?my=https://a"));
}
