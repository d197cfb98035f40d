#pragma once

#include "FileContentType.h"

#include <QString>

#include <functional>

// Makes an application the desktop's default for a MIME type, through GIO, which records it in
// the user's mimeapps.list the way every desktop reads it. A type the MIME database does not
// know yet is first declared in the user's MIME database (a package under
// $XDG_DATA_HOME/mime/packages, then update-mime-database), so that its files really open in
// the application.
namespace DefaultApplicationRegistrar {

// Does the work at once, on the calling thread; may take a noticeable time when the MIME
// database is rebuilt. False when the desktop file is unknown or GIO refused.
bool registerNow(const QString &applicationId, const FileContentType &type);

// Hands the registration to a worker thread and returns. Registrations run one at a time, in
// the order they were queued; the application waits for the last one when it quits.
void queue(const QString &applicationId, const FileContentType &type);

// queue() as a FileAssociationsManager::RegisterHandler.
std::function<void(const QString &, const FileContentType &)> queueingHandler();

// Blocks until every queued registration is done (for tests and orderly shutdown).
void waitForQueued();

} // namespace DefaultApplicationRegistrar

// The user-level MIME packages Scrivlet writes for extensions the shared MIME database lacks.
namespace UserMimePackage {

// $XDG_DATA_HOME/mime, the user's MIME database.
QString mimeDirectory();
// org.scrivlet.Scrivlet.xml declares *.text (the same package the installed application
// ships); other extensions get org.scrivlet.Scrivlet.extension-<extension>.xml.
QString packageFilePath(const QString &extension);
// The package that declares `type`. Empty when it has no undeclared extension.
QByteArray packageXml(const FileContentType &type);

enum class Outcome {
    Unchanged,
    Written,
    Failed,
};
// Writes the package unless an identical one is already there.
Outcome install(const FileContentType &type);
// Whether the user's MIME database was built after the extension's package was written.
bool databaseIncludes(const QString &extension);
// Runs update-mime-database on mimeDirectory(); false when it is missing or failed.
bool updateDatabase();

} // namespace UserMimePackage
