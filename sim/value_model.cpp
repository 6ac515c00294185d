#include "value_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace qrv::sim {

ValueModel ValueModel::Sine(double mean, double amplitude, double periodSeconds,
                            double phaseSeconds) {
    if (!(periodSeconds > 0)) {
        throw std::invalid_argument("sine period must be positive");
    }
    ValueModel model(mean);
    model.kind_ = Kind::kSine;
    model.amplitude_ = amplitude;
    model.period_ = periodSeconds;
    model.phase_ = phaseSeconds;
    return model;
}

ValueModel ValueModel::Steps(double initial, std::vector<std::pair<double, double>> steps) {
    ValueModel model(initial);
    model.kind_ = Kind::kSteps;
    std::sort(steps.begin(), steps.end());
    model.steps_ = std::move(steps);
    return model;
}

ValueModel ValueModel::FromJson(const nlohmann::json& json) {
    if (json.is_number()) {
        return {json.get<double>()};
    }
    if (!json.is_object()) {
        throw std::invalid_argument("a value model is a number or an object");
    }
    if (json.contains("constant")) {
        return {json.at("constant").get<double>()};
    }
    if (json.contains("sine")) {
        const auto& sine = json.at("sine");
        return Sine(sine.value("mean", 0.0), sine.value("amplitude", 0.0),
                    sine.value("period", 3600.0), sine.value("phase", 0.0));
    }
    if (json.contains("steps")) {
        std::vector<std::pair<double, double>> steps;
        for (const auto& step : json.at("steps")) {
            if (!step.is_array() || step.size() != 2) {
                throw std::invalid_argument("a step is [time, value]");
            }
            steps.emplace_back(step[0].get<double>(), step[1].get<double>());
        }
        return Steps(json.value("value", 0.0), std::move(steps));
    }
    throw std::invalid_argument("unknown value model");
}

double ValueModel::At(double seconds) const {
    switch (kind_) {
        case Kind::kConstant:
            return base_;
        case Kind::kSine:
            return base_ +
                   amplitude_ * std::sin(2 * std::numbers::pi * (seconds + phase_) / period_);
        case Kind::kSteps: {
            double value = base_;
            for (const auto& [time, stepValue] : steps_) {
                if (time > seconds) {
                    break;
                }
                value = stepValue;
            }
            return value;
        }
    }
    return base_;
}

}  // namespace qrv::sim
