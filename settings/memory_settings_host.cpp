#include "settings/memory_settings_host.h"

#include "resources/resource.h"

std::wstring CMemorySettingsHost::BuiltInText(unsigned id)
{
    switch (id) {
    case IDS_INI_SECTION:
        return L"tavrin";
    case IDS_INI_DEFAULT_FILE:
        return L"default.ini";
    case IDS_KEY_URL:
        return L"URL";
    case IDS_KEY_BROWSER:
        return L"BROWSER";
    case IDS_KEY_AUTOCONNECT:
        return L"AUTOCONNECT";
    case IDS_KEY_AUTOBROWSER:
        return L"AUTOBROWSER";
    case IDS_KEY_CONNECTWAIT:
        return L"CONNECTWAIT";
    case IDS_KEY_STARTUPALL:
        return L"STARTUPALL";
    case IDS_KEY_UNUSED:
        return L"UNUSED";
    case IDS_KEY_BROWSERWAIT:
        return L"BROWSERWAIT";
    case IDS_KEY_LOCATEEASY:
        return L"LOCATEEASY";
    case IDS_KEY_URLINDEX:
        return L"URLINDEX";
    case IDS_KEY_BROWSERINDEX:
        return L"BROWSERINDEX";
    case IDS_KEY_FORMAT:
        return L"FORMAT";
    case IDS_KEY_FORMATINDEX:
        return L"FORMATINDEX";
    case IDS_KEY_SERVICEURL:
        return L"SERVICEURL";
    case IDS_KEY_PORT:
        return L"PORT";
    case IDS_KEY_LOOKUPCACHE:
        return L"LOOKUPCACHE";
    case IDS_KEY_MODULE:
        return L"MODULE";
    case IDS_KEY_BAUD:
        return L"BAUD";
    case IDS_KEY_FIXWAIT:
        return L"FIXWAIT";
    case IDS_KEY_GEOLOCATEURL:
        return L"GEOLOCATEURL";
    default:
        return std::wstring();
    }
}

std::wstring CMemorySettingsHost::LoadText(void*, unsigned id)
{
    return BuiltInText(id);
}

bool CMemorySettingsHost::ModuleFileName(void*, std::wstring& path)
{
    path = m_modulePath;
    return !path.empty();
}
