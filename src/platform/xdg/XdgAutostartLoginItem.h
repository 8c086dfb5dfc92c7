#pragma once

#include "platform/LoginItemService.h"

namespace orv {

// The login item as an XDG autostart entry: ~/.config/autostart/com.quarnelbrisk.orvantide.desktop
// starting this executable. Present and not hidden is enabled; absent (or hidden) is not
// registered.
class XdgAutostartLoginItem : public LoginItemService {
public:
    // `executable` defaults to the running program's absolute path.
    explicit XdgAutostartLoginItem(QString entryPath = standardPath(), QString executable = {});

    static QString standardPath();
    // The desktop entry text for `executable`, quoted as the Exec key requires.
    static QByteArray entry(const QString& executable);

    Status status() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

private:
    QString m_entryPath;
    QString m_executable;
};

}  // namespace orv
