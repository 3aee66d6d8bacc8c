#pragma once

#include "acquisition/module_setting.h"
#include "acquisition/port_list.h"
#include "acquisition/port_search.h"
#include "settings/settings.h"

#include <string>
#include <vector>

// The settings screen without its window: what its fields show of the record, whether the
// record can take what they hold, and how it does.

// The fields, as texts the way the user reads and types them.
struct SettingsForm
{
    ModuleKind module = ModuleKind::WSim;
    std::wstring port;  // a row's label or a port typed in
    std::wstring speed; // "自動" or a line speed
    std::wstring fixWait;
    std::wstring connectWait;
    bool lookupCache = false;
    std::wstring serviceUrl;
    std::wstring geolocateUrl;

    bool operator==(const SettingsForm& other) const;
};

// The fields in the screen's order; a refusal names one, so that it gets the focus.
enum class FormField
{
    Module,
    Port,
    Speed,
    FixWait,
    ConnectWait,
    LookupCache,
    ServiceUrl,
    GeolocateUrl,
};

// The speed field's choices: "自動" (the speed is found), then the usual line speeds.
std::vector<std::wstring> SpeedChoices();

// The module field's rows in the order of ModuleKind, as the menu names them.
std::vector<std::wstring> ModuleChoices();

// The port field's rows: the serial ports, then the places of a receiver on the network.
std::vector<std::wstring> PortFieldRows(const std::vector<PortChoice>& ports);

// What the fields show of the record: a key no file named shows what the program then uses
// (COM1:, 自動, 60 seconds, empty addresses); a value the program cannot use shows as written,
// so that the screen can say what is wrong with it.
SettingsForm FormFromRecord(const CSettings& record, const std::vector<PortChoice>& ports);

struct FormRefusal
{
    FormField field;
    std::wstring reason;
};

// Whether the record can take every field as the settings file's reader would take it, the
// port as the module chosen can be reached there (IsPortOfModule). When
// not, `refusal` receives the first field, in the screen's order, that it cannot take, with
// the reason the screen gives.
bool CheckForm(const SettingsForm& form, const std::vector<PortChoice>& ports, FormRefusal& refusal);

// Puts a checked form into the record. A field still as `shown` keeps the record's own value,
// so a key that no file named stays unnamed and is not written by "保存"; a field the user
// changed names its key, even when emptied (an empty address is the built-in service's, or
// none). Only the record changes: the caller shows it.
void ApplyForm(const SettingsForm& shown, const SettingsForm& form, const std::vector<PortChoice>& ports,
               CSettings& record);

// Puts the row the port search chose into the fields: what is on the port, the port (its row's
// label when the list has it) and the speed it answered at ("自動" when the program sets it).
void TakeSearchChoice(const SearchChoice& choice, const std::vector<PortChoice>& ports, SettingsForm& form);
