#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Qt's INI reader turns a value written as "@Variant(...)" or "@DateTime(...)" into an object by
// running QDataStream over its bytes, and trusts the lengths it finds there: a damaged or
// hand-edited settings file can make it reserve tens of gigabytes, or build a widget type without
// an application, before our code sees a single key. Qt writes such a value itself for a list of
// one element (the shared store's single authorised folder), so they cannot simply be refused.
//
// The screen finds every place that could begin one, without depending on how Qt splits lines
// or lists: from every "@" and every backslash that starts an escape, it decodes the next
// characters as Qt unescapes a value (quotes dropped, escapes decoded into 16-bit units, line
// continuations skipped) and looks for the two prefixes. Replacing the bytes that make the "@"
// with another character lets Qt parse the file without decoding anything; SettingsFileFormat
// then checks and decodes those values itself.
class SerializedValueScreen
{
public:
    // The bytes that make the "@" of a possible serialized value: a raw "@" or an escape
    // ("\x40", "\100", ...).
    struct AtSign
    {
        qsizetype begin;
        qsizetype end;
    };

    static QList<AtSign> possibleSerializedValues(QByteArrayView ini);
    // `ini` with each of `atSigns` written as `replacement`, a character Qt reads as itself.
    static QByteArray withAtSignsReplaced(
        QByteArrayView ini, const QList<AtSign> &atSigns, char replacement);
};
