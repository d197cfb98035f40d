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

// Whether GIO finds the application's desktop file (in an applications folder of
// XDG_DATA_HOME or XDG_DATA_DIRS); a build that is not installed cannot become a default.
bool isInstalled(const QString &applicationId);

// Does the work at once, on the calling thread; may take a noticeable time when the MIME
// database is rebuilt. False when the desktop file is unknown or GIO refused. Success is
// recorded, so that later launches know the default is one Scrivlet set.
bool registerNow(const QString &applicationId, const FileContentType &type);

// What a launch does for one type: registers it only as DefaultApplicationPolicy allows (never
// set by Scrivlet, or still what Scrivlet set, and not declined).
void registerAtLaunch(const QString &applicationId, const FileContentType &type);

// Records the user's No for the type, so that launches leave its default alone until an
// explicit registration.
void recordDeclined(const QString &mimeType);

// $XDG_STATE_HOME/scrivlet/default-applications: one "set <type>" or "declined <type>" a line.
QString stateFilePath();

// Hands the registration to a worker thread and returns. Registrations run one at a time, in
// the order they were queued; the application waits for the last one when it quits.
void queue(const QString &applicationId, const FileContentType &type);

// queue() as a FileAssociationsManager::RegisterHandler.
std::function<void(const QString &, const FileContentType &)> queueingHandler();
// registerAtLaunch() on the worker thread, as a FileAssociationsManager::RegisterHandler.
std::function<void(const QString &, const FileContentType &)> launchHandler();
// recordDeclined() on the worker thread, after the registrations queued before it.
void queueDecline(const QString &mimeType);

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
