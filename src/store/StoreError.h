#pragma once

#include <QByteArray>
#include <QException>
#include <QString>

// A failure of the history database, with a message ready to show.
class StoreError : public QException {
public:
    enum class Kind {
        // The database could not be opened.
        open,
        // Preparing, stepping or executing a statement failed.
        sqlite,
    };

    static StoreError open(const QString& message) { return StoreError(Kind::open, message); }
    static StoreError sqlite(const QString& message) { return StoreError(Kind::sqlite, message); }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    void raise() const override { throw *this; }
    StoreError* clone() const override { return new StoreError(*this); }

private:
    StoreError(Kind kind, const QString& message)
        : m_kind(kind), m_message(message), m_utf8(message.toUtf8()) {}

    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};
