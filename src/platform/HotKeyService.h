#pragma once

#include <QKeyCombination>
#include <QObject>

namespace orv {

// A system-wide key grab: one key combination at a time, its presses reported by `pressed`.
class HotKeyService : public QObject {
    Q_OBJECT

public:
    // The status of a grab that another client holds (X's BadAccess).
    static constexpr int badAccess = 10;
    // A key that the keyboard has no key for (X's BadValue).
    static constexpr int badValue = 2;
    // This session offers no way to a global shortcut (or its service is not running).
    static constexpr int unavailable = 1001;
    // The desktop refused the shortcut: the user declined it, or its service answered an error.
    static constexpr int refusedByDesktop = 1002;
    // The desktop took the shortcut but gave it no key (KDE's portal, for a program it knows no
    // app id of). The service stays bound: a key the user gives it later in the desktop's settings
    // comes through `availabilityChanged`, and its presses through `pressed`.
    static constexpr int noKeyAssigned = 1003;

    using QObject::QObject;

    // Grabs the combination in place of any earlier one: 0, or the failure status (nothing stays
    // grabbed then, but for noKeyAssigned). A service that asks the desktop answers 0 at once and
    // `refused` later.
    virtual int grab(QKeyCombination combination) = 0;
    virtual void ungrab() = 0;
    // The desktop answers a grab later: it is in force only once `bound` says so.
    virtual bool answersLater() const { return false; }

signals:
    // Once per press, from inside the native event dispatch, with the grab's id (1).
    void pressed(quint32 id);
    // A grab that the desktop answers later is in force.
    void bound();
    // A grab that grab() accepted was refused afterwards; nothing is grabbed now.
    void refused(int status);
    // A refused grab may work if asked again (the desktop's service appeared).
    void availabilityChanged();
};

}  // namespace orv
