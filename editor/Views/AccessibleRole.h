#pragma once

#include <QAccessible>

class QWidget;

// The role screen readers are given for a plain container or window whose Qt class says nothing
// of what it is: a QWidget that is a panel's window (otherwise a "filler"), a QFrame drawn as a
// divider (otherwise a "frame", read as a window inside the window). Only for widgets without an
// interface of their own: the widget is exposed as a plain QAccessibleWidget with this role.
namespace AccessibleRole {

// Before the widget is first shown, while no reader has asked for it yet.
void set(QWidget *widget, QAccessible::Role role);

} // namespace AccessibleRole
