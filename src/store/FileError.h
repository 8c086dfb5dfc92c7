#pragma once

#include <QByteArray>
#include <QException>
#include <QString>

// A file-system failure of the history (its folders or image files), with a message ready to show.
class FileError : public QException {
public:
    explicit FileError(const QString& message) : m_message(message), m_utf8(message.toUtf8()) {}

    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    void raise() const override { throw *this; }
    FileError* clone() const override { return new FileError(*this); }

private:
    QString m_message;
    QByteArray m_utf8;
};
