#include <gtest/gtest.h>

#include <random>

#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::ReadBytes;
using testing::RecordingLog;
using testing::TempDir;
using testing::WriteBytes;

// Damages a good file the ways disks and editors do: truncation, flipped
// bytes, deleted and duplicated lines, stray line ends and NUL bytes.
std::string Damage(std::string bytes, std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t at = random() % bytes.size();
        switch (kind(random)) {
            case 0:
                bytes.resize(at);
                break;
            case 1:
                bytes[at] = static_cast<char>(random() % 256);
                break;
            case 2:
                bytes.erase(at, std::min<std::size_t>(bytes.size() - at, random() % 40));
                break;
            case 3:
                bytes.insert(at, bytes.substr(at, random() % 60));
                break;
            case 4:
                bytes.insert(at, "\n");
                break;
            default:
                bytes.insert(at, std::string(1 + random() % 300, '\0'));
                break;
        }
    }
    return bytes;
}

class DamagedStationFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        VirtualClock clock;
        ScriptedDialogs dialogs;
        RecordingLog log;
        SystemSettings settings;
        settings.SmSDestination = "0612345678";
        ASSERT_EQ(WriteIniFile(dir_ / "good.INI", settings, clock, dialogs, log), 0);
        SensorTable table;
        for (int i = 0; i < 12; ++i) {
            const int index =
                table.Append1820ToDataStruct({static_cast<std::int16_t>(i % 3 ? 0x28 : 0x26),
                                              static_cast<std::int16_t>(i), 1, 2, 3, 4, 5, 6},
                                             1 + i % 3);
            table.SensorArray[index].Name = "Kühlzelle " + std::to_string(i);
        }
        ASSERT_EQ(WriteSensorFile(dir_ / "good.SNS", table, clock, dialogs, log, 0), 0);
        goodIni_ = ReadBytes(dir_ / "good.INI");
        goodSns_ = ReadBytes(dir_ / "good.SNS");
    }

    TempDir dir_;
    std::string goodIni_;
    std::string goodSns_;
};

TEST_F(DamagedStationFiles, ReadersKeepTheirPromisesWhateverTheDamage) {
    std::mt19937 random(20261206);
    const auto path = dir_ / "damaged";
    for (int round = 0; round < 400; ++round) {
        WriteBytes(path, Damage(goodSns_, random));
        SensorTable table;
        table.NetworkName = "before";
        const RomCode earlier{0x10, 9, 9, 9, 9, 9, 9, 9};
        table.Append1820ToDataStruct(earlier, 2);
        const int result = ReadSensorFile(path, table);
        ASSERT_TRUE(result <= 0 || result == kSensorFileIndexMismatch) << result;
        if (result < 0) {
            ASSERT_EQ(table.GetMax1820Index(), 0) << "a rejected file changes nothing";
            ASSERT_EQ(table.SensorArray[0].Rom, earlier);
            ASSERT_EQ(table.NetworkName, "before");
            continue;
        }
        for (int j = 0; j <= table.GetMax1820Index(); ++j) {
            const SensorRecord& r = table.SensorArray[j];
            ASSERT_LE(Utf8Length(r.Name), static_cast<std::size_t>(kMaxNameLength));
            ASSERT_EQ(r.Name.find_first_of("\r\n"), std::string::npos);
            ASSERT_GE(r.AlarmDelay, 120);
            for (std::int16_t element : r.Rom) {
                ASSERT_TRUE(element >= 0 && element <= 255);
            }
        }
        ASSERT_LE(Utf8Length(table.NetworkName), static_cast<std::size_t>(kMaxNetworkNameLength));
    }
}

TEST_F(DamagedStationFiles, SettingsStayInRangeWhateverTheDamage) {
    std::mt19937 random(1990);
    const auto path = dir_ / "damaged";
    for (int round = 0; round < 400; ++round) {
        WriteBytes(path, Damage(goodIni_, random));
        SystemSettings settings;
        ASSERT_LE(ReadIniFile(path, settings), 0);
        ASSERT_TRUE(settings.Taal >= 0 && settings.Taal <= 3);
        ASSERT_TRUE(settings.SerialPort >= 1 && settings.SerialPort <= 8);
        ASSERT_TRUE(settings.KeuzeSampleTime >= 1 && settings.KeuzeSampleTime <= 60);
        ASSERT_TRUE(settings.KeuzeGraphStyle >= 0 && settings.KeuzeGraphStyle <= 3);
        ASSERT_LE(Utf8Length(settings.SmSDestination),
                  static_cast<std::size_t>(kMaxSmsDestinationLength));
    }
}

TEST_F(DamagedStationFiles, WhatWasLoadedWritesBackAsAReadableFile) {
    std::mt19937 random(7);
    const auto path = dir_ / "damaged";
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    int rewritten = 0;
    for (int round = 0; round < 200; ++round) {
        WriteBytes(path, Damage(goodSns_, random));
        SensorTable table;
        if (ReadSensorFile(path, table) < 0) {
            continue;
        }
        ASSERT_EQ(WriteSensorFile(path, table, clock, dialogs, log, 0), 0);
        SensorTable again;
        ASSERT_EQ(ReadSensorFile(path, again), 0) << "round " << round;
        ASSERT_EQ(again.GetMax1820Index(), table.GetMax1820Index());
        ++rewritten;
    }
    EXPECT_GT(rewritten, 20) << "enough damaged files were still readable to mean something";
}

}  // namespace
}  // namespace qrv
