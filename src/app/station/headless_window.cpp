#include "app/station/headless_window.h"

#include "probe_editor/probe_editor.h"
#include "probe_editor/probe_name.h"
#include "sensors/rom_text.h"

namespace qrv::station {

void HeadlessStatusDisplay::ShowAlarmBanner(bool show, std::string_view text) {
    const std::string wanted = show ? OneLine(text) : std::string();
    {
        const std::lock_guard lock(mutex_);
        if (wanted == banner_) {
            return;
        }
        banner_ = wanted;
    }
    if (show) {
        journal_.JournalOnly(Priority::kCritical, wanted);
    } else {
        journal_.JournalOnly(Priority::kNotice, "Alarm banner cleared");
    }
}

bool UnattendedProbeEditorView::LoadPanel(ProbeEditor& editor, int, bool) {
    editor_ = &editor;
    return true;
}

void UnattendedProbeEditorView::Show(const ProbePanelDisplay&, const ProbePanelValues& values) {
    values_ = values;
    if (editor_ != nullptr && CleanProbeName(values_.name).empty()) {
        values_.name = RomToHex(editor_->EditRecord().Rom);
        journal_.Log(Priority::kNotice, "Unattended: new probe named by its ROM " + values_.name);
    }
}

void UnattendedProbeEditorView::ShowLimits(const ProbePanelValues& values) {
    values_.alarmLow = values.alarmLow;
    values_.alarmHigh = values.alarmHigh;
    values_.tripLow = values.tripLow;
    values_.tripHigh = values.tripHigh;
}

void UnattendedProbeEditorView::ShowWindow(int day, const AlarmWindow& window) {
    values_.windows[static_cast<std::size_t>(day)] = window;
}

void UnattendedProbeEditorView::RunModal() {
    // OK once: a name the editor refuses leaves the probe as it was added,
    // still new, and the next installation opens it again.
    if (editor_ != nullptr) {
        editor_->Leave();
    }
}

}  // namespace qrv::station
