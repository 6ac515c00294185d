#pragma once

#include "acquisition/acquisition_cycle.h"
#include "acquisition/alarm_evaluation.h"
#include "acquisition/alarm_log.h"
#include "acquisition/alarm_sms_gate.h"
#include "acquisition/live_acquisition_context.h"
#include "acquisition/sms_worker.h"
#include "acquisition/timer_service.h"

namespace qrv::acquisition {

// The acquisition and alarm side of the station in one piece: the timer
// service with the network timer, the acquisition cycle, the alarm
// evaluation, the alarm file and the SMS hand-offs.
class LiveAcquisition {
  public:
    explicit LiveAcquisition(const LiveAcquisitionContext& context);
    // Discards the network timer, then ends the SMS hand-offs.
    ~LiveAcquisition();
    LiveAcquisition(const LiveAcquisition&) = delete;
    LiveAcquisition& operator=(const LiveAcquisition&) = delete;

    // The network timer, created paused.
    int InitAsyncNetworkTimer() { return cycle_.InitAsyncNetworkTimer(timerService_); }
    int DiscardAsyncNetworkTimer() { return cycle_.DiscardAsyncNetworkTimer(timerService_); }

    AcquisitionCycle& Cycle() { return cycle_; }
    AlarmEvaluator& Alarms() { return alarms_; }
    AlarmLog& AlarmFile() { return alarmLog_; }
    SmsWorker& Sms() { return sms_; }
    // Whether the alarm walk's SMS go to the linked program's destination.
    AlarmSmsGate& AlarmSms() { return smsGate_; }
    AsyncTimerService& Timers() { return timerService_; }

  private:
    LiveAcquisitionContext context_;
    AsyncTimerService timerService_;
    AlarmLog alarmLog_;
    SmsWorker sms_;
    AlarmSmsGate smsGate_{sms_};
    SessionAlarmOutputs outputs_;
    AlarmEvaluator alarms_;
    AcquisitionCycle cycle_;
};

}  // namespace qrv::acquisition
