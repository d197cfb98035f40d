#pragma once

#include <QStringView>
#include <QVariant>

#include <optional>

// A value QSettings wrote as "@Variant(...)": a QVariant in QDataStream's Qt 4.0 layout, one
// byte per character. Qt writes one for a list of a single element, which is how the shared
// store holds one authorised folder.
//
// Only the types our settings use are decoded (numbers, booleans, text, byte arrays, and lists
// of them), and only after every count and length in the bytes has been checked against what
// follows it: QDataStream reserves room for a list before reading it, so a damaged count would
// otherwise ask for gigabytes. Anything else ("@DateTime(...)" too) is nothing.
class SerializedValue
{
public:
    static std::optional<QVariant> decode(QStringView text);
};
