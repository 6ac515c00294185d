#include "reports/printouts/print_context.h"

#include "storage/result_file_format.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

std::string PrintingBanner(const PrintContext& context, int blanksAfterBanner) {
    return text::Plain(Key::QRVNL_TEXT, context.taal) +
           std::string(static_cast<std::size_t>(blanksAfterBanner), ' ') +
           text::Plain(Key::TXT_PRINTING_DATE, context.taal) + context.printed.EuroDatumString +
           "   " + context.printed.TijdString;
}

std::string NetworkLine(const PrintContext& context) {
    return text::Plain(Key::TXT_NETWORK_NAME, context.taal) + context.networkName;
}

std::string DayRecordTitle(std::string_view euroDate, const PrintContext& context) {
    const bool today = euroDate == context.printed.EuroDatumString;
    return text::Plain(today ? Key::TXT_TODAY_VIEW : Key::TXT_HISTORY_RECORD, context.taal);
}

std::optional<ProbeLimits> LimitsInTable(const SensorTable& table, std::string_view probeKey) {
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        // The readers give every key the temperature's type character.
        KeyChars key = MakeProbeKey(record.Rom, record.SensorType);
        key[0] = '0';
        if (KeyText(key) == probeKey) {
            return GraphLimitsOf(record);
        }
    }
    return std::nullopt;
}

}  // namespace qrv
