#pragma once

#include <QString>

#include <stdexcept>

// The exception of the program's own codecs. It carries the failure text the codec left in its LastError, so a
// caller that catches it can show the same words.
class EGeneralError : public std::runtime_error {
public:
    explicit EGeneralError(const QString& text) : std::runtime_error(text.toStdString()), FText(text) {}

    const QString& Message() const noexcept { return FText; }

private:
    QString FText;
};
