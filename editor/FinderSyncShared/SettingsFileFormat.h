#pragma once

#include <QSettings>

// The INI files of both programs, exactly as QSettings::IniFormat writes them, read through
// SerializedValueScreen so that no value in them is ever decoded as a serialized object.
//
// QSettings offers no parser to call on bytes, so each read and each write goes through a
// scratch file that QSettings::IniFormat parses or writes. A file whose scratch copy could not be
// made is never written over: its keys are not known, and writing only the changed ones would
// lose the rest.
//
// A file is unreadable in part when QSettings::IniFormat reports a format error (a line it
// passes over: garbage, a section without its bracket, text in another encoding) or a value
// fails the screen. Its readable keys are used; before the first write over it, its bytes are
// copied to NAME.unreadable (or NAME.unreadable.2, ... when that name is taken by other bytes),
// and when that copy cannot be made the file is not written over. A missing or empty file is
// not unreadable.
class SettingsFileFormat
{
public:
    static QSettings::Format ini();
};
