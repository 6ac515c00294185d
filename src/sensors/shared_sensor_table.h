#pragma once

#include <mutex>

#include "sensors/sensor_table.h"

namespace qrv {

// The probe table as the user-interface thread and the network timer's
// thread share it: the table is reached only through Lock(), which holds its
// mutex for as long as the returned handle lives, or as a Copy(). Holders
// keep it for a few field copies, never across bus traffic, file writes,
// dialogs or a pause of acquisition, so neither thread waits long for the
// other. The lock does not nest: code that holds a handle passes the table on
// as a SensorTable&.
class SharedSensorTable {
  public:
    class Handle {
      public:
        SensorTable& operator*() const { return *table_; }
        SensorTable* operator->() const { return table_; }

      private:
        friend class SharedSensorTable;
        Handle(std::mutex& mutex, SensorTable& table) : lock_(mutex), table_(&table) {}

        std::unique_lock<std::mutex> lock_;
        SensorTable* table_;
    };

    SharedSensorTable() = default;
    explicit SharedSensorTable(SensorTable table) : table_(std::move(table)) {}
    SharedSensorTable(const SharedSensorTable&) = delete;
    SharedSensorTable& operator=(const SharedSensorTable&) = delete;

    [[nodiscard]] Handle Lock() { return {mutex_, table_}; }
    [[nodiscard]] SensorTable Copy() const {
        const std::lock_guard lock(mutex_);
        return table_;
    }
    void Replace(SensorTable table) {
        const std::lock_guard lock(mutex_);
        table_ = std::move(table);
    }

  private:
    mutable std::mutex mutex_;
    SensorTable table_;
};

}  // namespace qrv
