#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace orv {

// What the clipboard reader hands to the model before anything is stored.
struct CapturedClip {
    struct Text {
        QString text;
        std::optional<QString> html;
        bool operator==(const Text&) const = default;
    };
    struct Image {
        QByteArray png;
        bool operator==(const Image&) const = default;
    };
    struct Color {
        // "#RRGGBB" or "#RRGGBBAA", upper-case.
        QString hex;
        bool operator==(const Color&) const = default;
    };
    struct Files {
        // Absolute paths, in clipboard order.
        QStringList paths;
        bool operator==(const Files&) const = default;
    };
    using Payload = std::variant<Text, Image, Color, Files>;

    Payload payload;
    // Display name of the application in front when the content was copied.
    std::optional<QString> source;

    bool operator==(const CapturedClip&) const = default;
};

}  // namespace orv
