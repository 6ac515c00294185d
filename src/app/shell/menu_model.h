#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/system_settings.h"
#include "text/text_keys.h"

namespace qrv::shell {

// What a menu item does. Submenus carry the command of their items so that
// dimming a command dims the whole submenu.
enum class MenuCommand {
    None,
    PrintDailyReport,
    PrintWeeklyReport,
    PrintMonthlyReport,
    PrintDailySheet,
    PrintProbeSettings,
    PrintSystemSettings,
    PrintSavedData,
    SaveFileAs,
    SaveCopyAs,
    Exit,
    InstallNetwork,
    StopNetwork,
    EditNetworkName,
    SelectComPort,
    SetLanguage,
    SetSampleRate,
    SetGraphStyle,
    EnableAlarm,
    DisableAlarm,
    TestAlarmRelay,
    LinkSmsCentre,
    SetSmsPhoneName,
    SendTestMessage,
    TestContacts,
    EditProbe,
    IdentifyProbes,
    SetAllActive,
    SetAllOff,
    SetAllInhibit,
    DeleteAllProbes,
    ViewCurrentValues,
    ViewHistory,
    ViewSavedData,
    EditNotes,
    ViewLog,
    ViewAlarmFile,
    About,
};

// Submenus whose items the program fills at run time.
enum class DynamicItems { None, Years, ComPorts, Probes };

struct MenuNode {
    std::optional<text::Key> key;  // translated label
    std::string fixedLabel;        // label that stays the same in every language
    MenuCommand command = MenuCommand::None;
    int value = 0;  // language, minutes, style
    DynamicItems dynamic = DynamicItems::None;
    std::vector<MenuNode> children;
};

// The main menu bar: File, Network, System, Alarm, Probes, View, Extra, Help.
std::vector<MenuNode> MainMenuTree();

// The label with its "__" accelerator mark, in the given language.
std::string MenuLabel(const MenuNode& node, int taal);

// The state the check marks and dimming follow.
struct MenuInputs {
    int wantedUserMode = 0;
    bool networkInstalled = false;
    const SystemSettings* settings = nullptr;
    bool smsCentreAvailable = false;
    // A hand-off to the SMS program runs or waits: a test message would be a
    // second one. The rest of the menus stay usable meanwhile.
    bool smsHandOffRunning = false;
    bool relayTestRunning = false;
};

bool IsCheckable(MenuCommand command);
bool IsChecked(MenuCommand command, int value, const MenuInputs& inputs);
// The dimming rules of mode and installation, applied in the menu timer.
bool IsDimmedByState(MenuCommand command, const MenuInputs& inputs);
// By state, or because this build does not carry the command out yet.
bool IsDimmed(MenuCommand command, const MenuInputs& inputs);
// Whether a submenu filled at run time is dimmed as a whole.
bool IsSubmenuDimmed(const MenuNode& node, const MenuInputs& inputs);

}  // namespace qrv::shell
