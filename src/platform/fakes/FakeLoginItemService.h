#pragma once

#include "platform/LoginItemService.h"

namespace orv {

// A login item whose answers the test sets.
class FakeLoginItemService : public LoginItemService {
public:
    Status status() const override { return currentStatus; }
    std::optional<QString> registerItem() override {
        ++registerCalls;
        if (failure) {
            return failure;
        }
        currentStatus = statusAfterRegister;
        return std::nullopt;
    }
    std::optional<QString> unregisterItem() override {
        ++unregisterCalls;
        if (failure) {
            return failure;
        }
        currentStatus = Status::notRegistered;
        return std::nullopt;
    }

    Status currentStatus = Status::notRegistered;
    Status statusAfterRegister = Status::enabled;
    std::optional<QString> failure;
    int registerCalls = 0;
    int unregisterCalls = 0;
};

}  // namespace orv
