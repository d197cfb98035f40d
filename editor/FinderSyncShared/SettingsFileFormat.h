#pragma once

#include <QSettings>

// The INI files of both programs, exactly as QSettings::IniFormat writes them, read through
// SerializedValueScreen so that no value in them is ever decoded as a serialized object.
//
// QSettings offers no parser to call on bytes, so each read and each write goes through a
// scratch file that QSettings::IniFormat parses or writes. A file whose scratch copy could not be
// made is never written over: its keys are not known, and writing only the changed ones would
// lose the rest.
class SettingsFileFormat
{
public:
    static QSettings::Format ini();
};
