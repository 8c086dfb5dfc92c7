#pragma once

#include <QByteArray>
#include <QException>
#include <QString>

namespace orv {

// A failure the user must see: what went wrong (its kind) and a message ready to show. It crosses
// threads inside QFuture, hence QException.
class Error : public QException {
public:
    enum class Kind {
        // The history database could not be opened.
        open,
        // Preparing, stepping or executing a statement of the history failed.
        sqlite,
        // A folder or file of the history could not be made, read or written.
        file,
        // A clip cannot go back on the clipboard: its image or files are gone, its colour invalid.
        missing,
    };

    static Error open(const QString& message) { return {Kind::open, message}; }
    static Error sqlite(const QString& message) { return {Kind::sqlite, message}; }
    static Error file(const QString& message) { return {Kind::file, message}; }
    static Error missing(const QString& message) { return {Kind::missing, message}; }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    void raise() const override { throw *this; }
    Error* clone() const override { return new Error(*this); }

private:
    Error(Kind kind, const QString& message)
        : m_kind(kind), m_message(message), m_utf8(message.toUtf8()) {}

    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};

}  // namespace orv
