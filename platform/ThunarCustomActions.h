#pragma once

#include <QString>

#include <optional>

// Thunar keeps all of a user's custom actions in one file (uca.xml) that it also rewrites
// itself, so ours is added and removed as one <action> element, found by its unique id, and the
// rest of the file is left exactly as it was.
class ThunarCustomActions
{
public:
    static constexpr QStringView uniqueId = u"scrivlet-new-text-document";

    static bool containsAction(const QString &document);
    // Our <action> element as it stands in the document (or a bare action), empty when absent.
    static QString actionText(const QString &document);
    // The document with `action` in place of ours (appended when there was none); nothing when
    // the document has no <actions> element to hold it. An empty document gets one.
    static std::optional<QString> withAction(const QString &document, const QString &action);
    static QString withoutAction(const QString &document);
};
