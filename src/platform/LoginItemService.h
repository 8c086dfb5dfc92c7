#pragma once

#include <QString>

#include <optional>

namespace orv {

// Whether the application opens when the user logs in.
class LoginItemService {
public:
    enum class Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    virtual ~LoginItemService() = default;

    virtual Status status() const = 0;
    // Each gives nothing on success, else the reason it failed.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};

}  // namespace orv
