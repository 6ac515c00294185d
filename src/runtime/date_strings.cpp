#include "runtime/date_strings.h"

#include <fmt/format.h>

namespace qrv {

std::string FileDate(const LocalDateTime& when) {
    return fmt::format("{:04d}-{:02d}-{:02d}", when.year, when.month, when.day);
}

std::string EuroDate(const LocalDateTime& when) {
    return fmt::format("{:02d}/{:02d}/{:04d}", when.day, when.month, when.year);
}

std::string TimeText(const LocalDateTime& when) {
    return fmt::format("{:02d}:{:02d}:{:02d}", when.hour, when.minute, when.second);
}

DateStrings MakeDateStrings(const LocalDateTime& when) {
    return {FileDate(when), EuroDate(when), TimeText(when)};
}

}  // namespace qrv
