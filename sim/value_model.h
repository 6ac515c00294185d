#pragma once

#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace qrv::sim {

// How a simulated quantity moves with time (seconds since the unit started):
// a constant, a sine around a mean, or a start value with steps at given times.
class ValueModel {
  public:
    ValueModel(double constant = 0.0) : base_(constant) {}  // NOLINT(google-explicit-constructor)
    static ValueModel Sine(double mean, double amplitude, double periodSeconds,
                           double phaseSeconds = 0);
    static ValueModel Steps(double initial, std::vector<std::pair<double, double>> steps);

    // A number, {"constant": x}, {"sine": {"mean", "amplitude", "period", "phase"}}
    // or {"value": x, "steps": [[t, v], ...]}. Throws std::invalid_argument.
    static ValueModel FromJson(const nlohmann::json& json);

    double At(double seconds) const;
    void Set(double constant) { *this = ValueModel(constant); }

  private:
    enum class Kind { kConstant, kSine, kSteps };
    Kind kind_ = Kind::kConstant;
    double base_ = 0.0;
    double amplitude_ = 0.0;
    double period_ = 1.0;
    double phase_ = 0.0;
    std::vector<std::pair<double, double>> steps_;
};

}  // namespace qrv::sim
