#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

// Text rules for Windows paths, independent of any machine.

// Location normalisation used for every location the user types: append
// "\", then keep the first two characters as they are and remove every
// doubled backslash in the rest. The result ends with exactly one "\", and
// the leading "\\" of a network path survives.
std::string NormalizeLocation(std::string_view location);

// Moves a location to the drive of another: when location contains ":", its
// text after the first ":" is prefixed with the first two characters of
// drive_source ("C:\Data\" moved to "D:\Prog\" gives "D:\Data\"); a location
// without ":" is returned unchanged.
std::string MoveToDriveOf(std::string_view location, std::string_view drive_source);

// Appends "\" unless the text already ends with one.
std::string WithTrailingBackslash(std::string_view path);

// Folder part including the final "\" ("C:\a\b.txt" -> "C:\a\"), empty when
// the path has no separator.
std::string ExtractFilePath(std::string_view path);
// Name part after the last "\", "/" or drive colon.
std::string ExtractFileName(std::string_view path);
// Folder part without the final "\" unless it is a drive's root
// ("C:\A\B.EXE" -> "C:\A", "C:\B.EXE" -> "C:\"), empty for a bare name.
std::string ExtractFileDir(std::string_view path);

// Joins a Windows folder and a file name with exactly one backslash.
std::string JoinWindowsPath(std::string_view dir, std::string_view name);

// True when the name carries a folder or drive ("C:x.dll", "..\x.dll",
// "\\server\share\x.dll"); such names are not searched for.
bool HasDirectoryPart(std::string_view name);

// Appends the extension when the file name has none ("pgpsdk" -> "pgpsdk.dll").
std::string WithDefaultExtension(std::string_view name, std::string_view extension);

// Splits at "\" and "/", dropping empty parts.
std::vector<std::string> SplitPathComponents(std::string_view path);

// A Windows (Windows-1252) name as the host stores it (UTF-8), and back;
// host bytes that are not valid UTF-8 are kept as they are.
std::string AnsiToHostName(std::string_view name);
std::string HostNameToAnsi(std::string_view name);

}  // namespace nimbra::platform
