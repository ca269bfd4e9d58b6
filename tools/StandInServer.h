// StandInServer: the stand-in's process: its two ways of running, its lifetime, its class
// factory and its registration.
//
// Embedding (started by COM with -Embedding): the class is offered for one creation only, so
// that every creation starts a process of its own, and the process ends when its last object
// is released or when Quit is called. It is not registered as the active object.
// Running (started with no arguments, as a user would start the application): the
// application object is registered as the active object of the class and the process stays
// until Quit is called or it is told to stop (/Stop, or the named event).
#pragma once

#include <windows.h>

#include <string>

namespace StandInServer {

enum class Mode { Embedding, Running };

// Runs the process in `mode`; returns the exit code.
int Run(Mode mode);

// Lifetime: every live object of the process is counted.
void ObjectCreated();
void ObjectDestroyed();
// Ends the process once the current call has been answered.
void Quit();
// The live application object, disconnected from its clients when the process ends.
void SetApplication(IUnknown* application);

// Registers the class under its ProgID for `serverPath` in HKEY_CLASSES_ROOT. Refuses (false)
// when the ProgID already belongs to another class: it never takes over a real application.
bool Register(const std::wstring& serverPath);
// Removes the registration, only where it is the stand-in's own.
bool Unregister();
// Tells a stand-in in running mode to end; false when none runs.
bool Stop();

}  // namespace StandInServer
