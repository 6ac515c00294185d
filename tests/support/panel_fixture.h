#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "reports/pages/panel_context.h"
#include "runtime/clock.h"
#include "storage/result_generator.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv::testing {

// A station directory with generated result files, scripted popups and a
// virtual clock, as the view and report panels see it.
struct PanelFixture {
    void Generate(int year, int month, int day, int days, int probes, int interval) {
        GeneratorOptions options;
        options.year = year;
        options.month = month;
        options.day = day;
        options.days = days;
        options.probes = probes;
        options.intervalMinutes = interval;
        if (const Generation generation = GenerateResultFiles(dataDir, options);
            !generation.Written()) {
            throw std::runtime_error(generation.problem);
        }
    }

    pages::PanelContext Context() {
        return pages::PanelContext{
            clock,
            dialogs,
            status,
            printer,
            knowPrinterSetting,
            [this] { return taal; },
            [this] { return graphStyle; },
            [this] { return networkName; },
            [this] { return dataDir; },
        };
    }

    // The next printer dialog prints into this PDF file.
    std::filesystem::path PrintTo(const std::string& name) {
        const std::filesystem::path pdf = station / name;
        dialogs.QueuePrinter(PrintTarget{"", pdf.string()});
        return pdf;
    }

    TempDir station;
    std::filesystem::path dataDir = station / "QRVDATA";
    VirtualClock clock{LocalDateTime{2026, 1, 5, 14, 0, 0, 0}};
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    int taal = 0;
    int graphStyle = 1;
    std::string networkName = "Cold store";
    std::atomic<int> installed{1};
    StatusMessages status{display, taal, installed};
    pages::PrinterOpener printer;
    int knowPrinterSetting = 0;
};

inline std::string Text(const QWidget& parent, const char* name) {
    if (const auto* label = parent.findChild<QLabel*>(name)) {
        return label->text().toStdString();
    }
    if (const auto* button = parent.findChild<QPushButton*>(name)) {
        return button->text().toStdString();
    }
    return "<no " + std::string(name) + ">";
}

// With QRV_SCREENSHOT_DIR set, saves what the widget shows there, to be
// looked at; the tests never compare pixels.
inline void Screenshot(QWidget& widget, const std::string& name) {
    const char* dir = std::getenv("QRV_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') {
        return;
    }
    QDir().mkpath(dir);
    // Lets the charts lay out their new axes first, as the event loop would.
    QCoreApplication::processEvents();
    widget.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

// With QRV_SCREENSHOT_DIR set, copies a printed PDF there as well.
inline void KeepForLooking(const std::filesystem::path& pdf) {
    if (const char* dir = std::getenv("QRV_SCREENSHOT_DIR"); dir != nullptr && *dir != '\0') {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        std::filesystem::copy_file(pdf, std::filesystem::path(dir) / pdf.filename(),
                                   std::filesystem::copy_options::overwrite_existing, ec);
    }
}

}  // namespace qrv::testing
