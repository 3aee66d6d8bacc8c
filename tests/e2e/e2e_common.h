#pragma once

#include "resources/resource.h"
#include "tests/e2e/stand_ins.h"
#include "tests/e2e/tavrin_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

// A session for the running test, in a folder named after it, started on `settings`; with a
// device profile, the device simulation follows that profile.
inline std::unique_ptr<TavrinSession> StartSession(const SettingsFile& settings = TavrinSession::TestSettings(),
                                                   const char* deviceProfile = nullptr)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    ResetStandIns();
    auto session = std::make_unique<TavrinSession>(std::wstring(name.begin(), name.end()));
    if (deviceProfile != nullptr) {
        const std::wstring path = session->Folder() + L"\\device.txt";
        {
            std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
            out << deviceProfile;
        }
        session->SetEnvironment(L"TAVRIN_DEVICE_SIM", path);
    }
    if (!session->WriteSettings(settings) || !session->Start()) {
        ADD_FAILURE() << "tavrin.exe did not start";
        return nullptr;
    }
    return session;
}

inline std::unique_ptr<TavrinSession> StartWithDevice(const std::string& profile,
                                                      const SettingsFile& settings = TavrinSession::TestSettings())
{
    return StartSession(settings, profile.c_str());
}

// The caption of "接続" / "切断" follows the connection once a second.
inline bool CaptionBecomes(TavrinSession& app, const wchar_t* caption)
{
    return WaitFor([&] { return app.Text(IDC_CONNECT) == caption; }, 3000);
}

inline int CountOf(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// The boxes shown, as one readable text for failure messages.
inline std::string Shown(const std::vector<MessageBoxSeen>& boxes)
{
    std::string text;
    for (const auto& box : boxes) {
        text += "[" + Utf8(box.caption) + "] " + Utf8(box.text) + "\n";
    }
    return text.empty() ? "no box" : text;
}

// Answers the program's next file request with `path` through the chooser stand-in; an empty
// path cancels it.
inline void ChooseFile(TavrinSession& app, const std::wstring& path)
{
    CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(), (app.Folder() + L"\\gsgetfile.dll").c_str(),
              FALSE);
    const std::wstring answer = app.Folder() + L"\\gsgetfile.answer";
    DeleteFileW(answer.c_str());
    if (!path.empty()) {
        std::ofstream(answer.c_str(), std::ios::binary)
            .write(reinterpret_cast<const char*>(path.data()),
                   static_cast<std::streamsize>(path.size() * sizeof(wchar_t)));
    }
}
