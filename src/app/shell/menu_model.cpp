#include "app/shell/menu_model.h"

#include <array>
#include <utility>

#include "settings/station_paths.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;
using C = MenuCommand;

namespace {

MenuNode Item(Key key, MenuCommand command, int value = 0) {
    return MenuNode{key, {}, command, value, DynamicItems::None, {}};
}

MenuNode Fixed(std::string label, MenuCommand command, int value) {
    return MenuNode{std::nullopt, std::move(label), command, value, DynamicItems::None, {}};
}

MenuNode Menu(Key key, std::vector<MenuNode> children, MenuCommand command = C::None) {
    return MenuNode{key, {}, command, 0, DynamicItems::None, std::move(children)};
}

MenuNode Dynamic(Key key, DynamicItems dynamic, MenuCommand command) {
    return MenuNode{key, {}, command, 0, dynamic, {}};
}

constexpr std::array kSampleMinutes{1, 2, 5, 10, 15, 30, 60};
constexpr std::array<std::string_view, 4> kLanguageLabels{"__English", "__Deutsch", "__Français",
                                                          "__Nederlands"};

std::vector<MenuNode> LanguageItems() {
    std::vector<MenuNode> items;
    items.reserve(kLanguageLabels.size());
    for (int language = 0; language < 4; ++language) {
        items.push_back(Fixed(std::string(kLanguageLabels[static_cast<std::size_t>(language)]),
                              C::SetLanguage, language));
    }
    return items;
}

std::vector<MenuNode> SampleRateItems() {
    std::vector<MenuNode> items;
    items.reserve(kSampleMinutes.size());
    for (int minutes : kSampleMinutes) {
        items.push_back(Fixed(std::to_string(minutes) + " min", C::SetSampleRate, minutes));
    }
    return items;
}

std::vector<MenuNode> GraphStyleItems() {
    std::vector<MenuNode> items;
    items.reserve(static_cast<std::size_t>(text::GroupSize(text::Group::GraphStyles)));
    for (int style = 0; style < text::GroupSize(text::Group::GraphStyles); ++style) {
        items.push_back(
            Item(text::GroupKey(text::Group::GraphStyles, style), C::SetGraphStyle, style));
    }
    return items;
}

}  // namespace

std::vector<MenuNode> MainMenuTree() {
    return {
        Menu(
            Key::TXT_BAR_BESTAND,
            {Menu(Key::TXT_BAR1_BESTAND_PRINT,
                  {Menu(Key::TXT_BAR1_BESTAND_PRINT_MEASVALUES,
                        {Dynamic(Key::TXT_DAILY_REPORT, DynamicItems::Years, C::PrintDailyReport),
                         Dynamic(Key::TXT_WEEKLY_REPORT, DynamicItems::Years, C::PrintWeeklyReport),
                         Dynamic(Key::TXT_MONTHLY_REPORT, DynamicItems::Years,
                                 C::PrintMonthlyReport),
                         Dynamic(Key::TXT_SHEET_MENU, DynamicItems::Years, C::PrintDailySheet)}),
                   Item(Key::TXT_BAR1_BESTAND_PRINT_POINTSETTING, C::PrintProbeSettings),
                   Item(Key::TXT_BAR1_BESTAND_PRINT_GENSETT, C::PrintSystemSettings),
                   Item(Key::TXT_BAR1_BESTAND_PRINT_SAVED_DAT, C::PrintSavedData)}),
             Menu(Key::TXT_BAR1_BESTAND_SAVE_MEAS,
                  {Item(Key::TXT_BAR1_BESTAND_SAVE_MEAS_AS, C::SaveFileAs),
                   Item(Key::TXT_BAR1_BESTAND_SAVE_MEAS_COPY, C::SaveCopyAs)}),
             Item(Key::TXT_BAR1_BESTAND_QUIT, C::Exit)}),
        Menu(Key::TXT_BAR1_NETWORK,
             {Item(Key::TXT_BAR1_NETWORK_INSTALL, C::InstallNetwork),
              Item(Key::TXT_BAR1_STOP_NETWORK, C::StopNetwork),
              Item(Key::TXT_BAR1_NETWORK_NAME, C::EditNetworkName),
              Dynamic(Key::TXT_SYS_COMPORT, DynamicItems::ComPorts, C::SelectComPort)}),
        Menu(Key::TXT_BAR1_OPTIONS_SYSSET, {Menu(Key::TXT_SYS_LANGUAGE, LanguageItems()),
                                            Menu(Key::TXT_SYS_SAMPLE_RATE, SampleRateItems()),
                                            Menu(Key::TXT_SYS_GRAPH_STYLE, GraphStyleItems())}),
        Menu(Key::TXT_BAR1_ALARM,
             {Menu(Key::TXT_BAR1_ALARM_GEN_ON_OFF,
                   {Item(Key::TXT_BAR1_ALARM_GEN_ENABLE, C::EnableAlarm),
                    Item(Key::TXT_BAR1_ALARM_GEN_DISABLE, C::DisableAlarm)}),
              Menu(Key::TXT_BAR1_ALARM_RELAIS,
                   {Item(Key::TXT_BAR1_ALARM_TEST_RELAIS, C::TestAlarmRelay)}),
              Menu(Key::TXT_BAR1_ALARM_SMS,
                   {Menu(Key::TXT_BAR1_ALARM_SMS_SET,
                         {Item(Key::TXT_BAR1_ALARM_SMS_LINK, C::LinkSmsCentre),
                          Item(Key::TXT_BAR1_ALARM_SMS_PHONE, C::SetSmsPhoneName),
                          Item(Key::TXT_BAR1_ALARM_SMS_MESSAGE, C::SendTestMessage)})}),
              Item(Key::TXT_BAR1_ALARM_NOTIFY_TEST, C::TestContacts)}),
        Menu(Key::TXT_BAR1_OPTIONS_SENSET,
             {Dynamic(Key::TXT_SENSET_EDIT_PROBES, DynamicItems::Probes, C::EditProbe),
              Item(Key::TXT_BAR1_NETWORK_IDENTIFY, C::IdentifyProbes),
              Menu(Key::TXT_BAR1_OPTIONS_CHANGE,
                   {Item(Key::TXT_OPTIONS_CHANGE_SETACTIVE, C::SetAllActive),
                    Item(Key::TXT_OPTIONS_CHANGE_SETOFF, C::SetAllOff),
                    Item(Key::TXT_OPTIONS_CHANGE_SETINHIBIT, C::SetAllInhibit),
                    Item(Key::TXT_BAR_EXTRA_DELE_ALL, C::DeleteAllProbes)})}),
        Menu(Key::TXT_BAR1_VIEWPOINT,
             {Dynamic(Key::TXT_BAR1_VIEWPOINT_VIEWACTUAL, DynamicItems::Probes,
                      C::ViewCurrentValues),
              Item(Key::TXT_BAR1_VIEWPOINT_VIEWHISTORY, C::ViewHistory),
              Item(Key::TXT_BAR1_BESTAND_PRINT_SAVED_DAT, C::ViewSavedData)}),
        Menu(Key::TXT_BAR1_EXTRA, {Item(Key::TXT_BAR1_EXTRA_EDITNOTE, C::EditNotes),
                                   Item(Key::TXT_BAR1_EXTRA_VIEWLOG, C::ViewLog),
                                   Item(Key::TXT_BAR1_EXTRA_VIEWALARM, C::ViewAlarmFile)}),
        Menu(Key::TXT_BAR1_HELP, {Item(Key::TXT_BAR1_HELP_VERSION, C::About)}),
    };
}

std::string MenuLabel(const MenuNode& node, int taal) {
    if (node.key) {
        return std::string(text::Raw(*node.key, taal));
    }
    return node.fixedLabel;
}

bool IsCheckable(MenuCommand command) {
    switch (command) {
        case C::SetLanguage:
        case C::SetSampleRate:
        case C::SetGraphStyle:
        case C::EnableAlarm:
        case C::DisableAlarm:
        case C::SelectComPort:
            return true;
        default:
            return false;
    }
}

bool IsChecked(MenuCommand command, int value, const MenuInputs& inputs) {
    const SystemSettings& settings = *inputs.settings;
    switch (command) {
        case C::SetLanguage:
            return settings.Taal == value;
        case C::SetSampleRate:
            return settings.KeuzeSampleTime == value;
        case C::SetGraphStyle:
            return settings.KeuzeGraphStyle == value;
        case C::EnableAlarm:
            return settings.GeneralAlarmEnable != 0;
        case C::DisableAlarm:
            return settings.GeneralAlarmEnable == 0;
        case C::SelectComPort:
            return settings.SerialPort == value;
        default:
            return false;
    }
}

bool IsDimmedByState(MenuCommand command, const MenuInputs& inputs) {
    bool dimmed = false;
    switch (command) {
        case C::InstallNetwork:
        case C::SetAllActive:
        case C::EditNetworkName:
        case C::SetAllOff:
        case C::SetAllInhibit:
        case C::DeleteAllProbes:
            dimmed = inputs.wantedUserMode == kModeDemo;
            break;
        case C::IdentifyProbes:
            dimmed = inputs.wantedUserMode == kModeDemo || !inputs.networkInstalled;
            break;
        case C::StopNetwork:
            dimmed = !inputs.networkInstalled;
            break;
        case C::ViewCurrentValues:
            dimmed = !(inputs.wantedUserMode == kModeNormal && inputs.networkInstalled);
            break;
        case C::SendTestMessage:
            dimmed = !inputs.smsCentreAvailable || inputs.smsHandOffRunning;
            break;
        case C::TestAlarmRelay:
            dimmed = inputs.relayTestRunning;
            break;
        default:
            break;
    }
    return dimmed;
}

bool IsDimmed(MenuCommand command, const MenuInputs& inputs) {
    if (command == C::None) {
        return false;
    }
    return IsDimmedByState(command, inputs);
}

bool IsSubmenuDimmed(const MenuNode& node, const MenuInputs& inputs) {
    // A filled submenu stays open to show its items (which probes, which
    // ports); only Current values is dimmed as a whole.
    return node.command == C::ViewCurrentValues && IsDimmed(node.command, inputs);
}

}  // namespace qrv::shell
