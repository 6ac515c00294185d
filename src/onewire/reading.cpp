#include "onewire/reading.h"

namespace qrv {

namespace {

constexpr double kSwitchDamagedData = -495.0;

constexpr double FaultCode(ProbeFault fault) {
    switch (fault) {
        case ProbeFault::kNone:
            break;
        case ProbeFault::kNotSelected:
            return -499.0;
        case ProbeFault::kNoAnswer:
            return -498.0;
        case ProbeFault::kInputNotSwitched:
            return -497.0;
        case ProbeFault::kBadMeasurement:
            return -496.0;
        case ProbeFault::kDamagedData:
            return -994.0;
        case ProbeFault::kConversionNotDone:
            return -995.0;
        case ProbeFault::kPowerOnValue:
            return -993.0;
        case ProbeFault::kNotAProbe:
            return -950.0;
    }
    return 0.0;
}

}  // namespace

double CodedValue(DeviceKind probe, const Reading& reading) {
    if (reading.Ok()) {
        return reading.value;
    }
    if (reading.fault == ProbeFault::kDamagedData && probe == DeviceKind::kSwitchInput) {
        return kSwitchDamagedData;
    }
    return FaultCode(reading.fault);
}

}  // namespace qrv
