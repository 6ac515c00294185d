#include "acquisition/live_acquisition.h"

namespace qrv::acquisition {

LiveAcquisition::LiveAcquisition(const LiveAcquisitionContext& c)
    : context_(c),
      timerService_(c.timers),
      alarmLog_(c.alarmFile, c.clock, c.log),
      sms_(c.settings, c.launcher, c.clock, c.log, c.display),
      outputs_(c.session),
      alarms_({c.table, c.flags, c.clock, c.display, outputs_, alarmLog_, smsGate_, c.settings,
               c.feed}),
      cycle_(context_, {alarmLog_, alarms_, outputs_}) {}

LiveAcquisition::~LiveAcquisition() {
    DiscardAsyncNetworkTimer();
    sms_.Stop();
}

}  // namespace qrv::acquisition
