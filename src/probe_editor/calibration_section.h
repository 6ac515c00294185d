#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "probe_editor/probe_editor_view.h"
#include "records/calibration.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "sensors/shared_sensor_table.h"

namespace qrv {

// Where the probe editor finds the station's calibrations.
struct CalibrationAccess {
    // The book the acquisition applies: a change here counts from the next
    // reading on.
    records::SharedCalibrations& book;
    std::filesystem::path file;
    std::string who;
    // One audit line per change: what, the calibration before and after;
    // false when the trail did not take it, and the change is then undone.
    std::function<bool(std::string_view, std::string_view, std::string_view)> audit;
};

// The probe editor's calibration section for the probe being edited: shows
// the calibration in force and the readings before and after it, and sets
// or removes one as `quorvanel-report calibration` does.
class CalibrationSection {
  public:
    CalibrationSection(const CalibrationAccess* access, SharedSensorTable& table, Dialogs& dialogs,
                       const Clock& clock, int taal, ProbeEditorView& view)
        : access_(access),
          table_(table),
          dialogs_(dialogs),
          clock_(clock),
          taal_(taal),
          view_(view) {}

    // The section for the probe at index, with the fields of a new
    // calibration filled in from the old one and the raw reading.
    void ShowFor(int index);
    void RefreshReadings();
    // Puts the probe's current raw reading into point 0 or 1.
    void TakeRawReading(int point);
    void Set();
    void Clear();

  private:
    // A copy of the probe's record; false when index is no probe.
    bool Probe(SensorRecord& record) const;
    CalibrationReadings ReadingsOf(const SensorRecord& record) const;
    void Store(const SensorRecord& record, const std::optional<records::Calibration>& calibration);
    void Popup(std::string_view message);

    const CalibrationAccess* access_;
    SharedSensorTable& table_;
    Dialogs& dialogs_;
    const Clock& clock_;
    int taal_;
    ProbeEditorView& view_;
    int index_ = -1;
    CalibrationPanelDisplay display_;
};

// "Offset +0.40 °C" or the gain and offset with their two points, then the
// record: date, instrument, certificate, next due and who, one a line.
std::string CalibrationPanelText(const records::Calibration& calibration, std::string_view units,
                                 int taal);

}  // namespace qrv
