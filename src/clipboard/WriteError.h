#pragma once

#include <QByteArray>
#include <QException>
#include <QString>

// A clip that cannot be put back on the clipboard, with a Spanish message ready to show.
class WriteError : public QException {
public:
    enum class Kind { missing };

    static WriteError missing(const QString& message) { return WriteError(Kind::missing, message); }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    void raise() const override { throw *this; }
    WriteError* clone() const override { return new WriteError(*this); }

private:
    WriteError(Kind kind, const QString& message)
        : m_kind(kind), m_message(message), m_utf8(message.toUtf8()) {}

    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};
