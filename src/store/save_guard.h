// What keeps two programs on one data folder from losing each other's work.
//
// - One writer: before the first save of a data file the process takes the
//   data folder (FolderLock on HomeDir()) and keeps it until it ends. The
//   window takes it at its start; the driver when its script first saves, so
//   a script that only reads runs beside a window.
// - No save over a change: the stock list, memo.txt, Fname.txt and the
//   calendar tavrine/hizuke.csv are remembered as this process last read or
//   wrote them (size and a hash of the bytes). A save finds the file as
//   remembered or refuses: another program (a sibling tool, an editor) has
//   changed it since, and its change is not written over. The modification
//   time is not compared: a clock tick can hide a quick rewrite, and a file
//   rewritten with the same bytes has nothing to lose. A file this process
//   found missing must still be missing. A file it never looked at is
//   written as before: there is nothing of it in memory to lose.
//
// Both are off until EnableSaveGuard: the engine's own tests and the scan's
// workers run without them. The file functions of codec.h call the hooks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrine {

// Turns the guard on for this process; `program` is the name the lock file
// records ("tavrine", "tavrine-script").
void EnableSaveGuard(const std::string& program);
// Turns it off and forgets every file and lock (for tests).
void DisableSaveGuard();
bool SaveGuardEnabled();

// Takes the data folder now. Returns "" when this process holds it, else the
// refusal (another program holds it, or the folder cannot be locked; then
// *busy says which).
std::string ClaimDataFolder(bool* busy = nullptr);

// The hash the check compares: 64 bits over the bytes, eight at a time.
std::uint64_t BytesHash(std::string_view bytes);

// Hooks of the file functions. Each does nothing for a path that is not one
// of the guarded files, or while the guard is off.
void NoteRead(const std::string& path, std::string_view bytes);
void NoteMissing(const std::string& path);
// Throws FileError with the refusal when the save must not happen.
void CheckBeforeSave(const std::string& path);
void NoteSaved(const std::string& path, std::string_view bytes);

// True when the path names one of the program's own data files (the stock
// list, memo.txt, Fname.txt, tavrine.ini, hizuke.csv, code.txt and the other
// files the program and its sibling tools keep) in the data folder, the root
// or the root's tool folders, links followed. Exports refuse these.
bool IsProgramDataFile(const std::string& path);

}  // namespace tavrine
