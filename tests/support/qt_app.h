#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace qrv::testing {

// One QApplication for a whole GUI test program (charts and pages need the
// widget application); the tests run on the offscreen platform.
class QtEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "qrv_gui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

}  // namespace qrv::testing
