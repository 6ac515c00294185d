#pragma once

#include <filesystem>

namespace qrv {

// Operating modes.
inline constexpr int kModeNotChosen = 0;
inline constexpr int kModeNormal = 1;
inline constexpr int kModeDemo = 2;
inline constexpr int kModeOffLine = 3;

// The files of one station, all below its station directory (the program
// directory of older installations).
struct StationPaths {
    std::filesystem::path CurrentDirName;

    std::filesystem::path IniFileName() const { return CurrentDirName / "QRVNL.INI"; }
    std::filesystem::path LogFileName() const { return CurrentDirName / "QRVLog.txt"; }
    std::filesystem::path NotesFileName() const { return CurrentDirName / "QRVNotes.txt"; }
    std::filesystem::path AlarmFileName() const { return CurrentDirName / "QRVAlarm.txt"; }
    std::filesystem::path DealerFileName() const { return CurrentDirName / "QRVDealer.INI"; }
    std::filesystem::path PortsFileName() const { return CurrentDirName / "ports.conf"; }
    // The settings the older station had no file for (see quorvanel.toml(5)).
    std::filesystem::path ConfigFileName() const { return CurrentDirName / "quorvanel.toml"; }

    // QRVDATA/, or QRVDATA/QRVDEMO/ in demo mode.
    std::filesystem::path DataDirectory(int wantedUserMode) const {
        return wantedUserMode == kModeDemo ? CurrentDirName / "QRVDATA" / "QRVDEMO"
                                           : CurrentDirName / "QRVDATA";
    }
    // The sensor file lives in the demo data directory in demo mode.
    std::filesystem::path SnsFileName(int wantedUserMode) const {
        return wantedUserMode == kModeDemo ? DataDirectory(kModeDemo) / "QRVNL.SNS"
                                           : CurrentDirName / "QRVNL.SNS";
    }
};

}  // namespace qrv
