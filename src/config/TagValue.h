#pragma once

#include <QString>
#include <optional>

// The text between the first "<key>" and the first "</key>" of text, untrimmed. Nothing when
// either tag is missing or the closing tag comes first, so a reader never takes a value from
// the wrong place.
std::optional<QString> TagValue(const QString& text, const QString& key);
