#include "ui/settings_form.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/receiver_address.h"
#include "common/text_format.h"
#include "common/texts.h"
#include "resources/resource.h"
#include "settings/settings_keys.h"

namespace {

// The rates a serial line is commonly set to; any other within the range may be typed.
constexpr unsigned kUsualSpeeds[] = {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// BAUD as the speed field's text gives it: empty for "自動".
std::wstring SpeedSetting(const std::wstring& field)
{
    const std::wstring text = TrimBlanks(field);
    return text == Text(IDS_SETTINGS_SPEED_AUTO) ? std::wstring() : text;
}

// The key behind each field that holds a text, in the screen's order.
struct TextField
{
    FormField field;
    unsigned key;
};

const TextField kTextFields[] = {
    {FormField::Port, IDS_KEY_PORT},
    {FormField::Speed, IDS_KEY_BAUD},
    {FormField::FixWait, IDS_KEY_FIXWAIT},
    {FormField::ConnectWait, IDS_KEY_CONNECTWAIT},
    {FormField::ServiceUrl, IDS_KEY_SERVICEURL},
    {FormField::GeolocateUrl, IDS_KEY_GEOLOCATEURL},
};

// The value a field gives its key.
std::wstring KeyValue(const SettingsForm& form, FormField field, const std::vector<PortChoice>& ports)
{
    switch (field) {
    case FormField::Port:
        return PortFromField(form.port, ports);
    case FormField::Speed:
        return SpeedSetting(form.speed);
    case FormField::FixWait:
        return form.fixWait;
    case FormField::ConnectWait:
        return form.connectWait;
    case FormField::ServiceUrl:
        return form.serviceUrl;
    case FormField::GeolocateUrl:
        return form.geolocateUrl;
    default:
        return std::wstring();
    }
}

} // namespace

bool SettingsForm::operator==(const SettingsForm& other) const
{
    return module == other.module && port == other.port && speed == other.speed && fixWait == other.fixWait &&
           connectWait == other.connectWait && lookupCache == other.lookupCache && serviceUrl == other.serviceUrl &&
           geolocateUrl == other.geolocateUrl;
}

std::vector<std::wstring> SpeedChoices()
{
    std::vector<std::wstring> choices = {Text(IDS_SETTINGS_SPEED_AUTO)};
    for (unsigned speed : kUsualSpeeds) {
        choices.push_back(std::to_wstring(speed));
    }
    return choices;
}

std::vector<std::wstring> ModuleChoices()
{
    return {Text(IDS_SETTINGS_MODULE_WSIM), Text(IDS_SETTINGS_MODULE_NMEA), Text(IDS_SETTINGS_MODULE_MODEM)};
}

std::vector<std::wstring> PortFieldRows(const std::vector<PortChoice>& ports)
{
    std::vector<std::wstring> rows;
    for (const PortChoice& port : ports) {
        rows.push_back(port.label);
    }
    for (const std::wstring& example : NetworkPortExamples()) {
        rows.push_back(example);
    }
    return rows;
}

SettingsForm FormFromRecord(const CSettings& record, const std::vector<PortChoice>& ports)
{
    SettingsForm form;
    form.module = ModuleFromSetting(record.m_module);
    const std::wstring port = ModuleDeviceName(record.m_port);
    const int row = PortChoiceOf(port, ports);
    form.port =
        row >= 0 && ports[static_cast<size_t>(row)].setting == port ? ports[static_cast<size_t>(row)].label : port;
    const std::wstring speed = record.m_baud ? TrimBlanks(*record.m_baud) : std::wstring();
    form.speed = speed.empty() ? Text(IDS_SETTINGS_SPEED_AUTO) : *record.m_baud;
    form.fixWait = record.m_fixWait.value_or(FindSettingKey(IDS_KEY_FIXWAIT)->value);
    form.connectWait = std::to_wstring(static_cast<long>(record.m_nConnectWait));
    form.lookupCache = record.m_lookupCache.value_or(false);
    form.serviceUrl = record.m_serviceUrl.value_or(std::wstring());
    form.geolocateUrl = record.m_geolocateUrl.value_or(std::wstring());
    return form;
}

bool CheckForm(const SettingsForm& form, const std::vector<PortChoice>& ports, FormRefusal& refusal)
{
    for (const TextField& text : kTextFields) {
        std::wstring reason;
        const std::wstring value = KeyValue(form, text.field, ports);
        // The port is checked for the module chosen beside it: a receiver may be on the network.
        if (!IsGoodSettingValue(*FindSettingKey(text.key), value, &reason) ||
            (text.field == FormField::Port && !IsPortOfModule(form.module, value, &reason))) {
            refusal.field = text.field;
            refusal.reason = reason;
            return false;
        }
    }
    return true;
}

void ApplyForm(const SettingsForm& shown, const SettingsForm& form, const std::vector<PortChoice>& ports,
               CSettings& record)
{
    if (form.module != shown.module) {
        record.m_module = ModuleSettingText(form.module);
    }
    if (form.lookupCache != shown.lookupCache) {
        record.m_lookupCache = form.lookupCache;
    }
    // The window's wait field holds the wait whether or not a file named it.
    record.m_nConnectWait = CSettings::ToNumber(form.connectWait);
    const struct
    {
        FormField field;
        std::optional<std::wstring>& value;
    } keys[] = {
        {FormField::Port, record.m_port},
        {FormField::Speed, record.m_baud},
        {FormField::FixWait, record.m_fixWait},
        {FormField::ServiceUrl, record.m_serviceUrl},
        {FormField::GeolocateUrl, record.m_geolocateUrl},
    };
    for (const auto& key : keys) {
        const std::wstring value = KeyValue(form, key.field, ports);
        if (value != KeyValue(shown, key.field, ports)) {
            key.value = key.field == FormField::FixWait ? TrimBlanks(value) : value;
        }
    }
}

void TakeSearchChoice(const SearchChoice& choice, const std::vector<PortChoice>& ports, SettingsForm& form)
{
    form.module = choice.module;
    const int row = PortChoiceOf(choice.port, ports);
    form.port = row >= 0 ? ports[static_cast<size_t>(row)].label : choice.port;
    form.speed = choice.baud != 0 ? std::to_wstring(choice.baud) : Text(IDS_SETTINGS_SPEED_AUTO);
}
