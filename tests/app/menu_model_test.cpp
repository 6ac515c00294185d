#include <gtest/gtest.h>

#include <set>

#include "app/shell/menu_items.h"
#include "app/shell/menu_model.h"
#include "settings/station_paths.h"
#include "station/simulation.h"
#include "support/temp_dir.h"
#include "text/texts.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;
using shell::MenuInputs;

void CollectKeys(const std::vector<shell::MenuNode>& nodes, std::set<std::string>& keys) {
    for (const auto& node : nodes) {
        if (node.key) {
            keys.insert(std::string(text::Catalogue()[static_cast<std::size_t>(*node.key)].name));
        }
        CollectKeys(node.children, keys);
    }
}

TEST(MenuModelTest, TheTreeCarriesEveryMainMenuText) {
    std::set<std::string> keys;
    CollectKeys(shell::MainMenuTree(), keys);
    for (const char* name :
         {"TXT_BAR_BESTAND", "TXT_BAR1_BESTAND_QUIT", "TXT_BAR1_BESTAND_PRINT_MEASVALUES",
          "TXT_DAILY_REPORT", "TXT_WEEKLY_REPORT", "TXT_MONTHLY_REPORT", "TXT_BAR1_NETWORK_INSTALL",
          "TXT_BAR1_STOP_NETWORK", "TXT_SYS_COMPORT", "TXT_SYS_LANGUAGE", "TXT_SYS_STYLE_DOTS",
          "TXT_BAR1_ALARM_GEN_DISABLE", "TXT_BAR1_ALARM_SMS_MESSAGE", "TXT_SENSET_EDIT_PROBES",
          "TXT_BAR_EXTRA_DELE_ALL", "TXT_BAR1_VIEWPOINT_VIEWACTUAL", "TXT_BAR1_EXTRA_VIEWALARM",
          "TXT_BAR1_HELP_VERSION", "TXT_BAR1_BESTAND_PRINT_SAVED_DAT"}) {
        EXPECT_TRUE(keys.contains(name)) << name;
    }
    const auto tree = shell::MainMenuTree();
    ASSERT_EQ(tree.size(), 8u);
    EXPECT_EQ(shell::MenuLabel(tree[0], 1), "__Datei  ");
    EXPECT_EQ(shell::MenuLabel(tree[2].children[0].children[1], 0), "__Deutsch");
}

TEST(MenuModelTest, DimmingFollowsModeAndInstallation) {
    SystemSettings settings;
    const MenuInputs normal{kModeNormal, true, &settings, false};
    const MenuInputs offLineNoNetwork{kModeOffLine, false, &settings, false};
    const MenuInputs demo{kModeDemo, false, &settings, false};
    const MenuInputs offLineInstalled{kModeOffLine, true, &settings, false};

    EXPECT_FALSE(shell::IsDimmed(MenuCommand::Exit, demo));
    EXPECT_FALSE(shell::IsDimmed(MenuCommand::SetLanguage, demo));
    EXPECT_FALSE(shell::IsDimmed(MenuCommand::EditNotes, normal));

    const auto byState = [](MenuCommand command, const MenuInputs& inputs) {
        return shell::IsDimmedByState(command, inputs);
    };
    for (MenuCommand demoOnly :
         {MenuCommand::InstallNetwork, MenuCommand::EditNetworkName, MenuCommand::SetAllActive,
          MenuCommand::SetAllOff, MenuCommand::SetAllInhibit, MenuCommand::DeleteAllProbes}) {
        EXPECT_TRUE(byState(demoOnly, demo));
        // Off-line mode refuses the status commands instead of dimming them.
        EXPECT_FALSE(byState(demoOnly, offLineNoNetwork));
    }
    EXPECT_TRUE(byState(MenuCommand::StopNetwork, offLineNoNetwork));
    EXPECT_FALSE(byState(MenuCommand::StopNetwork, offLineInstalled));
    EXPECT_TRUE(byState(MenuCommand::IdentifyProbes, offLineNoNetwork));
    EXPECT_FALSE(byState(MenuCommand::IdentifyProbes, normal));
    EXPECT_FALSE(byState(MenuCommand::ViewCurrentValues, normal));
    EXPECT_TRUE(byState(MenuCommand::ViewCurrentValues, offLineInstalled));
    EXPECT_TRUE(byState(MenuCommand::SendTestMessage, normal));
    const MenuInputs withSms{kModeNormal, true, &settings, true};
    EXPECT_FALSE(byState(MenuCommand::SendTestMessage, withSms));

    // The probe-table commands are there; off-line mode refuses some of them
    // when they run rather than dimming them.
    for (MenuCommand there :
         {MenuCommand::InstallNetwork, MenuCommand::SetAllActive, MenuCommand::SetAllOff,
          MenuCommand::SetAllInhibit, MenuCommand::DeleteAllProbes, MenuCommand::EditProbe,
          MenuCommand::SelectComPort, MenuCommand::SaveFileAs, MenuCommand::SaveCopyAs,
          MenuCommand::TestAlarmRelay, MenuCommand::LinkSmsCentre, MenuCommand::SetSmsPhoneName}) {
        EXPECT_FALSE(shell::IsDimmed(there, offLineNoNetwork));
    }
    // Stored data is viewed and printed in every mode, also without a network.
    for (MenuCommand anyMode :
         {MenuCommand::PrintDailyReport, MenuCommand::PrintWeeklyReport,
          MenuCommand::PrintMonthlyReport, MenuCommand::PrintDailySheet,
          MenuCommand::PrintProbeSettings, MenuCommand::PrintSystemSettings,
          MenuCommand::PrintSavedData, MenuCommand::ViewHistory, MenuCommand::ViewSavedData}) {
        EXPECT_FALSE(shell::IsDimmed(anyMode, offLineNoNetwork));
        EXPECT_FALSE(shell::IsDimmed(anyMode, demo));
    }
    EXPECT_FALSE(shell::IsDimmed(MenuCommand::StopNetwork, offLineInstalled));
    // Filled submenus stay open to show their items; Current values does not.
    shell::MenuNode probes{
        std::nullopt, {}, MenuCommand::EditProbe, 0, shell::DynamicItems::Probes, {}};
    EXPECT_FALSE(shell::IsSubmenuDimmed(probes, normal));
    probes.command = MenuCommand::ViewCurrentValues;
    EXPECT_TRUE(shell::IsSubmenuDimmed(probes, offLineNoNetwork));
}

TEST(MenuModelTest, CheckMarksFollowTheSettings) {
    SystemSettings settings;
    settings.Taal = 2;
    settings.KeuzeSampleTime = 15;
    settings.KeuzeGraphStyle = 0;
    settings.GeneralAlarmEnable = 0;
    settings.SerialPort = 3;
    const MenuInputs inputs{kModeNormal, false, &settings, false};
    EXPECT_TRUE(shell::IsChecked(MenuCommand::SetLanguage, 2, inputs));
    EXPECT_FALSE(shell::IsChecked(MenuCommand::SetLanguage, 0, inputs));
    EXPECT_TRUE(shell::IsChecked(MenuCommand::SetSampleRate, 15, inputs));
    EXPECT_FALSE(shell::IsChecked(MenuCommand::SetSampleRate, 5, inputs));
    EXPECT_TRUE(shell::IsChecked(MenuCommand::SetGraphStyle, 0, inputs));
    EXPECT_TRUE(shell::IsChecked(MenuCommand::DisableAlarm, 0, inputs));
    EXPECT_FALSE(shell::IsChecked(MenuCommand::EnableAlarm, 0, inputs));
    EXPECT_TRUE(shell::IsChecked(MenuCommand::SelectComPort, 3, inputs));
    EXPECT_FALSE(shell::IsCheckable(MenuCommand::About));
}

TEST(MenuItemsTest, YearsStartTenYearsBackAndNeverBefore1998) {
    TempDir dir;
    const auto data = dir.path() / "QRVDATA";
    EXPECT_TRUE(shell::YearsWithResults(data, 2026).empty());
    EXPECT_TRUE(std::filesystem::is_directory(data));
    for (const char* name : {"2015-06-01.qrd", "2016-01-01.qrd", "2020-02-02.qrd", "2020-03-03.qrd",
                             "2026-01-05.qrd", "2027-01-01.qrd", "2021-notes.txt"}) {
        WriteBytes(data / name, "x");
    }
    std::filesystem::create_directory(data / "2022-01-01.qrd");
    EXPECT_EQ(shell::YearsWithResults(data, 2026), (std::vector<int>{2016, 2020, 2026}));

    TempDir old;
    WriteBytes(old.path() / "1997-01-01.qrd", "x");
    WriteBytes(old.path() / "1998-01-01.qrd", "x");
    EXPECT_EQ(shell::YearsWithResults(old.path(), 2000), (std::vector<int>{1998}));
}

TEST(MenuItemsTest, ProbeItemsMarkTheFirstLetterOfEachName) {
    SensorTable table;
    EXPECT_TRUE(shell::ProbeItems(table).empty());
    table.Append1820ToDataStruct({0x10, 1, 0, 0, 0, 0, 0, 0}, 1);
    table.Append1820ToDataStruct({0x10, 2, 0, 0, 0, 0, 0, 0}, 2);
    table.SensorArray[1].Name = "Freezer";
    const auto items = shell::ProbeItems(table);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].label, "__Freezer");
    EXPECT_EQ(items[1].index, 1);
}

// Listing the ports opens none (their modem lines may power other devices):
// a port is offered when its device is there or the simulated unit serves it.
TEST(MenuItemsTest, ComPortsAreListedByTheirDevicesWithoutOpeningThem) {
    TempDir dir;
    const std::filesystem::path device = dir.path() / "ttyUSB7";
    WriteBytes(device, "");
    PortMap map = PortMap::Parse("");
    for (int com = 1; com <= 8; ++com) {
        map.Set(com, (dir.path() / ("missing" + std::to_string(com))).string());
    }
    map.Set(2, "simulator");
    map.Set(5, device.string());
    map.Set(7, "simulator:net.json");
    EXPECT_EQ(shell::AvailableComPorts(map), (std::vector<int>{2, 5, 7}));
}

TEST(SimulationTest, TheConfiguredPortIsPointedAtTheSimulatedUnit) {
    const PortMap map = shell::MapPortToSimulator(PortMap{}, 3, "");
    EXPECT_EQ(map.NameOf(3), "simulator");
    EXPECT_EQ(map.NameOf(1), "/dev/ttyUSB0");
    EXPECT_EQ(shell::MapPortToSimulator(PortMap{}, 1, "net.json").NameOf(1), "simulator:net.json");
}

}  // namespace
}  // namespace qrv::testing
